#include "TestServer.h"

#include "FileCopy.h"
#include "TestServerProtocol.h"

#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

namespace tunevale::test::server
{

namespace
{

// A server without a request for this long leaves: a build's tests come in one burst.
constexpr int IdleMilliseconds = 30'000;

struct Request {
    int streams[3] = {-1, -1, -1};
    std::string folder;
    std::vector<std::string> arguments;
    std::vector<std::string> environment;
};

bool receive(int connection, Request& request)
{
    RequestHead head;
    if (!head.receive(connection))
        return false;
    std::memcpy(request.streams, head.streams, sizeof request.streams);
    std::string block(head.length, '\0');
    if (!readAll(connection, block.data(), block.size()))
        return false;
    std::vector<std::string> strings;
    for (std::size_t at = 0; at < block.size();) {
        const std::size_t end = block.find('\0', at);
        if (end == std::string::npos)
            return false;
        strings.push_back(block.substr(at, end - at));
        at = end + 1;
    }
    if (strings.size() < 2)
        return false;
    request.folder = strings[0];
    const std::size_t count = std::strtoul(strings[1].c_str(), nullptr, 10);
    if (count == 0 || strings.size() < 2 + count)
        return false;
    request.arguments.assign(strings.begin() + 2, strings.begin() + 2 + static_cast<std::ptrdiff_t>(count));
    request.environment.assign(strings.begin() + 2 + static_cast<std::ptrdiff_t>(count), strings.end());
    return true;
}

// In the test's process: takes on the launcher's streams, folder and environment.
void becomeTheTest(const Request& request)
{
    for (int fd = 0; fd < 3; ++fd)
        ::dup2(request.streams[fd], fd);
    for (const int fd : request.streams)
        if (fd > 2)
            ::close(fd);
    if (::chdir(request.folder.c_str()) != 0)
        std::_Exit(126);
    ::clearenv();
    for (const std::string& variable : request.environment)
        ::putenv(::strdup(variable.c_str()));
    ::signal(SIGCHLD, SIG_DFL);
    ::signal(SIGPIPE, SIG_DFL);
    // Its own process group, so that whatever it starts goes with it when the launcher is killed.
    ::setpgid(0, 0);
}

// In the process that watches one test: runs it, and answers with its wait status; kills it when
// the launcher goes (a timeout). Returns only in the test's process.
void watchTest(int connection, const Request& request)
{
    ::signal(SIGCHLD, SIG_DFL);
    const pid_t test = ::fork();
    if (test == 0) {
        ::close(connection);
        becomeTheTest(request);
        return;
    }
    for (const int fd : request.streams)
        ::close(fd);
    if (test < 0)
        std::_Exit(1);
    // Woken by the test's end or the launcher's; without a process descriptor, every 20 ms.
    const int ending = static_cast<int>(::syscall(SYS_pidfd_open, test, 0));
    int status = 0;
    for (;;) {
        if (::waitpid(test, &status, WNOHANG) == test)
            break;
        pollfd watched[2] = {{connection, POLLRDHUP, 0}, {ending, POLLIN, 0}};
        if (::poll(watched, ending >= 0 ? 2 : 1, ending >= 0 ? -1 : 20) > 0 &&
            (watched[0].revents & (POLLRDHUP | POLLHUP | POLLERR))) {
            ::kill(-test, SIGKILL);
            ::kill(test, SIGKILL);
            ::waitpid(test, &status, 0);
            std::_Exit(0);
        }
    }
    tunevale::writeAllBytes(connection, &status, sizeof status);
    std::_Exit(0);
}

int listenAt(const char* path)
{
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (std::strlen(path) >= sizeof address.sun_path)
        return -1;
    std::strcpy(address.sun_path, path);
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return -1;
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        // A socket left by a server that died is taken over; a live server keeps its own.
        const int probe = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        const bool live = ::connect(probe, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
        ::close(probe);
        if (live || errno != ECONNREFUSED || ::unlink(path) != 0 ||
            ::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
            ::close(fd);
            return -1;
        }
    }
    if (::listen(fd, 64) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

} // namespace

std::vector<std::string> serveTests(const char* path)
{
    const int listener = listenAt(path);
    if (listener < 0)
        std::_Exit(0);
    // The watchers are reaped by the system.
    ::signal(SIGCHLD, SIG_IGN);
    ::signal(SIGPIPE, SIG_IGN);
    for (;;) {
        pollfd waiting{listener, POLLIN, 0};
        if (::poll(&waiting, 1, IdleMilliseconds) == 0) {
            ::unlink(path);
            std::_Exit(0);
        }
        const int connection = ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
        if (connection < 0)
            continue;
        const pid_t watcher = ::fork();
        if (watcher == 0) {
            ::close(listener);
            Request request;
            if (!receive(connection, request))
                std::_Exit(1);
            watchTest(connection, request);
            return request.arguments;
        }
        ::close(connection);
    }
}

} // namespace tunevale::test::server
