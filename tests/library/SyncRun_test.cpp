#include "CliHarness.h"
#include "LibraryDatabase.h"
#include "LibraryLock.h"
#include "MirrorLibrary.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <map>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>

extern char** environ;

namespace tunevale
{
namespace
{

namespace fs = std::filesystem;
using test::CliHarness;

// A file of the mirror: its modification time and inode, which tell whether it was written again.
struct FileMark {
    std::int64_t mtimeNs = 0;
    ino_t inode = 0;
    bool operator==(const FileMark&) const = default;
};

// Every regular file under folder by its path relative to it, the mirror's state folder left out.
std::map<std::string, FileMark> filesIn(const fs::path& folder)
{
    std::map<std::string, FileMark> files;
    if (!fs::exists(folder))
        return files;
    for (auto it = fs::recursive_directory_iterator(folder); it != fs::recursive_directory_iterator(); ++it) {
        if (it->path().filename() == ".tunevale") {
            it.disable_recursion_pending();
            continue;
        }
        struct stat status {
        };
        if (it->is_regular_file() && ::stat(it->path().c_str(), &status) == 0)
            files[fs::relative(it->path(), folder).string()] = {
                status.st_mtim.tv_sec * 1'000'000'000LL + status.st_mtim.tv_nsec, status.st_ino};
    }
    return files;
}

std::vector<std::string> pathsOf(const std::map<std::string, FileMark>& files)
{
    std::vector<std::string> paths;
    for (const auto& [path, mark] : files)
        paths.push_back(path);
    return paths;
}

// The names FAT cards take: the characters they refuse become "_".
std::string fatSafe(std::string path)
{
    for (char& c : path)
        if (std::string_view("\\:*?\"<>|").find(c) != std::string_view::npos)
            c = '_';
    return path;
}

// The mirror a sync of the generated library makes: every track as MP3, cover.jpg copied.
std::vector<std::string> expectedMirror(const fs::path& source)
{
    std::vector<std::string> paths;
    for (const auto& entry : fs::recursive_directory_iterator(source)) {
        if (!entry.is_regular_file())
            continue;
        auto relative = fs::relative(entry.path(), source);
        if (relative.extension() == ".flac")
            relative.replace_extension(".mp3");
        paths.push_back(fatSafe(relative.string()));
    }
    std::sort(paths.begin(), paths.end());
    return paths;
}

// Re-tags a FLAC source in place, its audio kept.
void retitle(const fs::path& file, const std::string& title)
{
    const auto copy = file.parent_path() / "retagged.tmp.flac";
    test::ffmpeg({"-i", file.string(), "-map", "0", "-c", "copy", "-metadata", "title=" + title, copy.string()});
    fs::rename(copy, file);
}

std::vector<std::string> privateFoldersIn(const fs::path& folder)
{
    std::vector<std::string> found;
    for (const auto& entry : fs::recursive_directory_iterator(folder))
        if (entry.path().filename().string().starts_with(".tunevale-"))
            found.push_back(entry.path().string());
    return found;
}

class SyncRun : public ::testing::Test
{
protected:
    SyncRun()
    {
        fs::copy(test::generatedLibrary(), source, fs::copy_options::recursive);
        cli.useRecordingEncoders();
    }

    test::CliResult sync(std::vector<std::string> extra = {}) const
    {
        std::vector<std::string> arguments{"sync", "-f", "mp3", "--copy", "*.jpg"};
        arguments.insert(arguments.end(), extra.begin(), extra.end());
        arguments.push_back(source.string());
        arguments.push_back(dest.string());
        return cli.run(arguments);
    }

    std::size_t encoderStarts() const { return cli.calls("lame").size(); }

    CliHarness cli;
    const fs::path source = cli.dir() / "music";
    const fs::path dest = cli.dir() / "phone";
};

TEST_F(SyncRun, FirstSyncMirrorsTheTreeAndTheSecondDoesNothing)
{
    const auto first = sync();
    ASSERT_EQ(first.exitCode, 0) << first.out << first.err;
    EXPECT_EQ(first.err, "");
    const auto mirrored = filesIn(dest);
    EXPECT_EQ(pathsOf(mirrored), expectedMirror(source));
    EXPECT_EQ(encoderStarts(), 24u);
    // The tags came along, and the two albums with the same track names kept apart.
    EXPECT_EQ(test::ffprobe(dest / "A Ünï_ One_/Album 2/03 Intro 3.mp3", "format_tags=title"), "Intro 3");
    EXPECT_EQ(test::ffprobe(dest / "Second _Band_/Disc _1_/02 Song_112.mp3", "format_tags=title"), "Song|112");
    EXPECT_EQ(test::ffprobe(dest / "三番目/Disc _0_/04 Song_204.mp3", "format_tags=artist"), "三番目");
    EXPECT_EQ(test::readFile(dest / "Second _Band_/Disc _0_/cover.jpg"),
              test::readFile(source / "Second \"Band\"/Disc <0>/cover.jpg"));

    const auto second = sync();
    EXPECT_EQ(second.exitCode, 0) << second.err;
    EXPECT_EQ(second.out, "");
    EXPECT_EQ(filesIn(dest), mirrored);
    EXPECT_EQ(encoderStarts(), 24u);
}

TEST_F(SyncRun, RetaggedSourcesOnlyRetagTheirOutputs)
{
    ASSERT_EQ(sync().exitCode, 0);
    const auto before = filesIn(dest);
    retitle(source / "三番目/Disc <1>/01 Song|211.flac", "Renamed One");
    retitle(source / "A Ünï: One?/Album 1/02 Intro 2.flac", "Renamed Two");

    const auto result = sync({"--json"});
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(test::lines(result.out).size(), 2u) << result.out;
    EXPECT_NE(result.out.find("\"action\":\"retag\""), std::string::npos) << result.out;
    EXPECT_EQ(encoderStarts(), 24u);
    const auto after = filesIn(dest);
    ASSERT_EQ(pathsOf(after), pathsOf(before));
    for (const auto& [path, mark] : after) {
        const bool retagged = path == "三番目/Disc _1_/01 Song_211.mp3" || path == "A Ünï_ One_/Album 1/02 Intro 2.mp3";
        EXPECT_EQ(mark == before.at(path), !retagged) << path;
    }
    EXPECT_EQ(test::ffprobe(dest / "三番目/Disc _1_/01 Song_211.mp3", "format_tags=title"), "Renamed One");
    EXPECT_EQ(test::ffprobe(dest / "A Ünï_ One_/Album 1/02 Intro 2.mp3", "format_tags=title"), "Renamed Two");
    EXPECT_EQ(sync().out, "");
}

TEST_F(SyncRun, OutputsMadeWithoutTagsGetNoneWhenTheirSourcesAreRetagged)
{
    ASSERT_EQ(sync({"--no-tags"}).exitCode, 0);
    const auto output = dest / "三番目/Disc _1_/01 Song_211.mp3";
    EXPECT_EQ(test::ffprobe(output, "format_tags=title"), "");
    const auto before = filesIn(dest);
    retitle(source / "三番目/Disc <1>/01 Song|211.flac", "Renamed");
    EXPECT_EQ(sync({"--no-tags"}).exitCode, 0);
    EXPECT_EQ(filesIn(dest), before);
    EXPECT_EQ(test::ffprobe(output, "format_tags=title"), "");
    EXPECT_EQ(sync({"--no-tags"}).out, "");
}

TEST_F(SyncRun, MovedAlbumMovesItsOutputsWithoutEncoding)
{
    ASSERT_EQ(sync().exitCode, 0);
    const auto before = filesIn(dest);
    fs::create_directories(source / "Moved");
    fs::rename(source / "Second \"Band\"/Disc <0>", source / "Moved/Disc <0>");

    const auto result = sync();
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(encoderStarts(), 24u) << result.out;
    const auto after = filesIn(dest);
    EXPECT_EQ(pathsOf(after), expectedMirror(source));
    // The very files moved: the same inodes under their new names.
    EXPECT_EQ(after.at("Moved/Disc _0_/01 Song_101.mp3"), before.at("Second _Band_/Disc _0_/01 Song_101.mp3"));
    EXPECT_FALSE(fs::exists(dest / "Second _Band_/Disc _0_"));
    EXPECT_EQ(sync().out, "");
}

TEST_F(SyncRun, GoneSourcesAreListedAndDeleteRemovesOnlyTheMirrorsOwnFiles)
{
    ASSERT_EQ(sync().exitCode, 0);
    test::writeFile(dest / "A Ünï_ One_/Album 1/my notes.txt", "mine");
    fs::remove(source / "A Ünï: One?/Album 1/01 Intro 1.flac");

    const auto listed = sync();
    EXPECT_EQ(listed.exitCode, 0) << listed.err;
    EXPECT_NE(listed.out.find("Kept\tgone\tA Ünï: One?/Album 1/01 Intro 1.flac"), std::string::npos) << listed.out;
    EXPECT_TRUE(fs::exists(dest / "A Ünï_ One_/Album 1/01 Intro 1.mp3"));

    const auto deleted = sync({"--delete"});
    EXPECT_EQ(deleted.exitCode, 0) << deleted.err;
    EXPECT_FALSE(fs::exists(dest / "A Ünï_ One_/Album 1/01 Intro 1.mp3"));
    EXPECT_TRUE(fs::exists(dest / "A Ünï_ One_/Album 1/my notes.txt"));
    auto expected = expectedMirror(source);
    expected.push_back("A Ünï_ One_/Album 1/my notes.txt");
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(pathsOf(filesIn(dest)), expected);
}

TEST_F(SyncRun, OutputsTheUserChangedAreLeftAndDeletedOnesMadeAgain)
{
    ASSERT_EQ(sync().exitCode, 0);
    const auto changed = dest / "三番目/Disc _0_/01 Song_201.mp3";
    test::writeFile(changed, "edited by hand");
    fs::remove(dest / "三番目/Disc _0_/02 Song_202.mp3");

    const auto result = sync();
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_NE(result.out.find("Kept\tuser-changed\t三番目/Disc <0>/01 Song|201.flac"), std::string::npos) << result.out;
    EXPECT_EQ(test::readFile(changed), "edited by hand");
    EXPECT_EQ(test::ffprobe(dest / "三番目/Disc _0_/02 Song_202.mp3", "format_tags=title"), "Song|202");
    EXPECT_EQ(encoderStarts(), 25u);

    EXPECT_EQ(sync({"--force"}).exitCode, 0);
    EXPECT_EQ(test::ffprobe(changed, "format_tags=title"), "Song|201");
    EXPECT_EQ(sync().out, "");
}

TEST_F(SyncRun, ADamagedDatabaseIsReportedAndNothingIsWritten)
{
    ASSERT_EQ(sync().exitCode, 0);
    const auto database = dest / ".tunevale/library.sqlite";
    const std::string damaged = "SQLite format 3" + std::string(4081, 'x');
    test::writeFile(database, damaged);
    fs::remove(dest / "三番目/Disc _0_/02 Song_202.mp3");
    const auto before = filesIn(dest);

    const auto result = sync();
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_NE(result.err.find("library.sqlite"), std::string::npos) << result.err;
    EXPECT_EQ(test::readFile(database), damaged);
    EXPECT_EQ(filesIn(dest), before);
}

TEST_F(SyncRun, ASecondSyncIntoTheSameMirrorRefuses)
{
    std::string error;
    const auto held = LibraryLock::acquire((dest / ".tunevale").string(), error);
    ASSERT_TRUE(held) << error;
    const auto result = sync();
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_NE(result.err.find("Another sync is writing into"), std::string::npos) << result.err;
    EXPECT_EQ(filesIn(dest).size(), 0u);
    EXPECT_EQ(encoderStarts(), 0u);
}

// Starts a sync with standard output into a file; its process id.
pid_t startSync(const std::vector<std::string>& arguments, const fs::path& out)
{
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    std::vector<std::string> argv{CliHarness::program()};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    std::vector<char*> args;
    for (auto& argument : argv)
        args.push_back(argument.data());
    args.push_back(nullptr);
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    return spawned == 0 ? pid : -1;
}

TEST_F(SyncRun, AKilledSyncIsFinishedByTheNextOne)
{
    ASSERT_EQ(sync().exitCode, 0);
    const auto reference = pathsOf(filesIn(dest));
    // Points to kill at: before anything is done, after a few outputs, near the end; and while
    // retagging and moving a second time round.
    for (const std::size_t linesDone : {0u, 1u, 7u, 20u, 24u}) {
        SCOPED_TRACE("killed after " + std::to_string(linesDone) + " lines");
        fs::remove_all(dest);
        const auto out = cli.dir() / "killed.out";
        const pid_t pid =
            startSync({"sync", "-f", "mp3", "-j", "2", "--copy", "*.jpg", source.string(), dest.string()}, out);
        ASSERT_GT(pid, 0);
        test::eventually([&] { return test::lines(test::readFile(out)).size() >= linesDone; }, 60000, 2);
        ::kill(pid, SIGKILL);
        int status = 0;
        ::waitpid(pid, &status, 0);

        const auto resumed = sync();
        EXPECT_EQ(resumed.exitCode, 0) << resumed.out << resumed.err;
        EXPECT_EQ(pathsOf(filesIn(dest)), reference);
        EXPECT_EQ(privateFoldersIn(dest), std::vector<std::string>{});
        EXPECT_EQ(sync().out, "");
    }
}

TEST_F(SyncRun, CtrlCStopsBetweenFilesAndTheNextSyncGoesOn)
{
    const auto out = cli.dir() / "stopped.out";
    const pid_t pid = startSync({"sync", "-f", "mp3", "-j", "1", source.string(), dest.string()}, out);
    ASSERT_GT(pid, 0);
    test::eventually([&] { return test::lines(test::readFile(out)).size() >= 2; }, 60000, 2);
    ::kill(pid, SIGINT);
    int status = 0;
    ::waitpid(pid, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 130);
    EXPECT_LT(filesIn(dest).size(), 24u);
    EXPECT_EQ(privateFoldersIn(dest), std::vector<std::string>{});

    const auto resumed = cli.run({"sync", "-f", "mp3", source.string(), dest.string()});
    EXPECT_EQ(resumed.exitCode, 0) << resumed.err;
    EXPECT_EQ(filesIn(dest).size(), 24u);
    // Only what the stop left undone was converted again; a job it cancelled may have begun encoding.
    const auto completed = [](const std::string& printed) {
        const auto all = test::lines(printed);
        return std::count_if(all.begin(), all.end(),
                             [](const std::string& line) { return line.starts_with("Complete\tconvert\t"); });
    };
    EXPECT_EQ(completed(test::readFile(out)) + completed(resumed.out), 24);
    EXPECT_LE(encoderStarts(), 25u);
}

TEST_F(SyncRun, AMissingSourceLeavesTheDestinationUntouched)
{
    const auto result = cli.run({"sync", "-f", "mp3", (cli.dir() / "nowhere").string(), dest.string()});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_NE(result.err.find("cannot be read"), std::string::npos) << result.err;
    EXPECT_FALSE(fs::exists(dest));
}

TEST_F(SyncRun, AKilledRetagIsFinishedByTheNextSync)
{
    ASSERT_EQ(sync().exitCode, 0);
    const auto reference = pathsOf(filesIn(dest));
    for (const auto& entry : fs::recursive_directory_iterator(source))
        if (entry.path().extension() == ".flac")
            retitle(entry.path(), "Retitled " + entry.path().stem().string());
    const auto out = cli.dir() / "killed.out";
    const pid_t pid = startSync({"sync", "-f", "mp3", "--copy", "*.jpg", source.string(), dest.string()}, out);
    ASSERT_GT(pid, 0);
    test::eventually([&] { return test::lines(test::readFile(out)).size() >= 5; }, 60000, 1);
    ::kill(pid, SIGKILL);
    int status = 0;
    ::waitpid(pid, &status, 0);

    const auto resumed = sync();
    EXPECT_EQ(resumed.exitCode, 0) << resumed.err;
    EXPECT_EQ(pathsOf(filesIn(dest)), reference);
    EXPECT_EQ(privateFoldersIn(dest), std::vector<std::string>{});
    EXPECT_EQ(encoderStarts(), 24u);
    EXPECT_EQ(test::ffprobe(dest / "三番目/Disc _1_/04 Song_214.mp3", "format_tags=title"), "Retitled 04 Song|214");
    EXPECT_EQ(sync().out, "");
}

} // namespace
} // namespace tunevale
