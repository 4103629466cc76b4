#include "FileCopy.h"

#include <cerrno>
#include <vector>

#include <unistd.h>

namespace tunevale
{

namespace
{

int copyByReading(int from, int to)
{
    std::vector<char> buffer(1 << 20);
    for (;;) {
        const ssize_t got = ::read(from, buffer.data(), buffer.size());
        if (got == 0)
            return 0;
        if (got < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        for (ssize_t done = 0; done < got;) {
            const ssize_t put = ::write(to, buffer.data() + done, static_cast<std::size_t>(got - done));
            if (put < 0 && errno != EINTR)
                return errno;
            if (put > 0)
                done += put;
        }
    }
}

} // namespace

int copyFileBytes(int from, int to)
{
    for (;;) {
        const ssize_t copied = ::copy_file_range(from, nullptr, to, nullptr, 1 << 24, 0);
        if (copied == 0)
            return 0;
        if (copied > 0 || errno == EINTR)
            continue;
        // File systems (or pairs of them) without the kernel's copy, before any byte moved.
        if (errno == EXDEV || errno == EINVAL || errno == ENOSYS || errno == EOPNOTSUPP)
            return copyByReading(from, to);
        return errno;
    }
}

bool writeAllBytes(int fd, const void* data, std::size_t size)
{
    auto bytes = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t written = ::write(fd, bytes, size);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        bytes += written;
        size -= static_cast<std::size_t>(written);
    }
    return true;
}

} // namespace tunevale
