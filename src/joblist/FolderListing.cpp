#include "FolderListing.h"

#include "AsciiCase.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

namespace tunevale
{

std::vector<std::string> ListFolderFiles(const std::string& folder)
{
    namespace fs = std::filesystem;
    std::vector<std::string> names;
    std::error_code error;
    for (auto entry = fs::directory_iterator(folder, error); !error && entry != fs::directory_iterator();
         entry.increment(error)) {
        std::error_code typeError;
        if (entry->is_directory(typeError)) // follows links: a link to a folder is skipped as well
            continue;
        auto name = entry->path().filename().string();
        StripNulls(name);
        if (name != "." && name != "..")
            names.push_back(std::move(name));
    }
    // Sorted as a person reads a track list, whatever order the file system keeps; names that
    // differ only in letter case keep a fixed order between them.
    std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
        const std::string lowerA = asciiLower(a), lowerB = asciiLower(b);
        return lowerA != lowerB ? lowerA < lowerB : a < b;
    });
    return names;
}

std::string StripNulls(std::string& s)
{
    if (const auto nul = s.find('\0'); nul != std::string::npos)
        s.erase(nul);
    return s;
}

} // namespace tunevale
