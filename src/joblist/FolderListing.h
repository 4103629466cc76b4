#pragma once

#include <string>
#include <vector>

namespace tunevale
{

// The names of the files directly inside folder: every entry that is not a folder or a link to one
// (hidden files included), sorted without regard to letter case. Empty when the folder cannot be read.
std::vector<std::string> ListFolderFiles(const std::string& folder);

// The names of the folders (and links to folders) directly inside folder, sorted as ListFolderFiles
// sorts files. Empty when the folder cannot be read.
std::vector<std::string> ListSubFolders(const std::string& folder);

// True when name a comes before name b in a folder listing: ASCII letters compared without regard
// to case, then the exact bytes, so that the order is the same on every file system.
bool folderOrderLess(const std::string& a, const std::string& b);

// s cut before its first NUL character (unchanged when it holds none), also stored back into s.
std::string StripNulls(std::string& s);

} // namespace tunevale
