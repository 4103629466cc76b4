#include "RegularFile.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tunevale
{

int openRegularFile(const std::string& path)
{
    // Non-blocking, so that opening a FIFO cannot wait for a writer; cleared once the descriptor is
    // known to be a regular file.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0)
        return -1;
    struct stat status {
    };
    const int flags = ::fcntl(fd, F_GETFL);
    if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode) || flags < 0 ||
        ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) < 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

std::optional<std::string> readRegularFile(const std::string& path, std::size_t limit)
{
    const int fd = openRegularFile(path);
    if (fd < 0)
        return std::nullopt;
    std::string bytes;
    std::size_t filled = 0;
    bool failed = false;
    while (filled <= limit) {
        // Grows as the file turns out longer, so that a small file never costs the whole limit.
        bytes.resize(std::min(limit + 1, std::max<std::size_t>(filled * 2, 64 * 1024)));
        const ssize_t got = ::read(fd, bytes.data() + filled, bytes.size() - filled);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0) {
            failed = got < 0;
            break;
        }
        filled += static_cast<std::size_t>(got);
    }
    ::close(fd);
    if (failed)
        return std::nullopt;
    bytes.resize(filled);
    return bytes;
}

} // namespace tunevale
