#pragma once

#include <filesystem>
#include <set>
#include <string>
#include <vector>

namespace tunevale
{

// The files below one folder, as the list adds them.
struct FolderTree {
    // Paths relative to the folder ("a.flac", "Artist/Album/01.flac"): a folder's own files first,
    // then each sub-folder's, sub-folders in name order, depth first.
    std::vector<std::string> files;
    // Full paths of the sub-folders that could not be read; their files are left out.
    std::vector<std::string> unreadable;
};

// A walk through a folder's tree in FolderTree's order, one folder a step, so that a caller can
// spread a large tree over several turns. Each folder is visited once however many links lead to
// it, so a link to a parent folder does not loop. A top folder that cannot be read gives nothing.
class FolderWalk
{
public:
    FolderWalk(std::string top, bool recursive);

    bool done() const { return m_pending.empty(); }
    // Reads the next folder: its files go to tree.files, and its sub-folders are walked next.
    void step(FolderTree& tree);

private:
    std::filesystem::path m_top;
    bool m_recursive;
    std::vector<std::filesystem::path> m_pending; // below m_top; the next one last
    std::set<std::filesystem::path> m_visited;
    bool m_atTop = true;
};

// The files of folder, and of its sub-folders when recursive, in one go.
FolderTree listFolderTree(const std::string& folder, bool recursive);

} // namespace tunevale
