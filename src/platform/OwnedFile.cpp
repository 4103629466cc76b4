#include "OwnedFile.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tunevale
{

int openOwnedFile(const std::filesystem::path& path, int flags, OwnedFileError* error, int mode)
{
    auto fail = [error](int fd, bool refused, const char* reason) {
        if (fd >= 0)
            ::close(fd);
        if (error) {
            error->refused = refused;
            error->text = reason;
        }
        return -1;
    };
    if (path.empty())
        return fail(-1, false, "the user has no folder for it");
    const int fd = ::open(path.c_str(), flags | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, mode);
    if (fd < 0) {
        const int cause = errno;
        if (error)
            error->missing = cause == ENOENT && !(flags & O_CREAT);
        // ELOOP: the name is a link; ENXIO: a FIFO without a reader, opened for writing.
        if (cause == ELOOP)
            return fail(-1, true, "it is a symbolic link");
        if (cause == ENXIO)
            return fail(-1, true, "it is not a regular file");
        return fail(-1, false, std::strerror(cause));
    }
    struct stat status {
    };
    if (::fstat(fd, &status) != 0)
        return fail(fd, false, std::strerror(errno));
    if (!S_ISREG(status.st_mode))
        return fail(fd, true, "it is not a regular file");
    // Root's files are trusted as well: nobody else can have planted them, and an administrator
    // may hand out a read-only store.
    if (status.st_uid != ::geteuid() && status.st_uid != 0)
        return fail(fd, true, "it belongs to another user");
    const int statusFlags = ::fcntl(fd, F_GETFL);
    if (statusFlags < 0 || ::fcntl(fd, F_SETFL, statusFlags & ~O_NONBLOCK) < 0)
        return fail(fd, false, std::strerror(errno));
    return fd;
}

} // namespace tunevale
