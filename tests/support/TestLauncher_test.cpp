#include "TestSupport.h"

#include <gtest/gtest.h>

#include <csignal>
#include <fstream>
#include <sys/wait.h>
#include <unistd.h>

namespace tunevale::test
{
namespace
{

struct Launched {
    int status = -1; // as waitpid gives it
    std::string output;
};

// Runs a test of the probe program through the launcher in folder, with one more environment
// variable, "typed" on its standard input; its standard output and error together.
Launched launchProbe(const std::string& test, const std::filesystem::path& folder, const std::string& variable = {})
{
    int input[2];
    int output[2];
    if (::pipe(input) != 0 || ::pipe(output) != 0)
        return {};
    const pid_t child = ::fork();
    if (child == 0) {
        ::dup2(input[0], 0);
        ::dup2(output[1], 1);
        ::dup2(output[1], 2);
        for (const int fd : {input[0], input[1], output[0], output[1]})
            ::close(fd);
        if (::chdir(folder.c_str()) != 0)
            std::_Exit(126);
        if (!variable.empty())
            ::putenv(const_cast<char*>(variable.c_str()));
        const std::string filter = "--gtest_filter=" + test;
        ::execl(TUNEVALE_TEST_LAUNCHER, TUNEVALE_TEST_LAUNCHER, TUNEVALE_LAUNCHER_PROBE, filter.c_str(),
                static_cast<char*>(nullptr));
        std::_Exit(127);
    }
    ::close(input[0]);
    ::close(output[1]);
    const std::string typed = "typed\n";
    EXPECT_EQ(::write(input[1], typed.data(), typed.size()), static_cast<ssize_t>(typed.size()));
    ::close(input[1]);
    Launched launched;
    char buffer[4096];
    for (ssize_t got; (got = ::read(output[0], buffer, sizeof buffer)) > 0;)
        launched.output.append(buffer, static_cast<std::size_t>(got));
    ::close(output[0]);
    ::waitpid(child, &launched.status, 0);
    return launched;
}

std::string valueOf(const std::string& output, const std::string& name)
{
    const auto at = output.find(name + "=");
    return at == std::string::npos ? std::string()
                                   : output.substr(at + name.size() + 1, output.find('\n', at) - at - name.size() - 1);
}

// A test runs in a process its program's server forked, yet with the launcher's folder, environment
// and standard streams, and the launcher exits as the test did.
TEST(TestLauncher, ATestRunsInTheLaunchersSurroundingsAndItsEndIsTheLaunchers)
{
    TempDir dir;
    const auto first = launchProbe("Probe.Surroundings", dir.path(), "TUNEVALE_PROBE_VALUE=a b");
    ASSERT_TRUE(WIFEXITED(first.status));
    EXPECT_EQ(WEXITSTATUS(first.status), 0) << first.output;
    EXPECT_EQ(valueOf(first.output, "folder"), std::filesystem::canonical(dir.path()).string());
    EXPECT_EQ(valueOf(first.output, "value"), "a b");
    EXPECT_EQ(valueOf(first.output, "stdin"), "typed");
    EXPECT_NE(first.output.find("to standard error"), std::string::npos) << first.output;
    const std::string server = valueOf(first.output, "server");
    EXPECT_NE(server.find("--serve-tests"), std::string::npos) << first.output;

    const auto second = launchProbe("Probe.Surroundings", dir.path(), "TUNEVALE_PROBE_EXIT=3");
    ASSERT_TRUE(WIFEXITED(second.status));
    EXPECT_EQ(WEXITSTATUS(second.status), 3) << second.output;
    EXPECT_EQ(valueOf(second.output, "value"), "(none)");
    EXPECT_EQ(valueOf(second.output, "server"), server) << "one server serves the program's tests";

    const auto crashed = launchProbe("Probe.Crashes", dir.path());
    ASSERT_TRUE(WIFSIGNALED(crashed.status)) << crashed.output;
    EXPECT_EQ(WTERMSIG(crashed.status), SIGABRT);
}

// CTest kills a test that outlasts its timeout by killing the launcher: the test goes too, with what
// it started.
TEST(TestLauncher, AKilledLauncherTakesItsTestAndWhatItStartedWithIt)
{
    TempDir dir;
    const auto pids = dir.path() / "pids";
    const pid_t launcher = ::fork();
    if (launcher == 0) {
        ::setenv("TUNEVALE_PROBE_PIDS", pids.c_str(), 1);
        ::execl(TUNEVALE_TEST_LAUNCHER, TUNEVALE_TEST_LAUNCHER, TUNEVALE_LAUNCHER_PROBE, "--gtest_filter=Probe.Hangs",
                static_cast<char*>(nullptr));
        std::_Exit(127);
    }
    ASSERT_TRUE(eventually([&] { return readFile(pids).find(' ') != std::string::npos; }, 20000));
    pid_t test = 0;
    pid_t sleeper = 0;
    std::ifstream(pids) >> test >> sleeper;
    ASSERT_GT(sleeper, 0);
    EXPECT_EQ(::kill(sleeper, 0), 0);
    ::kill(launcher, SIGKILL);
    ::waitpid(launcher, nullptr, 0);
    EXPECT_TRUE(eventually([&] { return ::kill(test, 0) != 0 && ::kill(sleeper, 0) != 0; }, 5000));
}

} // namespace
} // namespace tunevale::test
