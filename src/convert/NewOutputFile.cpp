#include "NewOutputFile.h"

#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace tunevale
{

namespace
{

bool nameTaken(const std::string& path)
{
    struct stat info;
    return ::lstat(path.c_str(), &info) == 0 || errno != ENOENT;
}

} // namespace

NewOutputFile::NewOutputFile(std::string path)
    : m_path(std::move(path)), m_claimable(!m_path.empty() && !nameTaken(m_path))
{
}

bool NewOutputFile::claimable() const
{
    return m_claimable;
}

void NewOutputFile::discard()
{
    if (!m_claimable)
        return;
    struct stat info;
    if (::lstat(m_path.c_str(), &info) == 0 && S_ISREG(info.st_mode))
        ::unlink(m_path.c_str());
}

bool NewOutputFile::written() const
{
    struct stat info;
    return ::stat(m_path.c_str(), &info) == 0 && S_ISREG(info.st_mode) && info.st_size > 0;
}

} // namespace tunevale
