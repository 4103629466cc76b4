#pragma once

#include <string>
#include <vector>

namespace tunevale
{

// A selection text carries the files of one choice: one file as its full path alone, or several as
// a folder path followed by the bare file names, the parts separated by NUL characters.

// The full paths of a selection text, in its order: the one path, or folder + "/" + each name.
std::vector<std::string> selectionPaths(const std::string& selection);

// The selection text of absolute paths (as an open dialog answers): their common folder, then the
// names below it. Empty for no paths.
std::string selectionText(const std::vector<std::string>& paths);

// folder + "/" + name, without doubling the separator after a folder that ends in "/" (the root).
std::string joinFolderAndName(const std::string& folder, const std::string& name);

// Removes every pair of consecutive NUL characters (the end marker of a dialog's answer).
std::string removeNulPairs(const std::string& text);

// Replaces each pair of consecutive "/" by one, scanning once from the left, unless the path begins
// with "//" (a network path, left as it is).
void cleanSeparators(std::string& path);

} // namespace tunevale
