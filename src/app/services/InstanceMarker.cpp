#include "InstanceMarker.h"

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace tunevale
{

InstanceMarker::InstanceMarker(const std::string& name)
{
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    // An abstract name starts with a NUL byte and needs no file, so nothing is left behind.
    const size_t length = std::min(name.size(), sizeof address.sun_path - 1);
    std::memcpy(address.sun_path + 1, name.data(), length);
    const auto size = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + length);

    const int socket = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (socket < 0)
        return;
    if (::bind(socket, reinterpret_cast<const sockaddr*>(&address), size) != 0) {
        ::close(socket);
        return;
    }
    m_socket = socket;
}

InstanceMarker::~InstanceMarker()
{
    if (m_socket >= 0)
        ::close(m_socket);
}

} // namespace tunevale
