#include "CRegister.h"
#include "OutputSettingsModel.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <set>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>

extern char** environ;

using namespace tunevale;
using namespace tunevale::test;

namespace
{

std::string cliProgram()
{
    return (std::filesystem::read_symlink("/proc/self/exe").parent_path() / "tunevale-cli").string();
}

// A folder of sources and outputs, with its own settings store, state folder and encoder PATH.
class CliRun
{
public:
    explicit CliRun(const std::string& format)
    {
        ::setenv("XDG_CONFIG_HOME", (m_dir / "config").c_str(), 1);
        ::setenv("XDG_STATE_HOME", (m_dir / "state").c_str(), 1);
        CRegister registry(CRegister::registryFile());
        registry.REGSaveSetting(RegistryRoot::LocalMachine, SettingsKey, "optFileFormat", format);
        registry.REGSaveSetting(RegistryRoot::LocalMachine, SettingsKey, "optOtherFolder", "True");
        registry.REGSaveSetting(RegistryRoot::LocalMachine, SettingsKey, "optSameFolder", "False");
        registry.REGSaveSetting(RegistryRoot::LocalMachine, SettingsKey, "txtOutPath", out().string());
        std::filesystem::create_directories(m_dir / "in");
    }
    ~CliRun()
    {
        ::unsetenv("XDG_CONFIG_HOME");
        ::unsetenv("XDG_STATE_HOME");
    }

