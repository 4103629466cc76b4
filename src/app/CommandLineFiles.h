#pragma once

#include <QStringList>

#include <string>
#include <vector>

namespace tunevale
{

// The files named on the program's command line (a desktop's "Open with" passes them as %F), as
// absolute paths: relative paths are taken from the current folder, file:// URLs become their
// paths, other URLs and empty arguments are left out.
std::vector<std::string> commandLineFiles(const QStringList& arguments);

} // namespace tunevale
