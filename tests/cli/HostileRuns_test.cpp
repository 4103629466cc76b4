#include "CliHarness.h"

#include <QByteArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

#include <chrono>
#include <climits>
#include <csignal>
#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>

extern char** environ;

namespace tunevale::test
{
namespace
{

class HostileRunTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        cli.store("optOtherFolder", "True");
        cli.store("txtOutPath", cli.out().string());
        cli.store("optFileFormat", "2"); // MP3
    }

    CliHarness cli;
};

std::vector<QJsonObject> jsonLines(const std::string& out)
{
    std::vector<QJsonObject> objects;
    for (const auto& text : lines(out)) {
        QJsonParseError error{};
        const auto document = QJsonDocument::fromJson(QByteArray::fromStdString(text), &error);
        EXPECT_EQ(error.error, QJsonParseError::NoError) << text;
        objects.push_back(document.object());
    }
    return objects;
}

TEST_F(HostileRunTest, NamesWithControlCharactersCannotBreakLinesOrReachTheTerminal)
{
    const std::string name = "esc\x1b[31mred\ttab\nline\\back.flac";
    const auto source = makeTone(cli.in(name), 0.5, 44100, 1, {"-c:a", "flac"});
    const std::string escaped = "esc\\033[31mred\\ttab\\nline\\\\back";
    const auto plain = cli.run({"convert", source.string()});
    ASSERT_EQ(plain.exitCode, 0) << plain.out << plain.err;
    ASSERT_EQ(lines(plain.out).size(), 1u) << plain.out;
    EXPECT_EQ(plain.out,
              "Complete\t" + cli.in("").string() + escaped + ".flac\t" + cli.out().string() + "/" + escaped + ".mp3\n");
    EXPECT_EQ(plain.out.find('\x1b'), std::string::npos);

    const auto probe = cli.run({"probe", source.string()});
    EXPECT_EQ(probe.out.find('\x1b'), std::string::npos);
    EXPECT_EQ(lines(probe.out).size(), 1u) << probe.out;
    EXPECT_EQ(probe.out.rfind(cli.in("").string() + escaped + ".flac\tWaiting Conversion\t", 0), 0u) << probe.out;

    // Tags are shown the same way by info.
    const auto tagged = cli.in("tagged.flac");
    ffmpeg(
        {"-i", source.string(), "-metadata", "title=\x1b]0;owned\x07 title\r\nsecond", "-c", "copy", tagged.string()});
    const auto info = cli.run({"info", tagged.string()});
    EXPECT_EQ(info.out.find_first_of("\x1b\x07\r"), std::string::npos) << info.out;
    EXPECT_NE(info.out.find(" title\\nsecond\n"), std::string::npos) << info.out;
}

TEST_F(HostileRunTest, JsonKeepsValidTextAndGivesTheExactBytesOfPathsThatAreNotUtf8)
{
    const std::string name = "bad\xff\xfe name.flac";
    const auto source = makeTone(cli.in(name), 0.5, 44100, 1, {"-c:a", "flac"});
    const auto plain = makeTone(cli.in("tab\tname.flac"), 0.5, 44100, 1, {"-c:a", "flac"});
    const auto run = cli.run({"convert", "--json", source.string(), plain.string()});
    ASSERT_EQ(run.exitCode, 0) << run.out << run.err;
    const auto objects = jsonLines(run.out);
    ASSERT_EQ(objects.size(), 2u);
    EXPECT_EQ(QByteArray::fromBase64(objects[0]["source_bytes"].toString().toLatin1()).toStdString(), source.string());
    const std::string output = QByteArray::fromBase64(objects[0]["output_bytes"].toString().toLatin1()).toStdString();
    EXPECT_EQ(output, (cli.out() / "bad\xff\xfe name.mp3").string());
    EXPECT_TRUE(std::filesystem::exists(output));
    // Valid UTF-8 needs no copy: JSON itself carries the tab.
    EXPECT_FALSE(objects[1].contains("source_bytes"));
    EXPECT_EQ(objects[1]["source"].toString().toStdString(), plain.string());
}

TEST_F(HostileRunTest, FilesOfAFolderThatTheListDoesNotTakeAreCountedAndNamed)
{
    std::filesystem::create_directories(cli.in("sub"));
    makeTone(cli.in("a.flac"), 0.3, 44100, 1, {"-c:a", "flac"});
    makeTone(cli.in("sub/b.flac"), 0.3, 44100, 1, {"-c:a", "flac"});
    for (const char* other : {"cover.jpg", "notes.txt", "sub/cue.log", "sub/z.pdf"})
        writeFile(cli.in(other), "not audio");
    const auto run = cli.run({"convert", "-r", cli.in("").string()});
    EXPECT_EQ(run.exitCode, 0) << "every job the list took completed";
    EXPECT_EQ(lines(run.out).size(), 2u) << run.out;
    ASSERT_EQ(lines(run.err).size(), 1u) << run.err;
    EXPECT_EQ(run.err, "tunevale-cli convert: 4 files left out: not a type the list takes: cover.jpg, notes.txt, "
                       "cue.log, ...\n");

    const auto json = cli.run({"convert", "--json", "-r", cli.in("").string()});
    EXPECT_EQ(json.exitCode, 0);
    std::vector<std::string> refused;
    for (const auto& object : jsonLines(json.out))
        if (object["status"].toString() == QLatin1String("refused"))
            refused.push_back(std::filesystem::path(object["source"].toString().toStdString()).filename().string());
    EXPECT_EQ(refused, (std::vector<std::string>{"cover.jpg", "notes.txt", "cue.log", "z.pdf"}));

    const auto probe = cli.run({"probe", "-r", cli.in("").string()});
    EXPECT_EQ(probe.exitCode, 0);
    EXPECT_NE(probe.err.find("4 files left out: not a type the list takes"), std::string::npos) << probe.err;
}

