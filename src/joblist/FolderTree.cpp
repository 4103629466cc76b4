#include "FolderTree.h"

#include "FolderListing.h"

#include <algorithm>
#include <filesystem>
#include <set>
#include <system_error>

namespace tunevale
{

namespace
{

namespace fs = std::filesystem;

struct FolderEntries {
    std::vector<std::string> files;
    std::vector<std::string> folders;
};

// One pass over a folder; false when it cannot be read.
bool readFolder(const fs::path& folder, FolderEntries& entries)
{
    std::error_code error;
    auto entry = fs::directory_iterator(folder, error);
    if (error)
        return false;
    for (; !error && entry != fs::directory_iterator(); entry.increment(error)) {
        std::error_code typeError;
        // Follows links: a link to a folder counts as a folder.
        const bool isFolder = entry->is_directory(typeError);
        (isFolder ? entries.folders : entries.files).push_back(entry->path().filename().string());
    }
    std::sort(entries.files.begin(), entries.files.end(), folderOrderLess);
    std::sort(entries.folders.begin(), entries.folders.end(), folderOrderLess);
    return !error;
}

class TreeWalk
{
public:
    TreeWalk(fs::path top, bool recursive) : m_top(std::move(top)), m_recursive(recursive) {}

    FolderTree walk()
    {
        visit({}, true);
        return std::move(m_tree);
    }

private:
    void visit(const fs::path& below, bool isTop)
    {
        const fs::path folder = below.empty() ? m_top : m_top / below;
        std::error_code error;
        const auto identity = fs::canonical(folder, error);
        if (!error && !m_visited.insert(identity).second)
            return;
        FolderEntries entries;
        if (error || !readFolder(folder, entries)) {
            if (!isTop)
                m_tree.unreadable.push_back(folder.string());
            return;
        }
        for (const auto& name : entries.files)
            m_tree.files.push_back((below / name).string());
        if (m_recursive)
            for (const auto& name : entries.folders)
                visit(below / name, false);
    }

    fs::path m_top;
    bool m_recursive;
    std::set<fs::path> m_visited;
    FolderTree m_tree;
};

} // namespace

FolderTree listFolderTree(const std::string& folder, bool recursive)
{
    return TreeWalk(folder, recursive).walk();
}

} // namespace tunevale
