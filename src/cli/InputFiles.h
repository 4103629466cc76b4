#pragma once

#include <string>
#include <vector>

namespace tunevale
{

// What command-line arguments name.
struct InputFiles {
    std::vector<std::string> files;   // made absolute, in the order given
    std::vector<std::string> roots;   // for each file, the folder named that holds it, else its own folder
    std::vector<std::string> leftOut; // files inside the folders given that the list does not take
    std::vector<std::string> unread;  // folders that could not be read, each with the reason after ": "
};

// The files that command-line arguments name. A folder stands for the files directly inside it that
// have an accepted extension, in folder listing order; with recursive, each folder's files are
// followed by its sub-folders' files, depth first, sub-folders in listing order. A folder reached
// twice through links is taken once.
InputFiles expandInputs(const std::vector<std::string>& arguments, bool recursive);

// The line that tells of the files left out, with their count and the first few names (escaped
// for the terminal): "4 files left out: not a type the list takes: a.txt, b.jpg, c.pdf, ...".
std::string leftOutLine(const std::vector<std::string>& leftOut);

} // namespace tunevale
