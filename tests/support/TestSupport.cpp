#include "TestSupport.h"
#include "FixtureCache.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <fstream>
#include <poll.h>
#include <random>
#include <spawn.h>
#include <sstream>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace tunevale::test
{

TempDir::TempDir()
{
    std::random_device random;
    const auto base = std::filesystem::temp_directory_path();
    for (;;) {
        m_path = base / ("tunevale-test-" + std::to_string(random()));
        if (std::filesystem::create_directory(m_path))
            break;
    }
}

TempDir::~TempDir()
{
    std::error_code error;
    // Give back any permission a test removed, so that everything can be deleted.
    for (auto it = std::filesystem::recursive_directory_iterator(m_path, error);
         !error && it != std::filesystem::recursive_directory_iterator(); it.increment(error))
        std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all, std::filesystem::perm_options::add,
                                     error);
    std::filesystem::permissions(m_path, std::filesystem::perms::owner_all, std::filesystem::perm_options::add, error);
    std::filesystem::remove_all(m_path, error);
}

bool eventually(const std::function<bool()>& condition, int timeoutMs, int pollMs)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (std::chrono::steady_clock::now() < deadline) {
        if (condition())
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(pollMs));
    }
    return condition();
}

ProgramResult runProgram(const std::vector<std::string>& argv, int timeoutSeconds)
{
    ProgramResult result;
    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC) != 0)
        return result;

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], 1);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], 2);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);

    std::vector<char*> args;
    for (const auto& arg : argv)
        args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);

    pid_t pid = 0;
    const int spawned = posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(pipeFds[1]);
    if (spawned != 0) {
        ::close(pipeFds[0]);
        return result;
    }

    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(timeoutSeconds);
    char buffer[4096];
    for (;;) {
        pollfd fd{pipeFds[0], POLLIN, 0};
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            ::kill(pid, SIGKILL);
            break;
        }
        if (::poll(&fd, 1, static_cast<int>(left.count())) <= 0)
            continue;
        const ssize_t n = ::read(pipeFds[0], buffer, sizeof buffer);
        if (n <= 0)
            break;
        result.output.append(buffer, static_cast<size_t>(n));
    }
    ::close(pipeFds[0]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

void ffmpeg(const std::vector<std::string>& arguments)
{
    std::vector<std::string> argv{"ffmpeg", "-nostdin", "-v", "error", "-y"};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    ProgramResult result;
    const auto run = [&] {
        result = runProgram(argv);
        return result.exitCode == 0;
    };
    const auto cache = FixtureCache::ofThisBuild();
    const bool made = cache ? cache->make(arguments, run) : run();
    ASSERT_TRUE(made) << result.output;
}

std::filesystem::path makeTone(const std::filesystem::path& file, double seconds, int rate, int channels,
                               const std::vector<std::string>& encoding)
{
    std::ostringstream source;
    source << "sine=frequency=440:sample_rate=" << rate << ":duration=" << seconds;
    std::vector<std::string> args{"-f", "lavfi", "-i", source.str(), "-ac", std::to_string(channels)};
    args.insert(args.end(), encoding.begin(), encoding.end());
    args.push_back(file.string());
    ffmpeg(args);
    return file;
}

std::string readFile(const std::filesystem::path& file)
{
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void writeFile(const std::filesystem::path& file, const std::string& bytes)
{
    std::ofstream out(file, std::ios::binary);
    out << bytes;
}

std::filesystem::path writeScript(const std::filesystem::path& file, const std::string& body)
{
    writeFile(file, "#!/bin/sh\n" + body + "\n");
    std::filesystem::permissions(file, std::filesystem::perms::owner_all);
    return file;
}

std::vector<int> childProcesses()
{
    std::vector<int> children;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator("/proc", error)) {
        const std::string name = entry.path().filename();
        if (name.find_first_not_of("0123456789") != std::string::npos)
            continue;
        // Processes come and go while the folder is read; reading the stat of one that has just
        // gone fails with ESRCH (a stream would throw), and it is no child any more.
        std::string stat(512, '\0');
        const int fd = ::open((entry.path() / "stat").c_str(), O_RDONLY | O_CLOEXEC);
        const ssize_t got = fd < 0 ? -1 : ::read(fd, stat.data(), stat.size() - 1);
        if (fd >= 0)
            ::close(fd);
        stat.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
        const auto close = stat.rfind(')');
        char state = 0;
        int parent = 0;
        if (close != std::string::npos && std::sscanf(stat.c_str() + close + 1, " %c %d", &state, &parent) == 2 &&
            parent == ::getpid())
            children.push_back(std::stoi(name));
    }
    return children;
}

std::string ffprobe(const std::filesystem::path& file, const std::string& entry)
{
    const auto colon = entry.find('=');
    const bool isStream = entry.substr(0, colon) == "stream";
    std::vector<std::string> argv{"ffprobe", "-v", "error"};
    if (isStream)
        argv.insert(argv.end(), {"-select_streams", "a:0"});
    argv.insert(argv.end(), {"-show_entries", entry, "-of", "default=noprint_wrappers=1:nokey=1", file.string()});
    auto result = runProgram(argv);
    while (!result.output.empty() && (result.output.back() == '\n' || result.output.back() == '\r'))
        result.output.pop_back();
    return result.exitCode == 0 ? result.output : std::string();
}

std::vector<std::string> lines(const std::string& text)
{
    std::vector<std::string> result;
    std::size_t start = 0;
    for (std::size_t end = text.find('\n'); end != std::string::npos; end = text.find('\n', start)) {
        result.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return result;
}

std::vector<std::string> namesIn(const std::filesystem::path& folder)
{
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

} // namespace tunevale::test
