#include "FolderTree.h"

#include "FolderListing.h"

#include <algorithm>
#include <system_error>
#include <utility>

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

} // namespace

FolderWalk::FolderWalk(std::string top, bool recursive) : m_top(std::move(top)), m_recursive(recursive)
{
    m_pending.emplace_back();
}

void FolderWalk::step(FolderTree& tree)
{
    if (m_pending.empty())
        return;
    const fs::path below = std::move(m_pending.back());
    m_pending.pop_back();
    const bool isTop = std::exchange(m_atTop, false);
    const fs::path folder = below.empty() ? m_top : m_top / below;

    std::error_code error;
    const auto identity = fs::canonical(folder, error);
    if (!error && !m_visited.insert(identity).second)
        return;
    FolderEntries entries;
    if (error || !readFolder(folder, entries)) {
        if (!isTop)
            tree.unreadable.push_back(folder.string());
        return;
    }
    for (const auto& name : entries.files)
        tree.files.push_back((below / name).string());
    if (m_recursive)
        for (auto name = entries.folders.rbegin(); name != entries.folders.rend(); ++name)
            m_pending.push_back(below / *name);
}

FolderTree listFolderTree(const std::string& folder, bool recursive)
{
    FolderTree tree;
    FolderWalk walk(folder, recursive);
    while (!walk.done())
        walk.step(tree);
    return tree;
}

} // namespace tunevale
