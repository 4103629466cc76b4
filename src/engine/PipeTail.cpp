#include "PipeTail.h"

#include <array>
#include <cerrno>
#include <cstdint>
#include <fcntl.h>
#include <poll.h>
#include <string_view>
#include <sys/eventfd.h>
#include <system_error>
#include <unistd.h>

namespace tunevale
{

std::unique_ptr<PipeTail> PipeTail::start()
{
    std::unique_ptr<PipeTail> tail(new PipeTail);
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0)
        return nullptr;
    tail->m_readEnd = fds[0];
    tail->m_writeEnd = fds[1];
    tail->m_wake = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (tail->m_wake < 0 || ::fcntl(tail->m_readEnd, F_SETFL, O_NONBLOCK) != 0)
        return nullptr;
    try {
        tail->m_reader = std::thread([raw = tail.get()] { raw->run(); });
    } catch (const std::system_error&) {
        return nullptr;
    }
    return tail;
}

PipeTail::~PipeTail()
{
    finish();
    closeWriteEnd();
    for (const int fd : {m_readEnd, m_wake})
        if (fd >= 0)
            ::close(fd);
}

void PipeTail::closeWriteEnd()
{
    if (m_writeEnd >= 0)
        ::close(m_writeEnd);
    m_writeEnd = -1;
}

void PipeTail::finish()
{
    if (!m_reader.joinable())
        return;
    const std::uint64_t one = 1;
    while (::write(m_wake, &one, sizeof one) < 0 && errno == EINTR) {
    }
    m_reader.join();
}

std::string PipeTail::text()
{
    const std::lock_guard lock(m_mutex);
    return m_lines.text();
}

bool PipeTail::drain()
{
    std::array<char, 4096> buffer;
    for (;;) {
        const ssize_t got = ::read(m_readEnd, buffer.data(), buffer.size());
        if (got > 0) {
            const std::lock_guard lock(m_mutex);
            m_lines.append(std::string_view(buffer.data(), static_cast<std::size_t>(got)));
            continue;
        }
        if (got < 0 && errno == EINTR)
            continue;
        return got < 0 && errno == EAGAIN;
    }
}

void PipeTail::run()
{
    for (;;) {
        std::array<pollfd, 2> waits{{{m_readEnd, POLLIN, 0}, {m_wake, POLLIN, 0}}};
        if (::poll(waits.data(), waits.size(), -1) < 0) {
            if (errno == EINTR)
                continue;
            return;
        }
        if (waits[1].revents & POLLIN) {
            drain();
            return;
        }
        if (waits[0].revents && !drain())
            return;
    }
}

} // namespace tunevale
