#pragma once

#include "LibraryRecords.h"

#include <optional>
#include <string>
#include <vector>

namespace tunevale
{

// The stamp of the file at path (links followed); nullopt when there is none.
std::optional<FileStamp> fileStamp(const std::string& path);

// One regular file found under the source root.
struct ScannedFile {
    std::string path; // relative to the root, "/" between levels
    FileStamp stamp;
};

// The regular files under root (links followed), depth first: a folder's files, then each of its
// sub-folders, both in folderOrderLess order. Each folder is read once, so links that loop back
// are not followed again; folders named ".tunevale" (a mirror's state) and the folder skipFolder
// (the mirror itself when it lies inside the source; may be empty) are left out. Files and folders
// that cannot be read are left out; false with error set when root itself cannot be read.
bool scanSourceTree(const std::string& root, const std::string& skipFolder, std::vector<ScannedFile>& files,
                    std::string& error);

} // namespace tunevale
