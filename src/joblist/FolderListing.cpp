#include "FolderListing.h"

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
    return names;
}

std::string StripNulls(std::string& s)
{
    if (const auto nul = s.find('\0'); nul != std::string::npos)
        s.erase(nul);
    return s;
}

} // namespace tunevale
