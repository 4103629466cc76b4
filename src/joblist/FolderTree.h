#pragma once

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

// The files of folder, and of its sub-folders when recursive. Each folder is visited once however
// many links lead to it, so a link to a parent folder does not loop. A folder that cannot be read
// at all gives an empty tree.
FolderTree listFolderTree(const std::string& folder, bool recursive);

} // namespace tunevale
