#include "FolderListing.h"

#include "AsciiCase.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

namespace tunevale
{

namespace
{

std::vector<std::string> listEntries(const std::string& folder, bool folders)
{
    namespace fs = std::filesystem;
    std::vector<std::string> names;
    std::error_code error;
    for (auto entry = fs::directory_iterator(folder, error); !error && entry != fs::directory_iterator();
         entry.increment(error)) {
        std::error_code typeError;
        // Follows links: a link to a folder counts as a folder.
        if (entry->is_directory(typeError) != folders)
            continue;
        auto name = entry->path().filename().string();
        StripNulls(name);
        if (name != "." && name != "..")
            names.push_back(std::move(name));
    }
    std::sort(names.begin(), names.end(), folderOrderLess);
    return names;
}

} // namespace

std::vector<std::string> ListFolderFiles(const std::string& folder)
{
    return listEntries(folder, false);
}

std::vector<std::string> ListSubFolders(const std::string& folder)
{
    return listEntries(folder, true);
}

bool folderOrderLess(const std::string& a, const std::string& b)
{
    const auto lowerA = asciiLower(a);
    const auto lowerB = asciiLower(b);
    return lowerA != lowerB ? lowerA < lowerB : a < b;
}

std::string StripNulls(std::string& s)
{
    if (const auto nul = s.find('\0'); nul != std::string::npos)
        s.erase(nul);
    return s;
}

} // namespace tunevale
