#include "SelectionText.h"

#include <gtest/gtest.h>

namespace tunevale
{
namespace
{

using namespace std::string_literals;
using Paths = std::vector<std::string>;

TEST(SelectionText, OneFileIsItsFullPathAlone)
{
    EXPECT_EQ(selectionPaths("/music/a.mp3"), Paths{"/music/a.mp3"});
    EXPECT_EQ(selectionText({"/music/a.mp3"}), "/music/a.mp3");
}

TEST(SelectionText, SeveralFilesAreAFolderAndNamesInTheirOrder)
{
    EXPECT_EQ(selectionPaths("/music\0c.mp3\0a.mp3\0b.wav"s), (Paths{"/music/c.mp3", "/music/a.mp3", "/music/b.wav"}));
    EXPECT_EQ(selectionText({"/music/c.mp3", "/music/a.mp3"}), "/music\0c.mp3\0a.mp3"s);
}

TEST(SelectionText, FilesOfTheRootGetOneSeparator)
{
    EXPECT_EQ(selectionPaths("/\0a.mp3\0b.mp3"s), (Paths{"/a.mp3", "/b.mp3"}));
    EXPECT_EQ(selectionText({"/a.mp3", "/b.mp3"}), "/\0a.mp3\0b.mp3"s);
}

TEST(SelectionText, ThousandsOfFilesRoundTripWithoutLoss)
{
    Paths paths;
    for (int i = 0; i < 5000; ++i)
        paths.push_back("/home/user/A rather long folder name/track number " + std::to_string(i) + ".flac");
    const auto text = selectionText(paths);
    EXPECT_GT(text.size(), 100000u);
    EXPECT_EQ(selectionPaths(text), paths);
}

TEST(SelectionText, PathsInDifferentFoldersShareTheirCommonFolder)
{
    const Paths paths{"/music/x/a.mp3", "/music/y/b.mp3", "/music/c.mp3"};
    EXPECT_EQ(selectionText(paths), "/music\0x/a.mp3\0y/b.mp3\0c.mp3"s);
    EXPECT_EQ(selectionPaths(selectionText(paths)), paths);
    // "/musicbox" is not below "/music".
    const Paths siblings{"/music/a.mp3", "/musicbox/b.mp3"};
    EXPECT_EQ(selectionPaths(selectionText(siblings)), siblings);
}

TEST(SelectionText, NamesMayHoldAnyCharacterButNul)
{
    const Paths paths{"/m/a*b?.mp3", "/m/ c\"$`'.mp3 ", "/m/\xc3\xa9t\xc3\xa9.ogg"};
    EXPECT_EQ(selectionPaths(selectionText(paths)), paths);
}

TEST(SelectionText, RemovesTheDialogsClosingNulPairs)
{
    EXPECT_EQ(removeNulPairs("/music\0a.mp3\0b.mp3\0\0"s), "/music\0a.mp3\0b.mp3"s);
    EXPECT_EQ(removeNulPairs("/music/a.mp3\0\0"s), "/music/a.mp3");
    EXPECT_EQ(removeNulPairs("/a\0\0\0b"s), "/a\0b"s);
}

TEST(CleanSeparators, CollapsesEachPairOfSlashesOnce)
{
    auto path = "/music//a.mp3"s;
    cleanSeparators(path);
    EXPECT_EQ(path, "/music/a.mp3");
    path = "/music///a.mp3";
    cleanSeparators(path);
    EXPECT_EQ(path, "/music//a.mp3") << "pairs do not overlap";
    path = "/a////b.mp3";
    cleanSeparators(path);
    EXPECT_EQ(path, "/a//b.mp3");
    path = "/a/b.mp3";
    cleanSeparators(path);
    EXPECT_EQ(path, "/a/b.mp3");
}

TEST(CleanSeparators, LeavesALeadingDoubleSlashPathAsItIs)
{
    auto path = "//server/share//a.mp3"s;
    cleanSeparators(path);
    EXPECT_EQ(path, "//server/share//a.mp3");
}

} // namespace
} // namespace tunevale
