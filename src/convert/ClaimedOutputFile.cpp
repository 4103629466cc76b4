#include "ClaimedOutputFile.h"

#include "OutputFileName.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace tunevale
{

ClaimedOutputFile::~ClaimedOutputFile()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

ClaimedOutputFile::ClaimedOutputFile(ClaimedOutputFile&& other) noexcept
    : m_path(std::move(other.m_path)), m_fd(std::exchange(other.m_fd, -1))
{
}

ClaimedOutputFile& ClaimedOutputFile::operator=(ClaimedOutputFile&& other) noexcept
{
    if (this != &other) {
        if (m_fd >= 0)
            ::close(m_fd);
        m_path = std::move(other.m_path);
        m_fd = std::exchange(other.m_fd, -1);
    }
    return *this;
}

ClaimedOutputFile ClaimedOutputFile::claim(const std::string& folder, const std::string& sourceFile,
                                           const std::string& extension)
{
    ClaimedOutputFile file;
    bool failed = false;
    const std::string name = firstOutputName(folder, sourceFile, extension, [&](const std::string& candidate) {
        file.m_fd = ::open(candidate.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
        // Taken: try the next name. Anything else (no permission, a full disk) fails them all.
        if (file.m_fd < 0)
            failed = errno != EEXIST;
        return file.m_fd >= 0 || failed;
    });
    if (file.m_fd >= 0)
        file.m_path = name;
    return file;
}

bool ClaimedOutputFile::ours(std::uint64_t* size) const
{
    struct stat named;
    struct stat held;
    if (m_fd < 0 || ::lstat(m_path.c_str(), &named) != 0 || ::fstat(m_fd, &held) != 0 || !S_ISREG(named.st_mode) ||
        named.st_dev != held.st_dev || named.st_ino != held.st_ino)
        return false;
    if (size)
        *size = static_cast<std::uint64_t>(named.st_size);
    return true;
}

bool ClaimedOutputFile::written(std::uint64_t minSize) const
{
    std::uint64_t size = 0;
    return ours(&size) && size >= minSize;
}

bool ClaimedOutputFile::sizeIs(std::uint64_t expected) const
{
    std::uint64_t size = 0;
    return ours(&size) && size == expected;
}

void ClaimedOutputFile::discard()
{
    if (ours(nullptr))
        ::unlink(m_path.c_str());
}

} // namespace tunevale
