#pragma once

#include <filesystem>

namespace tunevale
{

// The folder that holds the running executable (encoders, manual and probe files live beside it).
std::filesystem::path programFolder();

// Where Tunevale writes a file that belongs beside the program: the program folder when it is
// writable, otherwise the given XDG base folder ("XDG_CACHE_HOME" or "XDG_STATE_HOME") + "/Tunevale".
std::filesystem::path writableProgramFolder(const char* xdgVariable);

} // namespace tunevale
