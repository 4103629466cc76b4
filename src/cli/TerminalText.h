#pragma once

#include <string>

namespace tunevale
{

// A file name or tag as plain output shows it, escaped as `ls -b` does: control characters (C0,
// DEL and C1) as \t, \n, \033 and the like, a backslash as "\\", and bytes that are not UTF-8 as
// octal escapes. So a name cannot split a tab-separated line, start a new one or steer the
// terminal, and the escapes read back to the exact bytes.
std::string escapedText(const std::string& text);

// True when text is valid UTF-8 (which JSON output can carry as it is).
bool isValidUtf8(const std::string& text);

} // namespace tunevale
