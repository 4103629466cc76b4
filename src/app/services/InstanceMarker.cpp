#include "InstanceMarker.h"

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

namespace tunevale
{

namespace
{

// While the holder is not reachable (its queue of waiting copies is full), look again this often.
constexpr int kRetryMs = 1000;

} // namespace

InstanceMarker::InstanceMarker(const std::string& name)
{
    m_address.sun_family = AF_UNIX;
    // An abstract name starts with a NUL byte and needs no file, so nothing is left behind.
    const size_t length = std::min(name.size(), sizeof m_address.sun_path - 1);
    std::memcpy(m_address.sun_path + 1, name.data(), length);
    m_addressSize = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + length);

    if (take())
        return;
    if (::pipe2(m_wake, O_CLOEXEC) != 0)
        return;
    m_waiter = std::thread([this] { waitForHolder(); });
}

InstanceMarker::~InstanceMarker()
{
    if (m_waiter.joinable()) {
        const char stop = 's';
        (void)!::write(m_wake[1], &stop, 1);
        m_waiter.join();
    }
    for (int fd : {m_wake[0], m_wake[1]})
        if (fd >= 0)
            ::close(fd);
    if (const int socket = m_socket.load(); socket >= 0)
        ::close(socket);
}

bool InstanceMarker::take()
{
    const int socket = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (socket < 0)
        return false;
    // Listening lets waiting copies connect, so that they notice when this process ends.
    if (::bind(socket, reinterpret_cast<const sockaddr*>(&m_address), m_addressSize) != 0 ||
        ::listen(socket, 16) != 0) {
        ::close(socket);
        return false;
    }
    m_socket = socket;
    return true;
}

void InstanceMarker::waitForHolder()
{
    for (;;) {
        if (take())
            return;
        // A connection to the holder is never accepted; it breaks when the holder ends.
        const int probe = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
        const bool connected =
            probe >= 0 && ::connect(probe, reinterpret_cast<const sockaddr*>(&m_address), m_addressSize) == 0;
        pollfd watched[2] = {{m_wake[0], POLLIN, 0}, {probe, POLLIN, 0}};
        ::poll(watched, connected ? 2 : 1, connected ? -1 : kRetryMs);
        if (probe >= 0)
            ::close(probe);
        if (watched[0].revents != 0)
            return;
    }
}

} // namespace tunevale
