#include "SourceScan.h"

#include "FolderListing.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <set>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace tunevale
{

namespace
{

constexpr const char* StateFolderName = ".tunevale";

using FolderId = std::pair<dev_t, ino_t>;

FileStamp stampOf(const struct stat& status)
{
    return {static_cast<std::uint64_t>(status.st_size),
            status.st_mtim.tv_sec * 1'000'000'000LL + status.st_mtim.tv_nsec};
}

class TreeScan
{
public:
    TreeScan(std::vector<ScannedFile>& files, std::set<FolderId> skipped) : m_files(files), m_seen(std::move(skipped))
    {
    }

    // Takes ownership of folderFd.
    void scan(int folderFd, const std::string& prefix)
    {
        DIR* folder = ::fdopendir(folderFd);
        if (!folder) {
            ::close(folderFd);
            return;
        }
        std::vector<std::pair<std::string, FileStamp>> files;
        struct SubFolder {
            std::string name;
            FolderId id;
            bool link;
        };
        std::vector<SubFolder> subFolders;
        while (const dirent* entry = ::readdir(folder)) {
            const std::string_view name = entry->d_name;
            if (name == "." || name == ".." || name == StateFolderName)
                continue;
            struct stat status {
            };
            if (::fstatat(folderFd, entry->d_name, &status, 0) != 0)
                continue;
            if (S_ISREG(status.st_mode))
                files.emplace_back(std::string(name), stampOf(status));
            else if (S_ISDIR(status.st_mode))
                subFolders.push_back({std::string(name), {status.st_dev, status.st_ino}, entry->d_type == DT_LNK});
        }
        std::sort(files.begin(), files.end(),
                  [](const auto& a, const auto& b) { return folderOrderLess(a.first, b.first); });
        std::sort(subFolders.begin(), subFolders.end(),
                  [](const auto& a, const auto& b) { return folderOrderLess(a.name, b.name); });
        // A folder reached both directly and through a link is read under its own name.
        std::vector<const SubFolder*> toRead;
        for (const bool links : {false, true})
            for (const auto& folder : subFolders)
                if (folder.link == links && m_seen.insert(folder.id).second)
                    toRead.push_back(&folder);
        std::sort(toRead.begin(), toRead.end(),
                  [](const auto* a, const auto* b) { return folderOrderLess(a->name, b->name); });
        for (auto& [name, stamp] : files)
            m_files.push_back({prefix + name, stamp});
        for (const auto* folder : toRead) {
            const int fd = ::openat(folderFd, folder->name.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
            if (fd >= 0)
                scan(fd, prefix + folder->name + '/');
        }
        ::closedir(folder);
    }

private:
    std::vector<ScannedFile>& m_files;
    std::set<FolderId> m_seen;
};

} // namespace

std::optional<FileStamp> fileStamp(const std::string& path)
{
    struct stat status {
    };
    if (::stat(path.c_str(), &status) != 0 || !S_ISREG(status.st_mode))
        return std::nullopt;
    return stampOf(status);
}

bool scanSourceTree(const std::string& root, const std::string& skipFolder, std::vector<ScannedFile>& files,
                    std::string& error)
{
    files.clear();
    const int fd = ::open(root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    struct stat status {
    };
    if (fd < 0 || ::fstat(fd, &status) != 0) {
        error = "The source folder " + root + " cannot be read: " + std::strerror(errno) + ".";
        if (fd >= 0)
            ::close(fd);
        return false;
    }
    std::set<FolderId> skipped{{status.st_dev, status.st_ino}};
    struct stat skip {
    };
    if (!skipFolder.empty() && ::stat(skipFolder.c_str(), &skip) == 0)
        skipped.insert({skip.st_dev, skip.st_ino});
    TreeScan(files, std::move(skipped)).scan(fd, "");
    return true;
}

} // namespace tunevale
