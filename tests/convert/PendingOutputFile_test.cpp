#include "OutputNameBook.h"
#include "PendingOutputFile.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace tunevale;
using namespace tunevale::test;

namespace
{

PendingOutputFile pending(const std::filesystem::path& folder, const std::string& extension = "mp3")
{
    std::string error;
    PendingOutputFile output = PendingOutputFile::create(folder.string(), extension, error);
    EXPECT_TRUE(output.valid()) << error;
    return output;
}

void write(const PendingOutputFile& output, const std::string& bytes)
{
    ASSERT_EQ(::write(output.fd(), bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
}

// A process that makes a pending output in folder and is killed before it can remove it.
void killedWhileWriting(const std::filesystem::path& folder)
{
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        std::string error;
        PendingOutputFile output = PendingOutputFile::create(folder.string(), "ogg", error);
        ::write(output.fd(), "partial", 7);
        ::raise(SIGKILL);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status));
}

} // namespace

TEST(PendingOutputFile, IsWrittenInAPrivateFolderAndPlacedOnlyUnderAFreeName)
{
    TempDir dir;
    PendingOutputFile output = pending(dir.path());
    // Nothing lies under any final name while the job runs: only the hidden private folder.
    const auto names = namesIn(dir.path());
    ASSERT_EQ(names.size(), 1u);
    EXPECT_TRUE(names[0].starts_with(".tunevale-")) << names[0];
    struct stat folder;
    ASSERT_EQ(::lstat((dir / names[0]).c_str(), &folder), 0);
    EXPECT_TRUE(S_ISDIR(folder.st_mode));
    EXPECT_EQ(folder.st_mode & 0777, 0700u);
    EXPECT_EQ(output.fileName(), ".partial.mp3");
    EXPECT_EQ(output.shownPath(), (dir / names[0] / ".partial.mp3").string());
    EXPECT_EQ(output.size(), 0u);

    write(output, "audio");
    EXPECT_EQ(output.size(), 5u);
    EXPECT_EQ(readFile(output.pathInProcess()), "audio");

    // Names held by a file, a folder, a link to another file or a dangling link are never replaced
    // or followed.
    writeFile(dir / "victim", "the victim's");
    writeFile(dir / "file.mp3", "keep");
    std::filesystem::create_directory(dir / "folder.mp3");
    std::filesystem::create_symlink(dir / "victim", dir / "link.mp3");
    std::filesystem::create_symlink(dir / "nowhere", dir / "dangling.mp3");
    std::string error;
    for (const std::string taken : {"file.mp3", "folder.mp3", "link.mp3", "dangling.mp3"})
        EXPECT_EQ(output.placeAs(taken, error), PendingOutputFile::Placement::NameTaken) << taken;
    EXPECT_EQ(readFile(dir / "victim"), "the victim's");
    EXPECT_EQ(readFile(dir / "file.mp3"), "keep");
    EXPECT_FALSE(std::filesystem::exists(dir / "nowhere"));

    ASSERT_TRUE(output.flush(error)) << error;
    ASSERT_EQ(output.placeAs("song.mp3", error), PendingOutputFile::Placement::Placed) << error;
    EXPECT_EQ(readFile(dir / "song.mp3"), "audio");
    EXPECT_FALSE(output.valid());
    EXPECT_EQ(namesIn(dir.path()),
              (std::vector<std::string>{"dangling.mp3", "file.mp3", "folder.mp3", "link.mp3", "song.mp3", "victim"}));
}

TEST(PendingOutputFile, ADiscardedOutputLeavesNothing)
{
    TempDir dir;
    {
        PendingOutputFile dropped = pending(dir.path());
        write(dropped, "partial");
    }
    PendingOutputFile discarded = pending(dir / "made" / "deeper");
    write(discarded, "partial");
    discarded.discard();
    EXPECT_EQ(namesIn(dir.path()), std::vector<std::string>{"made"});
    EXPECT_TRUE(std::filesystem::is_empty(dir / "made" / "deeper"));

    // Where no folder can be made there is no pending output, and the reason says so.
    writeFile(dir / "a file", "");
    std::string error;
    EXPECT_FALSE(PendingOutputFile::create((dir / "a file").string(), "wav", error).valid());
    EXPECT_NE(error.find("cannot be opened"), std::string::npos) << error;
}

