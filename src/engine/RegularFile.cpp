#include "RegularFile.h"

#include "Engine.h"

#include <cerrno>
#include <cstdint>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tunevale
{

namespace
{

// Reads up to size bytes from fd into out; the count read, or -1 on a read error.
ssize_t readUpTo(int fd, char* out, std::size_t size)
{
    std::size_t filled = 0;
    while (filled < size) {
        const ssize_t got = ::read(fd, out + filled, size - filled);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return -1;
        if (got == 0)
            break;
        filled += static_cast<std::size_t>(got);
    }
    return static_cast<ssize_t>(filled);
}

} // namespace

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

int readRegularFile(const std::string& path, std::size_t maxSize, std::string& bytes)
{
    const int fd = openRegularFile(path);
    if (fd < 0)
        return EngineCode::FileOpen;
    struct stat status {
    };
    int code = EngineCode::Ok;
    if (::fstat(fd, &status) != 0) {
        code = EngineCode::FileOpen;
    } else if (static_cast<std::uintmax_t>(status.st_size) > maxSize) {
        code = EngineCode::Format;
    } else {
        // One byte more than the file held when asked, to notice one that grew past the limit.
        bytes.resize(static_cast<std::size_t>(status.st_size) + 1);
        const ssize_t got = readUpTo(fd, bytes.data(), bytes.size());
        if (got < 0)
            code = EngineCode::FileOpen;
        else if (static_cast<std::size_t>(got) > maxSize)
            code = EngineCode::Format;
        else
            bytes.resize(static_cast<std::size_t>(got));
    }
    ::close(fd);
    if (code != EngineCode::Ok)
        bytes.clear();
    return code;
}

} // namespace tunevale
