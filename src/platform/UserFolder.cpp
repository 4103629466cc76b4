#include "UserFolder.h"

#include <cstdlib>
#include <pwd.h>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>
#include <vector>

namespace tunevale
{

namespace
{

bool isOwnFolder(const char* path)
{
    struct stat status {
    };
    return path != nullptr && path[0] == '/' && ::stat(path, &status) == 0 && S_ISDIR(status.st_mode) &&
           status.st_uid == ::geteuid();
}

std::filesystem::path passwordHome()
{
    long size = ::sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(size > 0 ? static_cast<std::size_t>(size) : 16384);
    passwd entry{};
    passwd* found = nullptr;
    while (::getpwuid_r(::geteuid(), &entry, buffer.data(), buffer.size(), &found) == ERANGE &&
           buffer.size() < (1u << 20))
        buffer.resize(buffer.size() * 2);
    if (found == nullptr || !isOwnFolder(found->pw_dir))
        return {};
    return found->pw_dir;
}

struct BaseFolder {
    const char* variable;
    const char* underHome;
};

BaseFolder baseOf(UserFolder kind)
{
    if (kind == UserFolder::State)
        return {"XDG_STATE_HOME", ".local/state"};
    return {"XDG_CACHE_HOME", ".cache"};
}

} // namespace

std::filesystem::path homeFolder()
{
    if (const char* home = std::getenv("HOME"); isOwnFolder(home))
        return home;
    return passwordHome();
}

std::filesystem::path userFolder(UserFolder kind)
{
    const BaseFolder base = baseOf(kind);
    std::filesystem::path folder;
    if (const char* value = std::getenv(base.variable); value && *value == '/')
        folder = value;
    else if (const auto home = homeFolder(); !home.empty())
        folder = home / base.underHome;
    else
        return {};
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    folder /= "Tunevale";
    ::mkdir(folder.c_str(), 0700);
    return folder;
}

} // namespace tunevale
