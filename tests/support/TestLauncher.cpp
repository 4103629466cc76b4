// Runs one test of a test program, as `tunevale_test_launcher PROGRAM ARGUMENTS...` would run
// `PROGRAM ARGUMENTS...`, through a server that the program keeps for the purpose: the server has
// loaded the program's libraries once and forks a process for each test, so a test no longer waits
// for the dynamic loader (80 ms of processor time per start on some machines, for 175 libraries).
// The forked test reads and writes this process's standard streams, in its working folder with its
// environment; this process exits as the test did. The first launcher of a build of a program
// starts its server, which leaves after some seconds without work. Whenever a server cannot be
// reached the program runs here directly, as it would without the launcher.

#include "FileCopy.h"
#include "TestServerProtocol.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <signal.h>
#include <string>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace
{

using namespace tunevale::test::server;

[[noreturn]] void runDirectly(char** arguments)
{
    ::execv(arguments[0], arguments);
    std::fprintf(stderr, "tunevale_test_launcher: %s cannot be run: %s\n", arguments[0], std::strerror(errno));
    std::_Exit(127);
}

// The socket of the server of this build of the program: named after the file's identity, so a
// rebuilt program gets a server of its own.
std::string socketPathFor(const char* program)
{
    struct stat file {
    };
    if (::stat(program, &file) != 0)
        return {};
    const char* temporary = std::getenv("TMPDIR");
    const std::string folder = std::string(temporary && *temporary ? temporary : "/tmp") + "/tunevale-test-servers-" +
                               std::to_string(::getuid());
    if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST)
        return {};
    char name[96];
    std::snprintf(name, sizeof name, "/%lx-%lx-%lx-%lx.sock", static_cast<unsigned long>(file.st_dev),
                  static_cast<unsigned long>(file.st_ino), static_cast<unsigned long>(file.st_mtim.tv_sec),
                  static_cast<unsigned long>(file.st_mtim.tv_nsec ^ file.st_size));
    const std::string path = folder + name;
    return path.size() < sizeof(sockaddr_un::sun_path) ? path : std::string();
}

int connectTo(const std::string& path)
{
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strcpy(address.sun_path, path.c_str());
    if (fd >= 0 && ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0)
        return fd;
    if (fd >= 0)
        ::close(fd);
    return -1;
}

// Starts the program's server, detached from this process and its terminal.
void startServer(const char* program, const std::string& path)
{
    const pid_t child = ::fork();
    if (child == 0) {
        ::setsid();
        if (::fork() != 0)
            std::_Exit(0);
        // Nothing of the caller's is kept open (a build or CTest would wait for its pipes to close).
        const int null = ::open("/dev/null", O_RDWR);
        for (int fd = 0; fd < 3; ++fd)
            ::dup2(null, fd);
        ::close_range(3, ~0U, 0);
        if (::chdir("/") != 0)
            std::_Exit(127);
        ::execl(program, program, ServeOption, path.c_str(), static_cast<char*>(nullptr));
        std::_Exit(127);
    }
    if (child > 0)
        ::waitpid(child, nullptr, 0);
}

int serverFor(const char* program)
{
    const std::string path = socketPathFor(program);
    if (path.empty())
        return -1;
    int fd = connectTo(path);
    if (fd >= 0)
        return fd;
    startServer(program, path);
    const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while ((fd = connectTo(path)) < 0 && std::chrono::steady_clock::now() < limit)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    return fd;
}

bool sendRequest(int fd, int argc, char** argv)
{
    char folder[4096];
    if (!::getcwd(folder, sizeof folder))
        return false;
    std::vector<std::string> arguments(argv, argv + argc);
    std::vector<std::string> environment;
    for (char** variable = environ; *variable; ++variable)
        environment.emplace_back(*variable);
    const std::string block = requestBlock(folder, arguments, environment);

    RequestHead head;
    head.length = static_cast<std::uint32_t>(block.size());
    for (int stream = 0; stream < 3; ++stream)
        head.streams[stream] = stream;
    return head.send(fd) && tunevale::writeAllBytes(fd, block.data(), block.size());
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: tunevale_test_launcher PROGRAM [ARGUMENTS...]\n");
        return 2;
    }
    ::signal(SIGPIPE, SIG_IGN);
    const int server = serverFor(argv[1]);
    if (server < 0 || !sendRequest(server, argc - 1, argv + 1))
        runDirectly(argv + 1); // nothing was started yet
    int status = 0;
    if (!readAll(server, &status, sizeof status)) {
        std::fprintf(stderr, "tunevale_test_launcher: the server of %s ended before the test did\n", argv[1]);
        return 1;
    }
    if (WIFSIGNALED(status)) {
        ::signal(WTERMSIG(status), SIG_DFL);
        ::raise(WTERMSIG(status));
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : 1;
}
