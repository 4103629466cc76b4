#include "ProgramFolder.h"

#include <system_error>

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

} // namespace tunevale
