#include "CliHarness.h"
#include "LibraryDatabase.h"
#include "MirrorLibrary.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace tunevale
{
namespace
{

namespace fs = std::filesystem;
using test::CliHarness;

// Every path under folder with its size, for proving that a dry run leaves a tree as it was (the
// harness's own captures of the program's output left out).
std::vector<std::string> treeOf(const fs::path& folder)
{
    std::vector<std::string> paths;
    if (fs::exists(folder))
        for (const auto& entry : fs::recursive_directory_iterator(folder))
            if (entry.path() != folder / "stdout" && entry.path() != folder / "stderr")
                paths.push_back(entry.path().string() + " " +
                                std::to_string(entry.is_regular_file() ? entry.file_size() : 0));
    std::sort(paths.begin(), paths.end());
    return paths;
}

TEST(SyncDryRun, PrintsThePlanAndWritesNothing)
{
    CliHarness cli;
    const auto source = cli.dir() / "music";
    fs::copy(test::generatedLibrary(), source, fs::copy_options::recursive);
    const auto dest = cli.dir() / "phone";
    const auto before = treeOf(cli.dir().path());
    const auto result = cli.run({"sync", "--dry-run", "-f", "mp3", "--copy", "*.jpg", source.string(), dest.string()});
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_NE(result.out.find("convert A Ünï: One?/Album 1/01 Intro 1.flac -> A Ünï_ One_/Album 1/01 Intro 1.mp3\n"),
              std::string::npos)
        << result.err;
    EXPECT_NE(result.out.find("copy Second \"Band\"/Disc <0>/cover.jpg -> Second _Band_/Disc _0_/cover.jpg\n"),
              std::string::npos);
    EXPECT_NE(result.out.find("24 convert, 0 retag, 0 move, 0 delete, 0 gone, 0 unchanged, 0 user-changed, "
                              "0 unreadable, 1 copy\n"),
              std::string::npos)
        << result.err;
    EXPECT_EQ(treeOf(cli.dir().path()), before);
    EXPECT_FALSE(fs::exists(dest));
}

TEST(SyncDryRun, ReadsTheMirrorsDatabaseAndRefusesADamagedOne)
{
    CliHarness cli;
    const auto source = cli.dir() / "music";
    fs::create_directories(source / "a");
    test::makeTone(source / "a/x.flac", 0.2, 44100, 2, {"-c:a", "flac"});
    const auto dest = cli.dir() / "mirror";
    fs::create_directories(dest / "a");
    test::writeFile(dest / "a/x.mp3", "made before");
    const auto databasePath = (dest / ".tunevale/library.sqlite").string();
    {
        std::string error;
        auto database = LibraryDatabase::open(databasePath, error);
        ASSERT_TRUE(database) << error;
        // A row made with other settings: the dry run plans a new conversion.
        database->putOutput({"a/x.flac", *fileStamp((source / "a/x.flac").string()), "id", "tags", "older settings",
                             "a/x.mp3", *fileStamp((dest / "a/x.mp3").string()), ""});
    }
    const auto before = treeOf(dest);
    const auto planned = cli.run({"sync", "--dry-run", "-f", "mp3", source.string(), dest.string()});
    EXPECT_EQ(planned.exitCode, 0) << planned.err;
    EXPECT_EQ(planned.out, "convert a/x.flac -> a/x.mp3\n1 convert, 0 retag, 0 move, 0 delete, 0 gone, 0 "
                           "unchanged, 0 user-changed, 0 unreadable, 0 copy\n")
        << planned.err;
    EXPECT_EQ(treeOf(dest), before);

    test::writeFile(databasePath, std::string(4096, 'z'));
    const auto damaged = cli.run({"sync", "--dry-run", source.string(), dest.string()});
    EXPECT_EQ(damaged.exitCode, 1);
    EXPECT_NE(damaged.err.find("is damaged or not a database"), std::string::npos) << damaged.err;
    EXPECT_EQ(test::readFile(databasePath), std::string(4096, 'z'));
}

TEST(SyncDryRun, RefusesWrongArgumentsClearly)
{
    CliHarness cli;
    const auto source = cli.dir() / "music";
    fs::create_directories(source);
    for (const auto& [arguments, reason] : std::vector<std::pair<std::vector<std::string>, std::string>>{
             {{"sync", "--dry-run", source.string()}, "expects SOURCE and DEST"},
             {{"sync", "--if-exists", "skip", source.string(), "dest"}, "Unknown option 'if-exists'"},
             {{"sync", "--keep-folders", source.string(), "dest"}, "Unknown option 'keep-folders'"},
             {{"sync", "--dry-run", "--name-pattern", "{artist", source.string(), "dest"}, "without its \"}\""},
             {{"sync", "--dry-run", "--name-pattern", "{band}", source.string(), "dest"}, "unknown field {band}"},
             {{"sync", "--dry-run", "-o", "x", source.string(), "dest"}, "Unknown option 'o'"}}) {
        const auto result = cli.run(arguments);
        EXPECT_EQ(result.exitCode, 2) << result.err;
        EXPECT_NE(result.err.find(reason), std::string::npos) << result.err;
    }
    const auto missing = cli.run({"sync", "--dry-run", (cli.dir() / "none").string(), "dest"});
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_NE(missing.err.find("cannot be read"), std::string::npos) << missing.err;
}

} // namespace
} // namespace tunevale
