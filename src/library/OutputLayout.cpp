#include "OutputLayout.h"

#include "SafeFileName.h"

namespace tunevale
{

std::string relativeBaseName(const std::string& relativePath)
{
    const auto slash = relativePath.rfind('/');
    std::string name = slash == std::string::npos ? relativePath : relativePath.substr(slash + 1);
    if (const auto dot = name.rfind('.'); dot != std::string::npos && dot > 0)
        name.erase(dot);
    return name;
}

std::string relativeFolder(const std::string& relativePath)
{
    const auto slash = relativePath.rfind('/');
    return slash == std::string::npos ? std::string() : relativePath.substr(0, slash);
}

std::string OutputLayout::outputPath(const std::string& sourcePath, const SourceTags& tags,
                                     const std::string& extension) const
{
    const std::string folder = relativeFolder(sourcePath);
    const std::string baseName = relativeBaseName(sourcePath);
    if (m_pattern)
        return m_pattern->render({tags, baseName, folder}, extension);
    std::string path;
    std::size_t start = 0;
    while (start < folder.size()) {
        auto end = folder.find('/', start);
        if (end == std::string::npos)
            end = folder.size();
        path += safeFileName(folder.substr(start, end - start)) + '/';
        start = end + 1;
    }
    return path + safeFileName(baseName, extension);
}

} // namespace tunevale
