#include "LogindPowerOff.h"
#include "PrivateBus.h"
#include "ShutdownWindows.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusContext>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QThread>

#include <cstdlib>
#include <memory>
#include <mutex>

namespace tunevale
{
namespace
{

const QString kSessionPath = QStringLiteral("/org/freedesktop/login1/session/_34");

struct Call {
    QString path, interface, member, signature;
    QVariantList arguments;
};

class CallLog
{
public:
    void add(const QDBusMessage& message)
    {
        std::lock_guard lock(m_mutex);
        m_calls.push_back(
            {message.path(), message.interface(), message.member(), message.signature(), message.arguments()});
    }
    std::vector<Call> take()
    {
        std::lock_guard lock(m_mutex);
        return std::exchange(m_calls, {});
    }

private:
    std::mutex m_mutex;
    std::vector<Call> m_calls;
};

// Answers like logind, or refuses every request as logind does without the right to ask.
class FakeLoginManager : public QObject, protected QDBusContext
{
    Q_OBJECT
public:
    FakeLoginManager(CallLog& log, bool refuse) : m_log(log), m_refuse(refuse) {}

public slots:
    void PowerOff(bool) { answer(); }
    void Reboot(bool) { answer(); }
    void TerminateSession(const QString&) { answer(); }
    QDBusObjectPath GetSessionByPID(uint)
    {
        answer();
        return QDBusObjectPath(kSessionPath);
    }

private:
    void answer()
    {
        m_log.add(message());
        if (m_refuse)
            sendErrorReply(QDBusError::AccessDenied, QStringLiteral("Permission denied"));
    }

    CallLog& m_log;
    bool m_refuse;
};

class FakeSession : public QObject, protected QDBusContext
{
    Q_OBJECT
public:
    FakeSession(CallLog& log, bool refuse) : m_log(log), m_refuse(refuse) {}

public slots:
    void Terminate()
    {
        m_log.add(message());
        if (m_refuse)
            sendErrorReply(QDBusError::AccessDenied, QStringLiteral("Permission denied"));
    }

private:
    CallLog& m_log;
    bool m_refuse;
};

// The fake login manager on the private bus, answering from its own thread so that the blocking
// calls of the code under test get their replies.
class FakeLogind
{
public:
    FakeLogind(const QString& address, bool refuse)
        : m_manager(new FakeLoginManager(log, refuse)), m_session(new FakeSession(log, refuse)),
          m_bus(QDBusConnection::connectToBus(address, QStringLiteral("fake-login1")))
    {
        m_manager->moveToThread(&m_thread);
        m_session->moveToThread(&m_thread);
        m_thread.start();
        registered = m_bus.registerService(QStringLiteral("org.freedesktop.login1")) &&
                     m_bus.registerObject(QStringLiteral("/org/freedesktop/login1"),
                                          QStringLiteral("org.freedesktop.login1.Manager"), m_manager.get(),
                                          QDBusConnection::ExportAllSlots) &&
                     m_bus.registerObject(kSessionPath, QStringLiteral("org.freedesktop.login1.Session"),
                                          m_session.get(), QDBusConnection::ExportAllSlots);
    }

    ~FakeLogind()
    {
        m_bus.unregisterObject(kSessionPath);
        m_bus.unregisterObject(QStringLiteral("/org/freedesktop/login1"));
        m_bus.unregisterService(QStringLiteral("org.freedesktop.login1"));
        QDBusConnection::disconnectFromBus(QStringLiteral("fake-login1"));
        m_thread.quit();
        m_thread.wait(10000);
    }

