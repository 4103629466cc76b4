#include "InstanceMarker.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <memory>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

namespace tunevale
{
namespace
{

// Whether a process of this machine holds the abstract socket name, as other programs see it.
bool markerVisible(const std::string& name = "Brindletunevale")
{
    const std::string table = test::readFile("/proc/net/unix");
    return table.find(" @" + name + "\n") != std::string::npos;
}

// One copy of the marker in a child process: the child takes the marker, writes whether it holds
// it, and keeps it until told to go.
class MarkerProcess
{
public:
    MarkerProcess()
    {
        int toChild[2], fromChild[2];
        if (::pipe(toChild) != 0 || ::pipe(fromChild) != 0)
            return;
        m_pid = ::fork();
        if (m_pid == 0) {
            ::close(toChild[1]);
            ::close(fromChild[0]);
            InstanceMarker marker;
            const char held = marker.held() ? '1' : '0';
            if (::write(fromChild[1], &held, 1) != 1)
                ::_exit(2);
            char go;
            pollfd wait{toChild[0], POLLIN, 0};
            ::poll(&wait, 1, 60000);
            (void)!::read(toChild[0], &go, 1);
            ::_exit(0);
        }
        ::close(toChild[0]);
        ::close(fromChild[1]);
        m_toChild = toChild[1];
        pollfd wait{fromChild[0], POLLIN, 0};
        char held = 0;
        if (::poll(&wait, 1, 30000) == 1 && ::read(fromChild[0], &held, 1) == 1)
            m_started = true;
        m_held = held == '1';
        ::close(fromChild[0]);
    }

    ~MarkerProcess() { stop(); }

    bool started() const { return m_started; }
    bool held() const { return m_held; }

    // Lets the child end and reaps it; true when it ended normally.
    bool stop()
    {
        if (m_pid <= 0)
            return false;
        const char go = 'x';
        (void)!::write(m_toChild, &go, 1);
        ::close(m_toChild);
        int status = 0;
        ::waitpid(m_pid, &status, 0);
        m_pid = 0;
        return WIFEXITED(status) && WEXITSTATUS(status) == 0;
    }

private:
    pid_t m_pid = -1;
    int m_toChild = -1;
    bool m_started = false;
    bool m_held = false;
};

TEST(InstanceMarkerTest, VisibleWhileAnyCopyRunsAndGoneAfterTheLast)
{
    if (markerVisible())
        GTEST_SKIP() << "a copy of Tunevale runs on this machine";

    auto first = std::make_unique<MarkerProcess>();
    ASSERT_TRUE(first->started());
    EXPECT_TRUE(first->held());
    EXPECT_TRUE(markerVisible());

    // A second copy finds the name taken and runs all the same.
    MarkerProcess second;
    ASSERT_TRUE(second.started());
    EXPECT_FALSE(second.held());

    // The first copy ends; the name stays while the second runs.
    EXPECT_TRUE(first->stop());
    first.reset();
    EXPECT_TRUE(test::eventually([] { return markerVisible(); }, 10000));

    EXPECT_TRUE(second.stop());
    EXPECT_FALSE(markerVisible());
}

TEST(InstanceMarkerTest, WaitingCopyTakesTheNameOverAndReleasesItWithTheObject)
{
    const std::string name = "tunevale-test-marker-" + std::to_string(::getpid());
    {
        auto holder = std::make_unique<InstanceMarker>(name);
        EXPECT_TRUE(holder->held());
        EXPECT_TRUE(markerVisible(name));
        InstanceMarker waiting(name);
        InstanceMarker alsoWaiting(name);
        EXPECT_FALSE(waiting.held());

        holder.reset();
        EXPECT_TRUE(test::eventually([&] { return waiting.held() != alsoWaiting.held(); }, 10000));
        EXPECT_TRUE(markerVisible(name));
    }
    EXPECT_FALSE(markerVisible(name));
    InstanceMarker later(name);
    EXPECT_TRUE(later.held());
}

} // namespace
} // namespace tunevale
