#include "ErrorLog.h"
#include "HostileFiles.h"
#include "ScopedEnv.h"
#include "TestSupport.h"
#include "UserFolder.h"

#include <gtest/gtest.h>

#include <QLocale>

#include <filesystem>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/wait.h>
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

TEST(ErrorLog, AnUnusableHomeGivesWayToThePasswordDatabasesFolder)
{
    const passwd* entry = ::getpwuid(::geteuid());
    ASSERT_NE(entry, nullptr);
    test::TempDir dir;
    std::filesystem::create_directories(dir / "foreign");
    ASSERT_EQ(::chown((dir / "foreign").c_str(), ::geteuid() + 1, ::getegid()), ::geteuid() == 0 ? 0 : -1);
    for (const std::optional<std::string>& home :
         {std::optional<std::string>(), std::optional<std::string>("/nonexistent/x"),
          std::optional<std::string>("relative"), std::optional<std::string>((dir / "foreign").string())}) {
        test::ScopedEnv homeVariable("HOME", home);
        if (home == (dir / "foreign").string() && ::geteuid() != 0)
            continue; // only root can give a folder away
        EXPECT_EQ(homeFolder(), std::filesystem::path(entry->pw_dir)) << home.value_or("unset");
    }
    EXPECT_FALSE(std::filesystem::exists("/nonexistent"));
    test::ScopedEnv ownHome("HOME", dir.path().string());
    EXPECT_EQ(homeFolder(), dir.path());
}

TEST(ErrorLog, AUserWithoutAHomeGetsNoLogAndNoFolderInASharedPlace)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root to run as the user nobody, whose home does not exist";
    test::TempDir dir;
    ::chmod(dir.path().c_str(), 0777);
    const pid_t pid = ::fork();
    if (pid == 0) {
        if (::setgid(65534) != 0 || ::setuid(65534) != 0)
            ::_exit(100);
        ::unsetenv("HOME");
        ::unsetenv("XDG_STATE_HOME");
        ::unsetenv("XDG_CACHE_HOME");
        if (::chdir(dir.path().c_str()) != 0)
            ::_exit(101);
        // The home of nobody is /nonexistent: there is nowhere to keep a log.
        if (::getpwuid(65534) == nullptr || std::filesystem::exists(::getpwuid(65534)->pw_dir))
            ::_exit(102);
        if (!ErrorLog::defaultPath().empty() || !userFolder(UserFolder::Cache).empty())
            ::_exit(1);
        ErrorLog log(ErrorLog::defaultPath());
        ::_exit(log.append(2, "/m/x.mp3") ? 2 : 0);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    for (const char* shared : {"/tmp/.local/state/Tunevale", "/tmp/.cache/Tunevale", "/.local/state/Tunevale"})
        EXPECT_FALSE(std::filesystem::exists(shared)) << shared;
    EXPECT_TRUE(std::filesystem::is_empty(dir.path())) << "nothing in the working folder either";
}

TEST(ErrorLog, ALinkOrFifoAtTheLogsNameIsNeitherFollowedNorWaitedOn)
{
    test::TempDir dir;
    test::writeFile(dir / "victim.txt", "precious\n");
    std::filesystem::create_symlink(dir / "victim.txt", dir / "linked.log");
    std::filesystem::create_symlink(dir / "nowhere.txt", dir / "dangling.log");
    ASSERT_EQ(::mkfifo((dir / "fifo.log").c_str(), 0600), 0);
    std::filesystem::create_symlink("/dev/null", dir / "device.log");
    for (const char* name : {"linked.log", "dangling.log", "fifo.log", "device.log"}) {
        ErrorLog log(dir / name);
        testing::internal::CaptureStderr();
        const auto appended = test::within<bool>(10, [&log] { return log.append(2, "/m/x.mp3"); });
        const std::string said = testing::internal::GetCapturedStderr();
        ASSERT_TRUE(appended.has_value()) << name << " blocked the entry";
        EXPECT_FALSE(*appended) << name;
        EXPECT_EQ(test::lines(said).size(), 1u) << said;
        EXPECT_NE(said.find((dir / name).string()), std::string::npos) << said;
    }
    EXPECT_EQ(test::readFile(dir / "victim.txt"), "precious\n");
    EXPECT_FALSE(std::filesystem::exists(dir / "nowhere.txt"));
}

TEST(ErrorLog, AnotherUsersFileAtTheLogsNameIsLeftAlone)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root to give the file to another user";
    test::TempDir dir;
    test::writeFile(dir / "Errors.log", "theirs\n");
    ASSERT_EQ(::chown((dir / "Errors.log").c_str(), 65534, 65534), 0);
    ErrorLog log(dir / "Errors.log");
    testing::internal::CaptureStderr();
    EXPECT_FALSE(log.append(2, "/m/x.mp3"));
    EXPECT_NE(testing::internal::GetCapturedStderr().find("another user"), std::string::npos);
    EXPECT_EQ(test::readFile(dir / "Errors.log"), "theirs\n");
}
