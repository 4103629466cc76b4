#include "ProgramFolder.h"

#include <cstdlib>
#include <system_error>
#include <unistd.h>

namespace tunevale
{

std::filesystem::path programFolder()
{
    std::error_code error;
    const auto self = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error)
        return std::filesystem::current_path(error);
    return self.parent_path();
}

std::filesystem::path writableProgramFolder(const char* xdgVariable)
{
    const auto folder = programFolder();
    if (::access(folder.c_str(), W_OK) == 0)
        return folder;

    std::filesystem::path base;
    if (const char* value = std::getenv(xdgVariable); value && *value == '/')
        base = value;
    else {
        const char* home = std::getenv("HOME");
        const bool state = std::string_view(xdgVariable) == "XDG_STATE_HOME";
        base = std::filesystem::path(home ? home : "/tmp") / (state ? ".local/state" : ".cache");
    }
    auto result = base / "Tunevale";
    std::error_code error;
    std::filesystem::create_directories(result, error);
    return result;
}

} // namespace tunevale
