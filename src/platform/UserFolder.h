#pragma once

#include <filesystem>

namespace tunevale
{

enum class UserFolder {
    Cache, // $XDG_CACHE_HOME, by default ~/.cache: files that may be made again (probe files, downloads)
    State, // $XDG_STATE_HOME, by default ~/.local/state: files kept across runs (the error log)
};

// The user's home folder: $HOME when it names an existing folder that the user owns, else the one
// the password database gives, under the same test; empty when neither holds. An unset or stale
// HOME (set by a service, left over from another user) must not lead Tunevale into a shared or
// foreign folder.
std::filesystem::path homeFolder();

// Tunevale's own folder under the given XDG base folder ("<base>/Tunevale"), created when missing
// (mode 0700). Everything Tunevale writes for itself goes there, never into the program folder,
// even when that is writable. A base variable that is unset, empty or relative is ignored, as XDG
// asks; the default base lies in homeFolder(). Empty when there is no such base: nothing is made.
std::filesystem::path userFolder(UserFolder kind);

} // namespace tunevale
