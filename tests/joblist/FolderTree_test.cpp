#include "FolderTree.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>

#include <sys/fsuid.h>
#include <unistd.h>

namespace tunevale
{
namespace
{

namespace fs = std::filesystem;
using Names = std::vector<std::string>;

// While alive, file access is checked as an ordinary user's even when the tests run as root, so
// that a folder without permissions is really unreadable.
class OrdinaryUserAccess
{
public:
    OrdinaryUserAccess()
    {
        if (::geteuid() == 0) {
            ::setfsgid(65534);
            ::setfsuid(65534);
        }
    }
    ~OrdinaryUserAccess()
    {
        if (::geteuid() == 0) {
            ::setfsuid(0);
            ::setfsgid(0);
        }
    }
};

void touch(const fs::path& file)
{
    fs::create_directories(file.parent_path());
    test::writeFile(file, "x");
}

TEST(FolderTree, ListsOwnFilesFirstThenSubFoldersDepthFirstInNameOrder)
{
    test::TempDir dir;
    touch(dir / "z.flac");
    touch(dir / "A.flac");
    touch(dir / "b" / "2.flac");
    touch(dir / "b" / "1.flac");
    touch(dir / "b" / "inner" / "deep.flac");
    touch(dir / "C" / "c.flac");
    fs::create_directories(dir / "empty" / "emptier");

    EXPECT_EQ(listFolderTree(dir.path().string(), true).files,
              (Names{"A.flac", "z.flac", "b/1.flac", "b/2.flac", "b/inner/deep.flac", "C/c.flac"}));
    EXPECT_EQ(listFolderTree(dir.path().string(), false).files, (Names{"A.flac", "z.flac"}));
}

TEST(FolderTree, FollowsLinksToFoldersOnceAndNeverLoops)
{
    test::TempDir dir;
    touch(dir / "album" / "01.flac");
    fs::create_directory_symlink(dir.path(), dir / "album" / "back to top");
    fs::create_directory_symlink(dir / "album", dir / "same album");
    touch(dir / "elsewhere" / "e.flac");
    fs::create_directory_symlink(dir / "elsewhere", dir / "album" / "link");

    const auto tree = listFolderTree(dir.path().string(), true);
    EXPECT_EQ(tree.files, (Names{"album/01.flac", "album/link/e.flac"}));
    EXPECT_TRUE(tree.unreadable.empty());
}

TEST(FolderTree, SkipsUnreadableSubFoldersAndNamesThem)
{
    test::TempDir dir;
    fs::permissions(dir.path(), fs::perms::owner_all | fs::perms::others_read | fs::perms::others_exec);
    touch(dir / "a.flac");
    touch(dir / "locked" / "hidden.flac");
    touch(dir / "open" / "b.flac");
    for (const auto& folder : {dir.path(), dir / "open"})
        fs::permissions(folder, fs::perms::others_read | fs::perms::others_exec, fs::perm_options::add);
    fs::permissions(dir / "locked", fs::perms::owner_all);

    FolderTree tree;
    {
        const OrdinaryUserAccess access;
        tree = listFolderTree(dir.path().string(), true);
    }
    EXPECT_EQ(tree.files, (Names{"a.flac", "open/b.flac"}));
    EXPECT_EQ(tree.unreadable, (Names{(dir / "locked").string()}));
}

TEST(FolderTree, IsEmptyForAMissingFolder)
{
    test::TempDir dir;
    const auto tree = listFolderTree((dir / "missing").string(), true);
    EXPECT_TRUE(tree.files.empty());
    EXPECT_TRUE(tree.unreadable.empty());
}

} // namespace
} // namespace tunevale
