#include "WrittenExtent.h"

#include <algorithm>
#include <cerrno>
#include <unistd.h>

namespace tunevale
{

void WrittenExtent::grow(std::uint64_t end)
{
    {
        const std::lock_guard lock(m_mutex);
        if (end <= m_end)
            return;
        m_end = end;
        if (m_end < m_wanted)
            return;
    }
    m_changed.notify_all();
}

void WrittenExtent::finish()
{
    {
        const std::lock_guard lock(m_mutex);
        m_finished = true;
    }
    m_changed.notify_all();
}

void WrittenExtent::abandon()
{
    {
        const std::lock_guard lock(m_mutex);
        m_abandoned = true;
    }
    m_changed.notify_all();
}

long WrittenExtent::readAt(int fd, std::uint8_t* buffer, std::size_t size, std::uint64_t offset)
{
    std::unique_lock lock(m_mutex);
    // A reader woken for every few bytes written would cost more than its reads.
    m_wanted = offset + std::min<std::uint64_t>(std::max<std::size_t>(size, 1), SmallestWait);
    m_changed.wait(lock, [&] { return m_abandoned || m_finished || m_end >= m_wanted; });
    m_wanted = NoReader;
    if (m_abandoned)
        return -1;
    if (offset >= m_end)
        return 0;
    const auto wanted = static_cast<std::size_t>(std::min<std::uint64_t>(size, m_end - offset));
    for (;;) {
        const ssize_t got = ::pread(fd, buffer, wanted, static_cast<off_t>(offset));
        if (got < 0 && errno == EINTR)
            continue;
        return got > 0 ? static_cast<long>(got) : -1;
    }
}

} // namespace tunevale
