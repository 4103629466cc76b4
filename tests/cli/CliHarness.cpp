#include "CliHarness.h"

#include "CRegister.h"
#include "OutputSettingsModel.h"

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>

extern char** environ;

namespace tunevale::test
{

namespace
{

constexpr const char* kCallEnd = "--call-end--";
constexpr auto kTimeout = std::chrono::seconds(120);

// Runs argv with standard output and error into files; the exit status, -1 after a timeout.
int spawnAndWait(const std::vector<std::string>& argv, const std::filesystem::path& out,
                 const std::filesystem::path& err, const std::filesystem::path& cwd = {})
{
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (!cwd.empty())
        posix_spawn_file_actions_addchdir_np(&actions, cwd.c_str());
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    std::vector<char*> args;
    for (const auto& arg : argv)
        args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);
    pid_t pid = 0;
    const int spawned = posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0)
        return -1;
    int status = 0;
    const auto deadline = std::chrono::steady_clock::now() + kTimeout;
    while (::waitpid(pid, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > deadline) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, &status, 0);
            return -1;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Starts the program on a pseudo-terminal, copies what it writes there to standard output and
// ends with its exit status.
constexpr const char* kTerminalRunner = R"(
import os, pty, sys
pid, fd = pty.fork()
if pid == 0:
    os.execv(sys.argv[1], sys.argv[1:])
chunks = []
while True:
    try:
        data = os.read(fd, 65536)
    except OSError:
        break
    if not data:
        break
    chunks.append(data)
sys.stdout.buffer.write(b''.join(chunks))
_, status = os.waitpid(pid, 0)
sys.exit(os.waitstatus_to_exitcode(status))
)";

constexpr const char* kServiceVariables[] = {"TUNEVALE_MUSICBRAINZ_URL", "TUNEVALE_COVERART_URL",
                                             "TUNEVALE_ACCURATERIP_URL"};

} // namespace

CliHarness::CliHarness()
    : m_oldPath(std::getenv("PATH") ? std::getenv("PATH") : "/usr/bin:/bin"),
      m_oldHome(std::getenv("HOME") ? std::getenv("HOME") : "")
{
    ::setenv("HOME", m_dir.path().c_str(), 1);
    ::setenv("XDG_CONFIG_HOME", (m_dir / "config").c_str(), 1);
    ::setenv("XDG_STATE_HOME", (m_dir / "state").c_str(), 1);
    ::setenv("XDG_CACHE_HOME", (m_dir / "cache").c_str(), 1);
    // No run reaches the online services: the disc lookups find nothing listening on 127.0.0.1.
    for (const char* name : kServiceVariables)
        ::setenv(name, "http://127.0.0.1:9", 1);
    std::filesystem::create_directories(m_dir / "in");
}

CliHarness::~CliHarness()
{
    ::setenv("PATH", m_oldPath.c_str(), 1);
    ::setenv("HOME", m_oldHome.c_str(), 1);
    for (const char* name : {"XDG_CONFIG_HOME", "XDG_STATE_HOME", "XDG_CACHE_HOME"})
        ::unsetenv(name);
    for (const char* name : kServiceVariables)
        ::unsetenv(name);
}

std::string CliHarness::program()
{
    return (std::filesystem::read_symlink("/proc/self/exe").parent_path() / "tunevale-cli").string();
}

void CliHarness::store(const std::string& name, const std::string& value) const
{
    CRegister registry(storeFile());
    registry.REGSaveSetting(RegistryRoot::LocalMachine, SettingsKey, name, value);
}

void CliHarness::useRecordingEncoders()
{
    const auto bin = m_dir / "fakebin";
    std::filesystem::create_directories(bin);
    // lame names its output last; oggenc after -o. Each records its arguments, then has the real
    // encoder (found on the old PATH) write the output with its defaults, so that the file is real.
    const std::string record = "for a in \"$@\"; do printf '%s\\n' \"$a\" >> \"$0.calls\"; done\n"
                               "echo '" +
                               std::string(kCallEnd) + "' >> \"$0.calls\"\nPATH='" + m_oldPath + "'\n";
    writeScript(bin / "lame", record + "for a in \"$@\"; do last=$a; done\nexec lame --silent - \"$last\"\n");
    writeScript(bin / "oggenc", record + "while [ $# -gt 0 ]; do if [ \"$1\" = -o ]; then out=$2; fi; shift; done\n"
                                         "exec oggenc -Q - -o \"$out\"\n");
    ::setenv("PATH", (bin.string() + ":" + m_oldPath).c_str(), 1);
}

std::vector<std::vector<std::string>> CliHarness::calls(const std::string& encoder) const
{
    const auto file = m_dir / "fakebin" / (encoder + ".calls");
    std::vector<std::vector<std::string>> result;
    if (!std::filesystem::exists(file))
        return result;
    std::vector<std::string> current;
    for (const auto& line : lines(readFile(file))) {
        if (line == kCallEnd) {
            result.push_back(std::move(current));
            current.clear();
        } else {
            current.push_back(line);
        }
    }
    return result;
}

void CliHarness::hideEncoders()
{
    ::setenv("PATH", (m_dir / "no-encoders").c_str(), 1);
}

CliResult CliHarness::run(const std::vector<std::string>& arguments, const std::filesystem::path& cwd) const
{
    std::vector<std::string> argv{program()};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    CliResult result;
    result.exitCode = spawnAndWait(argv, m_dir / "stdout", m_dir / "stderr", cwd);
    result.out = readFile(m_dir / "stdout");
    result.err = readFile(m_dir / "stderr");
    return result;
}

CliResult CliHarness::runOnTerminal(const std::vector<std::string>& arguments) const
{
    std::vector<std::string> argv{"/usr/bin/python3", "-c", kTerminalRunner, program()};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    CliResult result;
    result.exitCode = spawnAndWait(argv, m_dir / "stdout", m_dir / "stderr");
    result.out = readFile(m_dir / "stdout");
    result.err = readFile(m_dir / "stderr");
    return result;
}

} // namespace tunevale::test
