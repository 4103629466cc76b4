// Termination signals reach the event loop as calls, and every road to the end ends the program once.
#include "TerminationSignals.h"

#include "QtApplication.h"
#include "TestSupport.h"

#include <QApplication>
#include <QCloseEvent>
#include <QTimer>
#include <QWidget>

#include <gtest/gtest.h>

#include <csignal>
#include <vector>

namespace tunevale
{
namespace
{

class CountingWindow : public QWidget
{
public:
    int closes = 0;

protected:
    void closeEvent(QCloseEvent* event) override
    {
        ++closes;
        event->accept();
    }
};

void processEventsUntil(const std::function<bool()>& condition)
{
    test::eventually(
        [&] {
            QCoreApplication::processEvents();
            return condition();
        },
        10000);
}

TEST(TerminationSignalsTest, EachSignalArrivesOnTheEventLoopAndTheOldHandlersComeBack)
{
    test::qtApplication<QApplication>();
    struct sigaction before {
    };
    ::sigaction(SIGTERM, nullptr, &before);
    {
        std::vector<int> received;
        TerminationSignals handlers([&](int signal) { received.push_back(signal); });
        ASSERT_TRUE(handlers.installed());
        // A second object cannot take the pipe over.
        EXPECT_FALSE(TerminationSignals([](int) {}).installed());
        ASSERT_EQ(::raise(SIGTERM), 0);
        ASSERT_EQ(::raise(SIGINT), 0);
        ASSERT_EQ(::raise(SIGHUP), 0);
        EXPECT_TRUE(received.empty()); // nothing runs inside the handler
        processEventsUntil([&] { return received.size() == 3; });
        EXPECT_EQ(received, (std::vector<int>{SIGTERM, SIGINT, SIGHUP}));
    }
    struct sigaction after {
    };
    ::sigaction(SIGTERM, nullptr, &after);
    EXPECT_EQ(after.sa_handler, before.sa_handler);
}

TEST(TerminationSignalsTest, ASignalOrTheApplicationQuittingEndsTheProgramOnce)
{
    test::qtApplication<QApplication>();
    {
        CountingWindow window;
        window.show();
        onEndRequests(window, [&window] { window.close(); });
        ASSERT_EQ(::raise(SIGHUP), 0);
        processEventsUntil([&] { return window.closes > 0; });
        EXPECT_EQ(window.closes, 1);
        EXPECT_FALSE(window.isVisible());
    }
    {
        CountingWindow window;
        window.show();
        onEndRequests(window, [&window] { window.close(); });
        QTimer::singleShot(0, qApp, &QCoreApplication::quit);
        QTimer::singleShot(10000, qApp, &QCoreApplication::quit); // a limit should the first be lost
        qApp->exec();
        EXPECT_EQ(window.closes, 1);
    }
}

} // namespace
} // namespace tunevale