TEST_F(HostileRunTest, APathLongerThanTheSystemAllowsIsAnError)
{
    const std::string longPath = cli.in("").string() + std::string(PATH_MAX, 'a') + ".flac";
    const auto run = cli.run({"convert", longPath});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.out.find("Refused\t"), std::string::npos);
    EXPECT_NE(run.out.find("the path is longer than the system allows"), std::string::npos);
}

TEST_F(HostileRunTest, ASourceTheUserMayNotReadSaysSoInItsReason)
{
    const auto source = makeTone(cli.in("secret.flac"), 0.3, 44100, 1, {"-c:a", "flac"});
    std::vector<std::string> prefix;
    if (::geteuid() == 0) {
        if (runProgram({"setpriv", "--help"}).exitCode != 0)
            GTEST_SKIP() << "setpriv is needed to run as another user";
        // The user nobody runs the program; only the source stays closed to it.
        prefix = {"setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"};
        for (const auto& folder : {cli.dir().path(), cli.in(""), cli.dir() / "config", cli.dir() / "config/Tunevale"})
            ::chmod(folder.c_str(), 0777);
        ::chmod(cli.storeFile().c_str(), 0644);
    }
    ::chmod(source.c_str(), 0);
    std::vector<std::string> argv = prefix;
    argv.insert(argv.end(), {CliHarness::program(), "convert", source.string()});
    const auto run = runProgram(argv);
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.output.find("Refused\t" + source.string() +
                              "\tCodec Not Supported: the file cannot be read (Permission denied)"),
              std::string::npos)
        << run.output;
}

TEST_F(HostileRunTest, ManyJobsAtOnceUnderALowDescriptorLimitAllComplete)
{
    const auto first = makeTone(cli.in("t0.flac"), 0.3, 44100, 1, {"-c:a", "flac"});
    std::vector<std::string> arguments{"prlimit", "--nofile=64:4096", CliHarness::program(), "convert", "-j", "128"};
    for (int i = 0; i < 40; ++i) {
        const auto copy = cli.in("t" + std::to_string(i + 1) + ".flac");
        std::filesystem::copy_file(first, copy);
        arguments.push_back(copy.string());
    }
    const auto raised = runProgram(arguments);
    EXPECT_EQ(raised.exitCode, 0) << raised.output;
    EXPECT_EQ(raised.output.find("Error"), std::string::npos) << raised.output;

    // A hard limit that cannot be raised: -j is kept within it, and said to be.
    std::filesystem::remove_all(cli.out());
    arguments[1] = "--nofile=64:64";
    const auto kept = runProgram(arguments);
    EXPECT_EQ(kept.exitCode, 0) << kept.output;
    EXPECT_NE(kept.output.find("the open-file limit (64) allows 4 conversions at once"), std::string::npos)
        << kept.output;
    EXPECT_EQ(kept.output.find("Error"), std::string::npos) << kept.output;
}

// Whether the process has a file of that extension open.
bool holdsFileEndingIn(pid_t pid, const std::string& extension)
{
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator("/proc/" + std::to_string(pid) + "/fd", error)) {
        const auto target = std::filesystem::read_symlink(entry.path(), error).string();
        if (target.size() > extension.size() &&
            target.compare(target.size() - extension.size(), extension.size(), extension) == 0)
            return true;
    }
    return false;
}

TEST_F(HostileRunTest, CtrlCWhileFilesAreAddedStopsBeforeAnyJobRuns)
{
    const auto first = makeTone(cli.in("f0.flac"), 0.3, 44100, 1, {"-c:a", "flac"});
    for (int i = 1; i < 3000; ++i)
        std::filesystem::create_hard_link(first, cli.in("f" + std::to_string(i) + ".flac"));
    const std::string out = (cli.dir() / "stop.out").string();
    const std::string program = CliHarness::program();
    const std::string folder = cli.in("").string();
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    std::vector<char*> argv{const_cast<char*>(program.c_str()), const_cast<char*>("convert"),
                            const_cast<char*>(folder.c_str()), nullptr};
    pid_t pid = 0;
    ASSERT_EQ(posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ), 0);
    posix_spawn_file_actions_destroy(&actions);
    // Once a source is open, the files are being added.
    ASSERT_TRUE(eventually([&] { return holdsFileEndingIn(pid, ".flac"); }, 60000, 2));
    ::kill(pid, SIGINT);
    int status = 0;
    ASSERT_TRUE(eventually([&] { return ::waitpid(pid, &status, WNOHANG) == pid; }, 60000));
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 130);
    EXPECT_EQ(readFile(out), "") << "no job was started or reported";
    EXPECT_FALSE(std::filesystem::exists(cli.out()) && !std::filesystem::is_empty(cli.out()));
}

} // namespace
} // namespace tunevale::test
