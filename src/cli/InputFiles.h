#pragma once

#include <string>
#include <vector>

namespace tunevale
{

// The files that command-line arguments name, made absolute, in the order given. A folder stands
// for the files directly inside it that have an accepted extension, in folder listing order; with
// recursive, each folder's files are followed by its sub-folders' files, depth first, sub-folders
// in listing order. A folder reached twice through links is taken once.
std::vector<std::string> expandInputs(const std::vector<std::string>& arguments, bool recursive);

} // namespace tunevale
