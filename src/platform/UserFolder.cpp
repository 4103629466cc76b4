#include "UserFolder.h"

#include <cstdlib>
#include <system_error>

namespace tunevale
{

std::filesystem::path userFolder(UserFolder kind)
{
    const bool state = kind == UserFolder::State;
    std::filesystem::path base;
    if (const char* value = std::getenv(state ? "XDG_STATE_HOME" : "XDG_CACHE_HOME"); value && *value == '/')
        base = value;
    else {
        const char* home = std::getenv("HOME");
        base = std::filesystem::path(home && *home ? home : "/tmp") / (state ? ".local/state" : ".cache");
    }
    auto folder = base / "Tunevale";
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    return folder;
}

} // namespace tunevale
