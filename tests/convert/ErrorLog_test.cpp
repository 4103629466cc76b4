#include "ErrorLog.h"
#include "ScopedEnv.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <QLocale>

#include <filesystem>
#include <thread>
#include <unistd.h>

using namespace tunevale;

TEST(ErrorLog, EntryHasTimeShortDateTextCodeAndSource)
{
    const QDateTime when(QDate(2026, 3, 4), QTime(7, 5, 9));
    const std::string date = QLocale::system().toString(QDate(2026, 3, 4), QLocale::ShortFormat).toStdString();
    EXPECT_EQ(ErrorLog::entryText(when, 2, "/music/a b.flac"),
              "07:05:09 " + date + " Can't Open the File 2 occured when Korvel tried to play/convert: /music/a b.flac");
    EXPECT_EQ(ErrorLog::entryText(QDateTime(QDate(2026, 3, 4), QTime(23, 0, 0)), -1, "x"),
              "23:00:00 " + date + " Some Other Mystery Error -1 occured when Korvel tried to play/convert: x");
}

TEST(ErrorLog, AppendsCrLfLinesAndCreatesTheFile)
{
    test::TempDir dir;
    ErrorLog log(dir / "Tool Errors.log");
    EXPECT_TRUE(log.append(6, "/m/one.mp3"));
    EXPECT_TRUE(log.append(33, "/m/two.ogg"));
    const std::string text = test::readFile(log.path());
    const auto first = text.find("\r\n");
    ASSERT_NE(first, std::string::npos);
    EXPECT_NE(text.substr(0, first).find(" Unsupported Format 6 occured when Korvel tried to play/convert: /m/one.mp3"),
              std::string::npos);
    EXPECT_NE(text.find(" Couldn't create the file 33 occured when Korvel tried to play/convert: /m/two.ogg\r\n"),
              std::string::npos);
    EXPECT_EQ(text.size(), text.rfind("\r\n") + 2);

    // Threads appending at once keep every line whole.
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&log] {
            for (int i = 0; i < 50; ++i)
                log.append(5, "/m/thread.wav");
        });
    for (auto& thread : threads)
        thread.join();
    const std::string all = test::readFile(log.path());
    std::size_t lines = 0;
    for (std::size_t at = all.find("\r\n"); at != std::string::npos; at = all.find("\r\n", at + 2))
        ++lines;
    EXPECT_EQ(lines, 202u);
}

TEST(ErrorLog, EveryEntryIsOneLineWithItsDetailAtTheEnd)
{
    test::TempDir dir;
    ErrorLog log(dir / "Errors.log");
    // An encoder's last words, over several lines and with a terminal's control characters.
    EXPECT_TRUE(log.append(101, "/m/a.flac", "Warning: bad\r\n  Error\twriting \x1b[31mout.mp3\n\n"));
    // A source whose name holds a line break.
    EXPECT_TRUE(log.append(102, "/m/two\nlines.flac", "decoded 2.5 s of 30.0 s"));
    EXPECT_TRUE(log.append(6, "/m/plain.mp3"));
    const auto entries = test::lines(test::readFile(log.path()));
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_TRUE(entries[0].ends_with(
        " The encoder ended with an error 101 occured when Korvel tried to play/convert: /m/a.flac: "
        "Warning: bad Error writing [31mout.mp3\r"))
        << entries[0];
    EXPECT_TRUE(entries[1].ends_with(" 102 occured when Korvel tried to play/convert: /m/two lines.flac: "
                                     "decoded 2.5 s of 30.0 s\r"))
        << entries[1];
    EXPECT_TRUE(entries[2].ends_with(" Unsupported Format 6 occured when Korvel tried to play/convert: /m/plain.mp3\r"))
        << entries[2];
    for (const std::string& entry : entries)
        EXPECT_EQ(entry.find_first_of(std::string("\x1b\t\n", 3)), std::string::npos) << entry;
}

TEST(ErrorLog, UnwritablePlaceIsReportedNotThrown)
{
    test::TempDir dir;
    ErrorLog log(dir / "missing folder" / "Errors.log");
    EXPECT_FALSE(log.append(2, "/m/x.mp3"));
}

TEST(ErrorLog, DefaultPathIsInTheStateFolderEvenWhenTheProgramFolderIsWritable)
{
    // The test program's folder (the build's bin folder) and the folder above it are writable.
    const auto programFolder = std::filesystem::read_symlink("/proc/self/exe").parent_path();
    ASSERT_EQ(::access(programFolder.parent_path().c_str(), W_OK), 0);
    // Logs left there by an older build must stay untouched.
    const std::filesystem::path besideProgram = programFolder.string() + " Errors.log";
    std::error_code noFile;
    const auto before = std::filesystem::last_write_time(besideProgram, noFile);
    test::TempDir home;
    test::ScopedEnv homeVariable("HOME", home.path().string());

    {
        test::ScopedEnv state("XDG_STATE_HOME", (home / "state").string());
        EXPECT_EQ(ErrorLog::defaultPath(), home / "state" / "Tunevale" / "Errors.log");
        EXPECT_TRUE(std::filesystem::is_directory(home / "state" / "Tunevale"));
    }
    for (const char* ignored : {"", "relative/state"}) {
        test::ScopedEnv state("XDG_STATE_HOME", ignored);
        EXPECT_EQ(ErrorLog::defaultPath(), home / ".local" / "state" / "Tunevale" / "Errors.log") << ignored;
    }
    {
        test::ScopedEnv state("XDG_STATE_HOME", std::nullopt);
        const auto path = ErrorLog::defaultPath();
        EXPECT_EQ(path, home / ".local" / "state" / "Tunevale" / "Errors.log");
        ErrorLog log(path);
        EXPECT_TRUE(log.append(2, "/m/x.mp3"));
    }
    std::error_code noFileAfter;
    EXPECT_EQ(std::filesystem::last_write_time(besideProgram, noFileAfter), before);
    EXPECT_EQ(bool(noFileAfter), bool(noFile));
    EXPECT_FALSE(std::filesystem::exists(programFolder / "Errors.log"));
}