TEST(PendingOutputFile, LeftoversOfKilledRunsAreRemovedButNothingInUse)
{
    TempDir dir;
    killedWhileWriting(dir.path());
    killedWhileWriting(dir.path());
    ASSERT_EQ(namesIn(dir.path()).size(), 2u);

    PendingOutputFile live = pending(dir.path());
    write(live, "still being written");
    // A folder that its maker left before it could take its lock.
    std::filesystem::create_directory(dir / ".tunevale-abc123");
    // What the user keeps under such names is never taken for a leftover.
    std::filesystem::create_directory(dir / "Album");
    writeFile(dir / ".tunevale-notes", "a file of the user's with the prefix");
    std::filesystem::create_directory(dir / ".tunevale-backup");
    writeFile(dir / ".tunevale-backup" / "song.flac", "the user's");
    std::filesystem::create_directory(dir / ".tunevale-xyz789");
    writeFile(dir / ".tunevale-xyz789" / "photo.jpg", "the user's");
    writeFile(dir / ".tunevale-xyz789" / ".partial.mp3", "the user's");

    EXPECT_EQ(removeLeftoverOutputs(dir.path().string()), 3u);
    auto names = namesIn(dir.path());
    for (const char* kept : {"Album", ".tunevale-notes", ".tunevale-backup", ".tunevale-xyz789"}) {
        EXPECT_EQ(std::erase(names, kept), 1u) << kept;
    }
    EXPECT_EQ(readFile(dir / ".tunevale-backup" / "song.flac"), "the user's");
    EXPECT_EQ(readFile(dir / ".tunevale-xyz789" / "photo.jpg"), "the user's");
    ASSERT_EQ(names.size(), 1u) << "the live one";
    EXPECT_TRUE(std::filesystem::exists(dir / names[0] / ".partial.mp3"));
    EXPECT_EQ(readFile(live.pathInProcess()), "still being written");
    EXPECT_EQ(removeLeftoverOutputs(dir.path().string()), 0u);
}

TEST(PendingOutputFile, LeftoversOfAnotherUserAreLeftAlone)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root to make a folder owned by another user";
    TempDir dir;
    killedWhileWriting(dir.path());
    const auto theirs = dir / namesIn(dir.path()).at(0);
    for (const auto& entry : std::filesystem::recursive_directory_iterator(theirs))
        ASSERT_EQ(::lchown(entry.path().c_str(), 65534, 65534), 0);
    ASSERT_EQ(::lchown(theirs.c_str(), 65534, 65534), 0);
    EXPECT_EQ(removeLeftoverOutputs(dir.path().string()), 0u);
    EXPECT_TRUE(std::filesystem::exists(theirs / ".partial.ogg"));
}

TEST(OutputNameBook, GivesTheNamesOfAOneAtATimeRun)
{
    TempDir dir;
    const std::string folder = dir.path().string();
    OutputNameBook book;
    // Held names and anything on the disk are passed over: a file, a folder, a dangling link.
    EXPECT_EQ(book.reserve(folder, "/music/a.flac", "mp3"), folder + "/a.mp3");
    EXPECT_EQ(book.reserve(folder, "/other/a.wav", "mp3"), folder + "/a_Converted.mp3");
    writeFile(dir / "a_Converted_0.mp3", "");
    std::filesystem::create_directory(dir / "a_Converted_1.mp3");
    std::filesystem::create_symlink(dir / "nowhere", dir / "a_Converted_2.mp3");
    EXPECT_EQ(book.reserve(folder, "/music/a.ogg", "mp3"), folder + "/a_Converted_3.mp3");
    // Nothing was made on the disk for the names held.
    EXPECT_FALSE(std::filesystem::exists(dir / "a.mp3"));
    EXPECT_FALSE(std::filesystem::exists(dir / "nowhere"));

    // A name given back is the next job's, as the file a failed job removed would be.
    book.release(folder + "/a.mp3");
    EXPECT_EQ(book.reserve(folder, "/music/a.flac", "mp3"), folder + "/a.mp3");
    EXPECT_EQ(book.reserve(folder, "/music/b.flac", "mp3"), folder + "/b.mp3");
}
