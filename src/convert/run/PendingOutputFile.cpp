#include "PendingOutputFile.h"

#include "OutputTags.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <random>
#include <string_view>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace tunevale
{

namespace
{

// The file inside a private folder that its maker holds locked for the folder's life.
constexpr const char* LockName = ".lock";
// New private folders tried before giving up when names clash or someone interferes.
constexpr int MaxAttempts = 100;
// The random letters after PrivateFolderPrefix.
constexpr std::size_t RandomLetters = 6;
// The pending file's name starts with this; the tag writer's copy of it with "." before it.
constexpr std::string_view PendingPrefix = ".partial.";

std::string randomLetters(std::size_t count)
{
    static constexpr std::string_view letters = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    thread_local std::mt19937_64 generator{std::random_device{}()};
    std::uniform_int_distribution<std::size_t> pick(0, letters.size() - 1);
    std::string text;
    for (std::size_t i = 0; i < count; ++i)
        text += letters[pick(generator)];
    return text;
}

std::string errorText(int code)
{
    return std::strerror(code);
}

bool sameFile(const struct stat& a, const struct stat& b)
{
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// The names in an open folder, without "." and "..".
std::vector<std::string> entryNames(int folder)
{
    std::vector<std::string> names;
    // fdopendir takes the descriptor it is given; the folder's own stays open.
    const int listing = ::openat(folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    DIR* dir = listing >= 0 ? ::fdopendir(listing) : nullptr;
    if (!dir) {
        if (listing >= 0)
            ::close(listing);
        return names;
    }
    while (const dirent* entry = ::readdir(dir)) {
        const std::string_view name = entry->d_name;
        if (name != "." && name != "..")
            names.emplace_back(name);
    }
    ::closedir(dir);
    return names;
}

// Removes every entry of a private folder that is not a folder itself (never through a link).
void removeFiles(int folder)
{
    for (const std::string& name : entryNames(folder))
        ::unlinkat(folder, name.c_str(), 0);
}

// Removes the folder's name from its parent, but only while the name still holds that folder.
bool removeFolderEntry(int parent, const std::string& name, int folder)
{
    struct stat held;
    struct stat named;
    return ::fstat(folder, &held) == 0 && ::fstatat(parent, name.c_str(), &named, AT_SYMLINK_NOFOLLOW) == 0 &&
           sameFile(held, named) && ::unlinkat(parent, name.c_str(), AT_REMOVEDIR) == 0;
}

// Whether a name in the output folder is that of a private folder, and one inside such a folder
// that of a file it holds: anything else is the user's and never removed.
bool privateFolderName(std::string_view name)
{
    const std::string_view prefix = PrivateFolderPrefix;
    return name.size() == prefix.size() + RandomLetters && name.starts_with(prefix) &&
           std::all_of(name.begin() + static_cast<std::ptrdiff_t>(prefix.size()), name.end(),
                       [](char c) { return std::isalnum(static_cast<unsigned char>(c)); });
}

bool privateFileName(std::string_view name)
{
    return name == LockName || name.starts_with(PendingPrefix) || name.starts_with(TagCopyPrefix) ||
           (name.starts_with('.') && name.substr(1).starts_with(PendingPrefix));
}

bool closeDescriptor(int& fd)
{
    const bool closed = fd < 0 || ::close(fd) == 0;
    fd = -1;
    return closed;
}

} // namespace

PendingOutputFile::~PendingOutputFile()
{
    discard();
    closeDescriptor(m_outputFolder);
}

PendingOutputFile::PendingOutputFile(PendingOutputFile&& other) noexcept
    : m_outputFolder(std::exchange(other.m_outputFolder, -1)), m_private(std::exchange(other.m_private, -1)),
      m_lock(std::exchange(other.m_lock, -1)), m_file(std::exchange(other.m_file, -1)),
      m_folder(std::move(other.m_folder)), m_privateName(std::move(other.m_privateName)),
      m_fileName(std::move(other.m_fileName))
{
}

PendingOutputFile& PendingOutputFile::operator=(PendingOutputFile&& other) noexcept
{
    if (this != &other) {
        discard();
        closeDescriptor(m_outputFolder);
        m_outputFolder = std::exchange(other.m_outputFolder, -1);
        m_private = std::exchange(other.m_private, -1);
        m_lock = std::exchange(other.m_lock, -1);
        m_file = std::exchange(other.m_file, -1);
        m_folder = std::move(other.m_folder);
        m_privateName = std::move(other.m_privateName);
        m_fileName = std::move(other.m_fileName);
    }
    return *this;
}

PendingOutputFile PendingOutputFile::create(const std::string& folder, const std::string& extension, std::string& error)
{
    // A folder removed during a run is made again, with every level that is missing.
    std::error_code ignored;
    if (!std::filesystem::is_directory(folder, ignored))
        std::filesystem::create_directories(folder, ignored);

    PendingOutputFile output;
    output.m_folder = folder;
    output.m_outputFolder = ::open(folder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (output.m_outputFolder < 0) {
        error = "the output folder " + folder + " cannot be opened: " + errorText(errno);
        return {};
    }
    for (int attempt = 0; attempt < MaxAttempts; ++attempt) {
        output.m_privateName = PrivateFolderPrefix + randomLetters(RandomLetters);
        if (::mkdirat(output.m_outputFolder, output.m_privateName.c_str(), 0700) != 0) {
            if (errno == EEXIST)
                continue;
            error = "no file can be made in " + folder + ": " + errorText(errno);
            return {};
        }
        output.m_private = ::openat(output.m_outputFolder, output.m_privateName.c_str(),
                                    O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        struct stat held;
        // Another user may have put something of theirs under the new name: it is never entered.
        // Inherited access rules (a default ACL of the output folder) are taken off the folder.
        if (output.m_private < 0 || ::fstat(output.m_private, &held) != 0 || held.st_uid != ::geteuid() ||
            ::fchmod(output.m_private, 0700) != 0) {
            closeDescriptor(output.m_private);
            continue;
        }
        output.m_lock = ::openat(output.m_private, LockName, O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        // Held already: not the folder just made (another of this user's, swapped in), left alone. On
        // a file system without locks the folder goes unlocked, and a clean-up never takes it.
        if (output.m_lock < 0 || (::flock(output.m_lock, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK)) {
            closeDescriptor(output.m_lock);
            closeDescriptor(output.m_private);
            continue;
        }
        // A clean-up of another run may have taken the new folder for a leftover before the lock
        // was taken: the folder must still stand under its name, with the lock file in it.
        struct stat named;
        struct stat lock;
        if (::fstatat(output.m_outputFolder, output.m_privateName.c_str(), &named, AT_SYMLINK_NOFOLLOW) != 0 ||
            !sameFile(named, held) || ::fstat(output.m_lock, &lock) != 0 || lock.st_nlink == 0) {
            output.discard();
            continue;
        }
        output.m_fileName = std::string(PendingPrefix) + extension;
        output.m_file = ::openat(output.m_private, output.m_fileName.c_str(),
                                 O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
        if (output.m_file < 0) {
            error = "no file can be made in " + folder + ": " + errorText(errno);
            return {};
        }
        return output;
    }
    error = "no private folder could be made in " + folder;
    return {};
}

std::string PendingOutputFile::pathInProcess() const
{
    return "/proc/self/fd/" + std::to_string(m_private) + "/" + m_fileName;
}

std::string PendingOutputFile::shownPath() const
{
    return (m_folder.ends_with('/') ? m_folder : m_folder + '/') + m_privateName + '/' + m_fileName;
}

std::optional<std::uint64_t> PendingOutputFile::size() const
{
    struct stat named;
    if (m_private < 0 || ::fstatat(m_private, m_fileName.c_str(), &named, AT_SYMLINK_NOFOLLOW) != 0 ||
        !S_ISREG(named.st_mode))
        return std::nullopt;
    return static_cast<std::uint64_t>(named.st_size);
}

bool PendingOutputFile::flush(std::string& error) const
{
    // By name: an encoder or the tag writer may have put another file under it.
    int fd = m_private < 0 ? -1 : ::openat(m_private, m_fileName.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    const bool flushed = fd >= 0 && ::fsync(fd) == 0;
    if (!flushed)
        error = "the output could not be written to the disk: " + errorText(errno);
    closeDescriptor(fd);
    return flushed;
}

PendingOutputFile::Placement PendingOutputFile::placeAs(const std::string& name, std::string& error)
{
    const auto failed = [&](int code) {
        error = "the output could not be given its name " + name + ": " + errorText(code);
        return Placement::Failed;
    };
    const auto placed = [&] {
        discard();
        return Placement::Placed;
    };
    if (m_private < 0)
        return failed(EBADF);
    const char* from = m_fileName.c_str();
    if (::renameat2(m_private, from, m_outputFolder, name.c_str(), RENAME_NOREPLACE) == 0)
        return placed();
    if (errno == EEXIST)
        return Placement::NameTaken;
    if (errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP)
        return failed(errno);

    // A file system without that rename (some network ones): a hard link fails on a taken name too.
    if (::linkat(m_private, from, m_outputFolder, name.c_str(), 0) == 0) {
        ::unlinkat(m_private, from, 0);
        return placed();
    }
    if (errno == EEXIST)
        return Placement::NameTaken;
    if (errno != EPERM && errno != EOPNOTSUPP && errno != ENOSYS)
        return failed(errno);

    // Neither (FAT through FUSE): look, then rename. Only a name made in the same instant could be lost.
    struct stat named;
    if (::fstatat(m_outputFolder, name.c_str(), &named, AT_SYMLINK_NOFOLLOW) == 0)
        return Placement::NameTaken;
    if (errno != ENOENT)
        return failed(errno);
    if (::renameat(m_private, from, m_outputFolder, name.c_str()) != 0)
        return failed(errno);
    return placed();
}

PendingOutputFile::Placement PendingOutputFile::placeOver(const std::string& name, std::string& error)
{
    if (m_private < 0) {
        error = "the output could not be given its name " + name + ": " + errorText(EBADF);
        return Placement::Failed;
    }
    if (::renameat(m_private, m_fileName.c_str(), m_outputFolder, name.c_str()) == 0) {
        discard();
        return Placement::Placed;
    }
    if (errno == EISDIR || errno == ENOTEMPTY || errno == EEXIST)
        return Placement::NameTaken;
    error = "the output could not be given its name " + name + ": " + errorText(errno);
    return Placement::Failed;
}

void PendingOutputFile::discard()
{
    if (m_lock >= 0 && m_private >= 0) {
        removeFiles(m_private);
        removeFolderEntry(m_outputFolder, m_privateName, m_private);
    }
    closeDescriptor(m_file);
    closeDescriptor(m_lock);
    closeDescriptor(m_private);
}

std::size_t removeLeftoverOutputs(const std::string& folder)
{
    const int parent = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (parent < 0)
        return 0;
    std::size_t removed = 0;
    for (const std::string& name : entryNames(parent)) {
        if (!privateFolderName(name))
            continue;
        int candidate = ::openat(parent, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        struct stat held;
        if (candidate < 0 || ::fstat(candidate, &held) != 0 || held.st_uid != ::geteuid()) {
            closeDescriptor(candidate);
            continue;
        }
        // Only a folder that holds nothing but what Tunevale puts there is taken for a leftover.
        const std::vector<std::string> inside = entryNames(candidate);
        const bool onlyOurs = std::all_of(inside.begin(), inside.end(), privateFileName);
        int lock = ::openat(candidate, LockName, O_RDWR | O_NOFOLLOW | O_CLOEXEC);
        // Without a lock file the folder must be empty: its maker died before taking the lock, or is
        // taking it now and will find that its folder went and make another. A lock that cannot be
        // taken at all (no locks on this file system) counts as held.
        const bool unheld = lock < 0 ? errno == ENOENT && inside.empty() : ::flock(lock, LOCK_EX | LOCK_NB) == 0;
        if (onlyOurs && unheld) {
            removeFiles(candidate);
            removed += removeFolderEntry(parent, name, candidate);
        }
        closeDescriptor(lock);
        closeDescriptor(candidate);
    }
    ::close(parent);
    return removed;
}

} // namespace tunevale
