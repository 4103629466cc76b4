// A test program for the launcher's own tests: each test shows what it was given, hangs or crashes.

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <unistd.h>

namespace
{

// The command line of the process that started process pid's parent.
std::string grandparentCommandOf(pid_t pid)
{
    const auto parentOf = [](pid_t of) {
        std::ifstream stat("/proc/" + std::to_string(of) + "/stat");
        std::string text((std::istreambuf_iterator<char>(stat)), {});
        std::istringstream fields(text.substr(text.rfind(')') + 2));
        std::string state;
        pid_t parent = 0;
        fields >> state >> parent;
        return parent;
    };
    std::ifstream command("/proc/" + std::to_string(parentOf(parentOf(pid))) + "/cmdline");
    std::string text((std::istreambuf_iterator<char>(command)), {});
    for (char& c : text)
        if (c == '\0')
            c = ' ';
    return text;
}

TEST(Probe, Surroundings)
{
    char folder[4096];
    ASSERT_TRUE(::getcwd(folder, sizeof folder));
    std::string line;
    std::getline(std::cin, line);
    const char* value = std::getenv("TUNEVALE_PROBE_VALUE");
    std::cout << "folder=" << folder << "\nvalue=" << (value ? value : "(none)") << "\nstdin=" << line
              << "\nserver=" << grandparentCommandOf(::getpid()) << std::endl;
    std::cerr << "to standard error" << std::endl;
    if (const char* code = std::getenv("TUNEVALE_PROBE_EXIT"))
        std::exit(std::atoi(code));
}

TEST(Probe, Hangs)
{
    const pid_t child = ::fork();
    if (child == 0) {
        ::execlp("sleep", "sleep", "300", static_cast<char*>(nullptr));
        std::_Exit(127);
    }
    std::ofstream(std::getenv("TUNEVALE_PROBE_PIDS")) << ::getpid() << ' ' << child << std::endl;
    ::pause();
}

TEST(Probe, Crashes)
{
    std::signal(SIGABRT, SIG_DFL);
    std::abort();
}

} // namespace