    std::filesystem::path in(const std::string& name) const { return m_dir / "in" / name; }
    std::filesystem::path out() const { return m_dir / "out"; }
    const TempDir& dir() const { return m_dir; }

private:
    TempDir m_dir;
};

// Starts the program in a process group of its own (which then gets Ctrl+C as a terminal sends
// it), its standard output going to a file.
pid_t startInOwnGroup(std::vector<std::string> argv, const std::filesystem::path& output)
{
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    posix_spawnattr_setpgroup(&attributes, 0);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
    std::vector<char*> args;
    for (auto& arg : argv)
        args.push_back(arg.data());
    args.push_back(nullptr);
    pid_t pid = 0;
    EXPECT_EQ(posix_spawn(&pid, args[0], &actions, &attributes, args.data(), environ), 0);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    return pid;
}

// Waits up to the limit for the process to end; its wait status, or nothing (it is then killed
// with its group).
std::optional<int> waitForEnd(pid_t pid, std::chrono::seconds limit)
{
    int status = 0;
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (::waitpid(pid, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > deadline) {
            ::kill(-pid, SIGKILL);
            ::waitpid(pid, &status, 0);
            return std::nullopt;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return status;
}

// The file a running job writes: inside a private folder of the output folder.
std::filesystem::path pendingFile(const std::filesystem::path& folder)
{
    if (std::filesystem::exists(folder))
        for (const auto& entry : std::filesystem::directory_iterator(folder))
            if (entry.path().filename().string().starts_with(".tunevale-") && entry.is_directory())
                for (const auto& inner : std::filesystem::directory_iterator(entry.path()))
                    if (inner.path().filename().string().starts_with(".partial."))
                        return inner.path();
    return {};
}

bool pendingFileHolds(const std::filesystem::path& folder, std::uintmax_t bytes)
{
    std::error_code error;
    const auto file = pendingFile(folder);
    return !file.empty() && std::filesystem::file_size(file, error) > bytes && !error;
}

} // namespace

TEST(ConvertCommand, ConvertsTheNamedFilesAndPrintsEachStatusAndOutput)
{
    CliRun run("0");
    const auto a = makeTone(run.in("a b.flac"), 1.0);
    const auto c = makeTone(run.in("c.ogg"), 1.0, 44100, 2, {"-c:a", "libvorbis"});
    const auto result = runProgram({cliProgram(), "convert", a.string(), c.string()}, 120);
    EXPECT_EQ(result.exitCode, 0) << result.output;
    EXPECT_EQ(lines(result.output),
              (std::vector<std::string>{"Complete\t" + a.string() + "\t" + (run.out() / "a b.wav").string(),
                                        "Complete\t" + c.string() + "\t" + (run.out() / "c.wav").string()}));
    EXPECT_EQ(ffprobe(run.out() / "a b.wav", "stream=codec_name"), "pcm_s16le");
    EXPECT_EQ(ffprobe(run.out() / "c.wav", "stream=channels"), "2");
}

TEST(ConvertCommand, ErrorsAndRefusedFilesGiveAFailingExitStatus)
{
    CliRun run("2");
    const auto good = makeTone(run.in("good.flac"), 1.0);
    const auto bad = run.in("bad.mp3");
    writeFile(bad, std::string(3000, 'x'));

    // With no encoder to be found the MP3 job ends "Error".
    const std::string oldPath = std::getenv("PATH");
    ::setenv("PATH", (run.dir() / "empty").c_str(), 1);
    const auto failed = runProgram({cliProgram(), "convert", good.string(), bad.string(), run.in("x.txt").string()});
    ::setenv("PATH", oldPath.c_str(), 1);
    EXPECT_EQ(failed.exitCode, 1) << failed.output;
    EXPECT_NE(failed.output.find("Error\t" + good.string() + "\tThe encoder could not be started: lame not found"),
              std::string::npos)
        << failed.output;
    EXPECT_NE(failed.output.find("Refused\t" + bad.string() + "\tCodec Not Supported\n"), std::string::npos);
    EXPECT_NE(failed.output.find("Refused\t" + run.in("x.txt").string() + "\tnot a file type the list takes\n"),
              std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(run.out() / "good.mp3"));

    EXPECT_EQ(runProgram({cliProgram(), "convert"}).exitCode, 2);
    EXPECT_EQ(runProgram({cliProgram(), "convert", "--selected"}).exitCode, 2);
}

TEST(ConvertCommand, SelectedTicksTheNamedFiles)
{
    CliRun run("3");
    const auto a = makeTone(run.in("a.wav"), 1.0);
    const auto result = runProgram({cliProgram(), "convert", "--selected", a.string()});
    EXPECT_EQ(result.exitCode, 0) << result.output;
    EXPECT_EQ(ffprobe(run.out() / "a.ogg", "stream=codec_name"), "vorbis");
}

TEST(ConvertCommand, StopSignalsStopTheRunLikeTheStopButton)
{
    // Ctrl+C from the terminal, and the session's SIGTERM at log-out.
    for (const auto& [signal, exitStatus] : {std::pair{SIGINT, 130}, std::pair{SIGTERM, 143}}) {
        SCOPED_TRACE(signal);
        CliRun run("2");
        std::vector<std::string> argv{cliProgram(), "convert", "-j", "2"};
        for (int i = 0; i < 3; ++i)
            argv.push_back(makeTone(run.in("long" + std::to_string(i) + ".flac"), 300.0).string());
        const auto output = run.dir() / "stdout.txt";
        const pid_t pid = startInOwnGroup(argv, output);
        ASSERT_TRUE(eventually([&] { return pendingFileHolds(run.out(), 100000); }, 60000, 20));
        ::kill(signal == SIGINT ? -pid : pid, signal);

        const auto status = waitForEnd(pid, std::chrono::seconds(60));
        ASSERT_TRUE(status) << "the run did not stop";
        ASSERT_TRUE(WIFEXITED(*status));
        EXPECT_EQ(WEXITSTATUS(*status), exitStatus);
        // The two running jobs end "Cancelled" (in the order they end), the third never started.
        const auto printed = lines(readFile(output));
        ASSERT_EQ(printed.size(), 3u);
        EXPECT_EQ(
            std::set<std::string>(printed.begin(), printed.begin() + 2),
            (std::set<std::string>{"Cancelled\t" + argv[4] + "\tstopped", "Cancelled\t" + argv[5] + "\tstopped"}));
        EXPECT_EQ(printed[2], "Waiting\t" + argv[6] + "\tnot started: the run was stopped");
        // The cancelled jobs took their partial files with them: nothing could pass for a track.
        EXPECT_TRUE(std::filesystem::is_empty(run.out())) << namesIn(run.out()).front();
    }
}

TEST(ConvertCommand, AStopSignalEndsAHungEncoderWithinSeconds)
{
    CliRun run("2");
    // An encoder that never reads its input, and then never ends.
    const auto bin = run.dir() / "bin";
    std::filesystem::create_directories(bin);
    const auto started = run.dir() / "started";
    writeScript(bin / "lame", "touch '" + started.string() + "'; exec sleep 600");
    const char* oldPath = std::getenv("PATH");
    const std::string path = oldPath ? oldPath : "/usr/bin:/bin";
    ::setenv("PATH", (bin.string() + ":" + path).c_str(), 1);
    const auto source = makeTone(run.in("song.flac"), 60.0);
    const auto output = run.dir() / "stdout.txt";
    const pid_t pid = startInOwnGroup({cliProgram(), "convert", source.string()}, output);
    ::setenv("PATH", path.c_str(), 1);
    ASSERT_TRUE(eventually([&] { return std::filesystem::exists(started); }, 60000, 20));
    // Let the pipe to the encoder fill, so that the job waits on it.
    std::this_thread::sleep_for(std::chrono::milliseconds(500));

    const auto stopped = std::chrono::steady_clock::now();
    ::kill(pid, SIGTERM);
    // Far less than the minute after which a hung encoder counts as failed.
    const auto status = waitForEnd(pid, std::chrono::seconds(20));
    ASSERT_TRUE(status) << "the run did not stop";
    EXPECT_LT(std::chrono::steady_clock::now() - stopped, std::chrono::seconds(15));
    ASSERT_TRUE(WIFEXITED(*status));
    EXPECT_EQ(WEXITSTATUS(*status), 143);
    EXPECT_EQ(readFile(output), "Cancelled\t" + source.string() + "\tstopped\n");
    EXPECT_TRUE(std::filesystem::is_empty(run.out()));
}

TEST(ConvertCommand, TheNextRunRemovesWhatAKilledRunLeft)
{
    CliRun run("2");
    const auto source = makeTone(run.in("long.flac"), 300.0);
    const pid_t pid = startInOwnGroup({cliProgram(), "convert", source.string()}, run.dir() / "stdout.txt");
    ASSERT_TRUE(eventually([&] { return pendingFileHolds(run.out(), 100000); }, 60000, 20));
    ::kill(pid, SIGKILL);
    ASSERT_TRUE(waitForEnd(pid, std::chrono::seconds(20)));
    // Killed, it left only its hidden private folder: nothing under the output's name.
    const auto left = namesIn(run.out());
    ASSERT_EQ(left.size(), 1u);
    EXPECT_TRUE(left[0].starts_with(".tunevale-")) << left[0];

    const auto next = makeTone(run.in("next.flac"), 1.0);
    const auto result = runProgram({cliProgram(), "convert", next.string()});
    EXPECT_EQ(result.exitCode, 0) << result.output;
    EXPECT_EQ(namesIn(run.out()), std::vector<std::string>{"next.mp3"});
}
