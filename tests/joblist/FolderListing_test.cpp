#include "FolderListing.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

namespace tunevale
{
namespace
{

using Names = std::vector<std::string>;

Names sorted(Names names)
{
    std::sort(names.begin(), names.end());
    return names;
}

TEST(ListFolderFiles, ListsFilesButNotFoldersOrLinksToFolders)
{
    test::TempDir dir;
    test::writeFile(dir / "a.mp3", "x");
    test::writeFile(dir / "b.wav", "x");
    test::writeFile(dir / "readme.txt", "x");
    test::writeFile(dir / ".hidden.ogg", "x");
    std::filesystem::create_directory(dir / "sub");
    test::writeFile(dir / "sub" / "c.mp3", "x");
    std::filesystem::create_directory_symlink(dir / "sub", dir / "linked.mp3");
    std::filesystem::create_symlink(dir / "a.mp3", dir / "alias.mp3");

    EXPECT_EQ(sorted(ListFolderFiles(dir.path().string())),
              (Names{".hidden.ogg", "a.mp3", "alias.mp3", "b.wav", "readme.txt"}));
    EXPECT_EQ(sorted(ListFolderFiles(dir.path().string() + "/")), sorted(ListFolderFiles(dir.path().string())));
}

TEST(ListFolderFiles, IsEmptyForFoldersWithoutFilesOrUnreadable)
{
    test::TempDir dir;
    EXPECT_TRUE(ListFolderFiles(dir.path().string()).empty());
    std::filesystem::create_directory(dir / "only");
    std::filesystem::create_directory(dir / "only" / "sub");
    EXPECT_TRUE(ListFolderFiles((dir / "only").string()).empty());
    EXPECT_TRUE(ListFolderFiles((dir / "missing").string()).empty());
    test::writeFile(dir / "file.mp3", "x");
    EXPECT_TRUE(ListFolderFiles((dir / "file.mp3").string()).empty());
}

TEST(ListFolderFiles, KeepsNamesWithOddCharacters)
{
    test::TempDir dir;
    const Names names{" lead.mp3", "a*b.mp3", "q?.wav", "new\nline.ogg", "\xc3\xa9t\xc3\xa9.flac"};
    for (const auto& name : names)
        test::writeFile(dir / name, "x");
    EXPECT_EQ(sorted(ListFolderFiles(dir.path().string())), sorted(names));
}

TEST(ListFolderFiles, SortsByNameIgnoringLetterCase)
{
    test::TempDir dir;
    // Created out of order: many file systems hand names back in creation or hash order.
    for (const char* name : {"Track 13.flac", "track 02.flac", "TRACK 20.flac", "Track 06.flac", "b.wav", "A.mp3",
                             "a.MP3", "_intro.ogg", "10 Ten.wav", "9 Nine.wav"})
        test::writeFile(dir / name, "x");
    EXPECT_EQ(ListFolderFiles(dir.path().string()),
              (Names{"10 Ten.wav", "9 Nine.wav", "_intro.ogg", "A.mp3", "a.MP3", "b.wav", "track 02.flac",
                     "Track 06.flac", "Track 13.flac", "TRACK 20.flac"}));
}

TEST(ListSubFolders, ListsFoldersAndLinksToThemInTheSameOrder)
{
    test::TempDir dir;
    std::filesystem::create_directory(dir / "beta");
    std::filesystem::create_directory(dir / "Alpha");
    std::filesystem::create_directory_symlink(dir / "beta", dir / "gamma");
    test::writeFile(dir / "file.mp3", "x");
    EXPECT_EQ(ListSubFolders(dir.path().string()), (Names{"Alpha", "beta", "gamma"}));
    EXPECT_TRUE(ListSubFolders((dir / "missing").string()).empty());
}

TEST(StripNulls, CutsBeforeTheFirstNulAndStoresTheResult)
{
    std::string text("abc\0def\0", 8);
    EXPECT_EQ(StripNulls(text), "abc");
    EXPECT_EQ(text, "abc");
    std::string plain = "plain";
    EXPECT_EQ(StripNulls(plain), "plain");
    std::string leading("\0x", 2);
    EXPECT_EQ(StripNulls(leading), "");
}

} // namespace
} // namespace tunevale
