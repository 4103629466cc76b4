#pragma once

#include <memory>
#include <string>

namespace tunevale
{

// Keeps one sync at a time in a mirror: an exclusive flock on DEST/.tunevale/lock, held while
// this object lives and let go by the system when the process ends, however it ends.
class LibraryLock
{
public:
    // The lock, or nullptr with error set when another process holds it or the file cannot be made.
    static std::unique_ptr<LibraryLock> acquire(const std::string& stateFolder, std::string& error);
    ~LibraryLock();
    LibraryLock(const LibraryLock&) = delete;
    LibraryLock& operator=(const LibraryLock&) = delete;

private:
    explicit LibraryLock(int fd) : m_fd(fd) {}
    int m_fd;
};

} // namespace tunevale
