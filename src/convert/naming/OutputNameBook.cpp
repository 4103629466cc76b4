#include "OutputNameBook.h"

#include "OutputFileName.h"

#include <cerrno>
#include <sys/stat.h>

namespace tunevale
{

namespace
{

// Anything under the name (a file, a folder, a link, even a broken one) takes it; so does a name
// that cannot be looked at.
bool freeOnDisk(const std::string& path)
{
    struct stat named;
    return ::lstat(path.c_str(), &named) != 0 && errno == ENOENT;
}

} // namespace

std::string OutputNameBook::reserve(const std::string& folder, const std::string& sourceFile,
                                    const std::string& extension)
{
    std::string name = firstOutputName(folder, sourceFile, extension, [this](const std::string& candidate) {
        return !m_held.contains(candidate) && freeOnDisk(candidate);
    });
    if (!name.empty())
        m_held.insert(name);
    return name;
}

std::string OutputNameBook::reserveBase(const std::string& folder, const std::string& base,
                                        const std::string& extension)
{
    std::string name = firstOutputNameOfBase(folder, base, extension, [this](const std::string& candidate) {
        return !m_held.contains(candidate) && freeOnDisk(candidate);
    });
    if (!name.empty())
        m_held.insert(name);
    return name;
}

std::string OutputNameBook::reserveOwn(const std::string& folder, const std::string& base, const std::string& extension)
{
    std::string name = firstOutputNameOfBase(
        folder, base, extension, [this](const std::string& candidate) { return !m_held.contains(candidate); });
    if (!name.empty())
        m_held.insert(name);
    return name;
}

void OutputNameBook::release(const std::string& path)
{
    m_held.erase(path);
}

} // namespace tunevale
