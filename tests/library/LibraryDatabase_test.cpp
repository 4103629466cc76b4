#include "LibraryDatabase.h"
#include "LibraryLock.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <thread>

namespace tunevale
{
namespace
{

using test::TempDir;

OutputRecord sampleOutput(const std::string& source)
{
    return {source,
            {1234, 1'700'000'000'123'456'789LL},
            "flac-md5:00ff",
            "tagshash",
            "mp3 cbr 192",
            "Artist/Album/" + source + ".mp3",
            {999, 1'700'000'001'000'000'001LL},
            "",
            0.0};
}

std::unique_ptr<LibraryDatabase> openOk(const std::string& path)
{
    std::string error;
    auto database = LibraryDatabase::open(path, error);
    EXPECT_TRUE(database) << error;
    return database;
}

TEST(LibraryDatabase, KeepsRowsAcrossOpenings)
{
    TempDir dir;
    const auto path = (dir / ".tunevale/library.sqlite").string();
    auto withLoudness = sampleOutput("b/ünï ☃.flac");
    withLoudness.loudness = "I=-14.2;LRA=5.1";
    const CopyRecord cover{"b/cover.jpg", {10, 20}, "Artist/Album/cover.jpg", {10, 30}};
    {
        auto database = openOk(path);
        ASSERT_TRUE(database);
        LibraryDatabase::Transaction transaction(*database);
        ASSERT_TRUE(transaction.active());
        EXPECT_TRUE(database->putOutput(sampleOutput("a.flac")));
        EXPECT_TRUE(database->putOutput(withLoudness));
        EXPECT_TRUE(database->putCopy(cover));
        EXPECT_TRUE(transaction.commit());
    }
    auto database = openOk(path);
    ASSERT_TRUE(database);
    EXPECT_EQ(database->outputs(), (std::vector<OutputRecord>{sampleOutput("a.flac"), withLoudness}));
    EXPECT_EQ(database->copies(), std::vector<CopyRecord>{cover});

    auto changed = sampleOutput("a.flac");
    changed.tagsHash = "other";
    EXPECT_TRUE(database->putOutput(changed));
    EXPECT_TRUE(database->removeOutput("b/ünï ☃.flac"));
    EXPECT_TRUE(database->removeCopy("b/cover.jpg"));
    EXPECT_EQ(database->outputs(), std::vector<OutputRecord>{changed});
    EXPECT_EQ(database->copies(), std::vector<CopyRecord>{});
}

TEST(LibraryDatabase, TransactionWithoutCommitStoresNothing)
{
    TempDir dir;
    const auto path = (dir / "library.sqlite").string();
    auto database = openOk(path);
    ASSERT_TRUE(database);
    {
        LibraryDatabase::Transaction transaction(*database);
        EXPECT_TRUE(database->putOutput(sampleOutput("a.flac")));
        EXPECT_TRUE(database->putOutput(sampleOutput("b.flac")));
    }
    EXPECT_EQ(database->outputs(), std::vector<OutputRecord>{});
    database.reset();
    EXPECT_EQ(openOk(path)->outputs(), std::vector<OutputRecord>{});
}

TEST(LibraryDatabase, TwoRowsCannotClaimOneOutput)
{
    TempDir dir;
    auto database = openOk((dir / "library.sqlite").string());
    ASSERT_TRUE(database);
    EXPECT_TRUE(database->putOutput(sampleOutput("a.flac")));
    auto other = sampleOutput("b.flac");
    other.output = sampleOutput("a.flac").output;
    // REPLACE gives the output to the new row: a moved source takes over its output's row.
    EXPECT_TRUE(database->putOutput(other));
    EXPECT_EQ(database->outputs(), std::vector<OutputRecord>{other});
}

// Opening must fail with a message and leave the file byte for byte as it was.
void expectRefused(const std::filesystem::path& file, const std::string& expectedWords)
{
    const auto before = test::readFile(file);
    std::string error;
    EXPECT_FALSE(LibraryDatabase::open(file.string(), error));
    EXPECT_NE(error.find(expectedWords), std::string::npos) << error;
    EXPECT_NE(error.find(file.string()), std::string::npos) << error;
    EXPECT_EQ(test::readFile(file), before);
    EXPECT_FALSE(std::filesystem::exists(file.string() + "-journal"));
}

TEST(LibraryDatabase, RefusesDamagedAndForeignFilesWithoutWriting)
{
    TempDir dir;
    const auto garbage = dir / "garbage.sqlite";
    test::writeFile(garbage, std::string(8192, 'x'));
    expectRefused(garbage, "damaged");

    const auto ours = dir / "ours.sqlite";
    {
        auto database = openOk(ours.string());
        LibraryDatabase::Transaction transaction(*database);
        for (int i = 0; i < 200; ++i)
            database->putOutput(sampleOutput("track" + std::to_string(i) + ".flac"));
        transaction.commit();
    }
    // Past the header: the file still names its schema, but its pages are broken.
    auto bytes = test::readFile(ours);
    ASSERT_GT(bytes.size(), 8192u);
    for (std::size_t i = 4096; i < bytes.size(); i += 7)
        bytes[i] = static_cast<char>(bytes[i] ^ 0x5a);
    const auto broken = dir / "broken.sqlite";
    test::writeFile(broken, bytes);
    expectRefused(broken, "damaged");

    const auto foreign = dir / "foreign.sqlite";
    ASSERT_EQ(test::runProgram({"sqlite3", foreign.string(), "CREATE TABLE songs (name TEXT);"}).exitCode, 0);
    expectRefused(foreign, "another program");

    const auto otherSchema = dir / "other.sqlite";
    ASSERT_EQ(test::runProgram({"sqlite3", otherSchema.string(),
                                "CREATE TABLE library_meta (key TEXT PRIMARY KEY, value TEXT NOT NULL);"
                                "INSERT INTO library_meta VALUES ('schema', 'beets');"})
                  .exitCode,
              0);
    expectRefused(otherSchema, "another program");

    const auto newer = dir / "newer.sqlite";
    openOk(newer.string());
    ASSERT_EQ(
        test::runProgram({"sqlite3", newer.string(), "UPDATE library_meta SET value = '99' WHERE key = 'version'"})
            .exitCode,
        0);
    expectRefused(newer, "version 99");
}

// The schema of version 1 as it was written, with one row: it kept loudness but no applied gain.
std::filesystem::path makeVersionOne(const std::filesystem::path& path)
{
    const auto made = test::runProgram(
        {"sqlite3", path.string(),
         "CREATE TABLE library_meta (key TEXT PRIMARY KEY, value TEXT NOT NULL);"
         "CREATE TABLE outputs (source TEXT PRIMARY KEY, source_size INTEGER NOT NULL, source_mtime_ns INTEGER NOT "
         "NULL,"
         " audio_identity TEXT NOT NULL, tags_hash TEXT NOT NULL, settings TEXT NOT NULL,"
         " output TEXT NOT NULL UNIQUE, output_size INTEGER NOT NULL, output_mtime_ns INTEGER NOT NULL,"
         " loudness TEXT NOT NULL DEFAULT '');"
         "CREATE TABLE copies (source TEXT PRIMARY KEY, source_size INTEGER NOT NULL, source_mtime_ns INTEGER NOT NULL,"
         " output TEXT NOT NULL UNIQUE, output_size INTEGER NOT NULL, output_mtime_ns INTEGER NOT NULL);"
         "INSERT INTO library_meta VALUES ('schema', 'tunevale-library'), ('version', '1');"
         "INSERT INTO outputs VALUES ('a.flac', 1234, 1700000000123456789, 'flac-md5:00ff', 'tagshash',"
         " 'mp3 cbr 192', 'Artist/Album/a.flac.mp3', 999, 1700000001000000001, 'tl1 true 0.5 m s');"});
    EXPECT_EQ(made.exitCode, 0) << made.output;
    return path;
}

TEST(LibraryDatabase, AVersionOneFileIsReadAsItIsAndBroughtUpWhenWritten)
{
    TempDir dir;
    const auto path = makeVersionOne(dir / "library.sqlite");
    auto expected = sampleOutput("a.flac");
    expected.loudness = "tl1 true 0.5 m s";
    const std::string before = test::readFile(path);
    {
        std::string error;
        auto reader = LibraryDatabase::open(path.string(), error, LibraryDatabase::Access::Read);
        ASSERT_TRUE(reader) << error;
        EXPECT_EQ(reader->outputs(), std::vector<OutputRecord>{expected});
    }
    EXPECT_EQ(test::readFile(path), before);

    {
        auto database = openOk(path.string());
        ASSERT_TRUE(database);
        EXPECT_EQ(database->outputs(), std::vector<OutputRecord>{expected});
        expected.appliedGain = -4.25;
        EXPECT_TRUE(database->putOutput(expected));
    }
    auto database = openOk(path.string());
    ASSERT_TRUE(database);
    EXPECT_EQ(database->outputs(), std::vector<OutputRecord>{expected});
    EXPECT_EQ(
        test::runProgram({"sqlite3", path.string(), "SELECT value FROM library_meta WHERE key = 'version'"}).output,
        "2\n");
}

// A version 1 file whose migration fails (here: it has the new column already) is refused, and
// the failed migration leaves it at its version with its rows.
TEST(LibraryDatabase, AVersionOneFileThatCannotBeBroughtUpIsLeftAsItIs)
{
    TempDir dir;
    const auto path = makeVersionOne(dir / "library.sqlite");
    ASSERT_EQ(test::runProgram({"sqlite3", path.string(), "ALTER TABLE outputs ADD COLUMN applied_gain REAL"}).exitCode,
              0);
    const std::string before = test::readFile(path);
    std::string error;
    EXPECT_FALSE(LibraryDatabase::open(path.string(), error));
    EXPECT_NE(error.find("could not be brought up to version 2"), std::string::npos) << error;
    EXPECT_EQ(test::readFile(path), before);
}

TEST(LibraryDatabase, AnEmptyFileLeftByAnInterruptedStartIsSetUp)
{
    TempDir dir;
    const auto path = dir / "library.sqlite";
    test::writeFile(path, "");
    auto database = openOk(path.string());
    ASSERT_TRUE(database);
    EXPECT_TRUE(database->putOutput(sampleOutput("a.flac")));
}

TEST(LibraryLock, ASecondProcessIsRefusedWhileTheLockIsHeld)
{
    TempDir dir;
    const auto state = (dir / ".tunevale").string();
    std::string error;
    auto lock = LibraryLock::acquire(state, error);
    ASSERT_TRUE(lock) << error;
    // flock(1) is another process asking for the same lock without waiting.
    EXPECT_EQ(test::runProgram({"flock", "--nonblock", "--conflict-exit-code", "7", state + "/lock", "true"}).exitCode,
              7);
    EXPECT_FALSE(LibraryLock::acquire(state, error));
    EXPECT_NE(error.find("Another sync"), std::string::npos) << error;
    lock.reset();
    EXPECT_EQ(test::runProgram({"flock", "--nonblock", state + "/lock", "true"}).exitCode, 0);
    EXPECT_TRUE(LibraryLock::acquire(state, error)) << error;
}

TEST(LibraryLock, IsRefusedWhileAnotherProcessHoldsIt)
{
    TempDir dir;
    const auto state = (dir / ".tunevale").string();
    std::filesystem::create_directories(state);
    const auto ready = (dir / "ready").string();
    const auto release = (dir / "release").string();
    // Another process takes the lock, says so, and holds it until told to let go.
    const auto script =
        test::writeScript(dir / "hold.sh", "exec flock " + state + "/lock sh -c 'touch " + ready + "; while [ ! -e " +
                                               release + " ]; do sleep 0.05; done'\n");
    std::thread holder([&] { test::runProgram({script.string()}, 60); });
    const bool held = test::eventually([&] { return std::filesystem::exists(ready); }, 20000);
    std::string error;
    if (held) {
        EXPECT_FALSE(LibraryLock::acquire(state, error));
        EXPECT_NE(error.find("Another sync is writing into " + dir.path().string()), std::string::npos) << error;
    }
    test::writeFile(release, "");
    holder.join();
    ASSERT_TRUE(held);
    EXPECT_TRUE(LibraryLock::acquire(state, error)) << error;
}

TEST(LibraryDatabase, ReadAccessNeverCreatesOrWrites)
{
    test::TempDir dir;
    const auto path = dir / "mirror/.tunevale/library.sqlite";
    std::string error;
    EXPECT_FALSE(LibraryDatabase::open(path.string(), error, LibraryDatabase::Access::Read));
    EXPECT_EQ(error, "");
    EXPECT_FALSE(std::filesystem::exists(dir / "mirror"));

    openOk(path.string())->putOutput(sampleOutput("a.flac"));
    const auto before = test::readFile(path);
    auto reader = LibraryDatabase::open(path.string(), error, LibraryDatabase::Access::Read);
    ASSERT_TRUE(reader) << error;
    EXPECT_EQ(reader->outputs(), std::vector<OutputRecord>{sampleOutput("a.flac")});
    EXPECT_FALSE(reader->putOutput(sampleOutput("b.flac")));
    EXPECT_FALSE(reader->lastError().empty());
    EXPECT_EQ(test::readFile(path), before);
}

} // namespace
} // namespace tunevale
