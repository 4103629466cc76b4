#include "LibraryLock.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sys/file.h>
#include <unistd.h>

namespace tunevale
{

std::unique_ptr<LibraryLock> LibraryLock::acquire(const std::string& stateFolder, std::string& error)
{
    std::error_code fsError;
    std::filesystem::create_directories(stateFolder, fsError);
    const std::string path = stateFolder + "/lock";
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0644);
    if (fd < 0) {
        error = "The lock file " + path + " cannot be opened: " + std::strerror(errno) + ".";
        return nullptr;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int cause = errno;
        ::close(fd);
        error = cause == EWOULDBLOCK
                    ? "Another sync is writing into " + std::filesystem::path(stateFolder).parent_path().string() +
                          "; try again when it has finished."
                    : "The lock file " + path + " cannot be locked: " + std::strerror(cause) + ".";
        return nullptr;
    }
    return std::unique_ptr<LibraryLock>(new LibraryLock(fd));
}

LibraryLock::~LibraryLock()
{
    ::close(m_fd);
}

} // namespace tunevale