    CallLog log;
    bool registered = false;

private:
    QThread m_thread;
    std::unique_ptr<FakeLoginManager> m_manager;
    std::unique_ptr<FakeSession> m_session;
    QDBusConnection m_bus;
};

class LogindPowerOffTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        folder = new test::TempDir;
        bus = new test::PrivateBus(folder->path());
        // Should anything reach for the well-known buses, it finds the private one.
        setenv("DBUS_SYSTEM_BUS_ADDRESS", bus->address().toUtf8().constData(), 1);
        setenv("DBUS_SESSION_BUS_ADDRESS", bus->address().toUtf8().constData(), 1);
        static int argc = 1;
        static char name[] = "logind_power_off_test";
        static char* argv[] = {name, nullptr};
        static QCoreApplication app(argc, argv);
    }
    static void TearDownTestSuite()
    {
        QDBusConnection::disconnectFromBus(QStringLiteral("tunevale-test"));
        delete bus;
        delete folder;
    }

    void SetUp() override { ASSERT_FALSE(bus->address().isEmpty()) << "dbus-daemon did not start"; }

    static QDBusConnection privateBus()
    {
        return QDBusConnection::connectToBus(bus->address(), QStringLiteral("tunevale-test"));
    }

    static inline test::TempDir* folder = nullptr;
    static inline test::PrivateBus* bus = nullptr;
};

TEST_F(LogindPowerOffTest, EachModeMakesItsCall)
{
    FakeLogind logind(bus->address(), false);
    ASSERT_TRUE(logind.registered);
    LogindPowerOff powerOff(privateBus());

    for (int mode : {1, 8}) {
        ShutdownWindows(mode, powerOff);
        const auto calls = logind.log.take();
        ASSERT_EQ(calls.size(), 1u) << "mode " << mode;
        EXPECT_EQ(calls[0].path, "/org/freedesktop/login1");
        EXPECT_EQ(calls[0].interface, "org.freedesktop.login1.Manager");
        EXPECT_EQ(calls[0].member, "PowerOff");
        EXPECT_EQ(calls[0].signature, "b");
        EXPECT_EQ(calls[0].arguments, QVariantList{false});
    }

    ShutdownWindows(2, powerOff);
    auto calls = logind.log.take();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].member, "Reboot");
    EXPECT_EQ(calls[0].signature, "b");
    EXPECT_EQ(calls[0].arguments, QVariantList{false});

    // Logging off ends this process's own session.
    ShutdownWindows(0, powerOff);
    calls = logind.log.take();
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0].member, "GetSessionByPID");
    EXPECT_EQ(calls[0].signature, "u");
    EXPECT_EQ(calls[0].arguments, QVariantList{static_cast<uint>(QCoreApplication::applicationPid())});
    EXPECT_EQ(calls[1].path, kSessionPath);
    EXPECT_EQ(calls[1].interface, "org.freedesktop.login1.Session");
    EXPECT_EQ(calls[1].member, "Terminate");
    EXPECT_TRUE(calls[1].arguments.isEmpty());

    for (int mode : {-1, 3, 4, 5, 7, 9, 12, 0x7fffffff}) {
        ShutdownWindows(mode, powerOff);
        EXPECT_TRUE(logind.log.take().empty()) << "mode " << mode;
    }
}

TEST_F(LogindPowerOffTest, RefusalIsSilent)
{
    FakeLogind logind(bus->address(), true);
    ASSERT_TRUE(logind.registered);
    LogindPowerOff powerOff(privateBus());

    for (int mode : {1, 2, 8}) {
        ShutdownWindows(mode, powerOff);
        EXPECT_EQ(logind.log.take().size(), 1u) << "mode " << mode;
    }
    // Without its session the log-off stops there.
    ShutdownWindows(0, powerOff);
    const auto calls = logind.log.take();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].member, "GetSessionByPID");
}

TEST_F(LogindPowerOffTest, MissingLoginManagerOrBusIsSilent)
{
    LogindPowerOff withoutService(privateBus());
    LogindPowerOff withoutBus(
        QDBusConnection::connectToBus(QStringLiteral("unix:path=/nonexistent/bus"), QStringLiteral("tunevale-dead")));
    for (int mode : {0, 1, 2, 8}) {
        ShutdownWindows(mode, withoutService);
        ShutdownWindows(mode, withoutBus);
    }
    QDBusConnection::disconnectFromBus(QStringLiteral("tunevale-dead"));
}

} // namespace
} // namespace tunevale

#include "logind_power_off_test.moc"
