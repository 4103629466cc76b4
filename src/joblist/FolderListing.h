#pragma once

#include <string>
#include <vector>

namespace tunevale
{

// The names of the files directly inside folder, sorted by name with letter case ignored: every
// entry that is not a folder or a link to one (hidden files included). Empty when the folder
// cannot be read.
std::vector<std::string> ListFolderFiles(const std::string& folder);

// s cut before its first NUL character (unchanged when it holds none), also stored back into s.
std::string StripNulls(std::string& s);

} // namespace tunevale
