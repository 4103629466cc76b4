#pragma once

#include <filesystem>

namespace tunevale
{

enum class UserFolder {
    Cache, // $XDG_CACHE_HOME, by default ~/.cache: files that may be made again (probe files, downloads)
    State, // $XDG_STATE_HOME, by default ~/.local/state: files kept across runs (the error log)
};

// Tunevale's own folder under the given XDG base folder ("<base>/Tunevale"), created when missing.
// Everything Tunevale writes for itself goes there, never into the program folder, even when that
// is writable. A base variable that is unset, empty or relative is ignored, as XDG asks.
std::filesystem::path userFolder(UserFolder kind);

} // namespace tunevale
