#include "InputFiles.h"

#include "AcceptedExtensions.h"
#include "ConsoleStandIns.h"
#include "FolderListing.h"

#include <filesystem>
#include <set>
#include <system_error>

namespace tunevale
{

namespace
{

void addFolder(const std::filesystem::path& folder, bool recursive, std::set<std::filesystem::path>& seen,
               std::vector<std::string>& files)
{
    std::error_code error;
    const auto canonical = std::filesystem::canonical(folder, error);
    if (error || !seen.insert(canonical).second)
        return;
    for (const auto& name : ListFolderFiles(folder.string()))
        if (hasAcceptedExtension(name))
            files.push_back((folder / name).string());
    if (recursive)
        for (const auto& name : ListSubFolders(folder.string()))
            addFolder(folder / name, recursive, seen, files);
}

} // namespace

std::vector<std::string> expandInputs(const std::vector<std::string>& arguments, bool recursive)
{
    std::vector<std::string> files;
    std::set<std::filesystem::path> seen;
    for (const auto& argument : arguments) {
        const std::string path = absolutePath(argument);
        std::error_code error;
        if (std::filesystem::is_directory(path, error))
            addFolder(std::filesystem::path(path).lexically_normal(), recursive, seen, files);
        else
            files.push_back(path);
    }
    return files;
}

} // namespace tunevale
