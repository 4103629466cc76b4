#include "DesktopBatchStatus.h"
#include "PrivateBus.h"
#include "RecordingShell.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QThread>

#include <cstdlib>
#include <memory>
#include <mutex>

namespace tunevale
{
namespace
{

const QString kNotifyPath = QStringLiteral("/org/freedesktop/Notifications");
const QString kNotifyInterface = QStringLiteral("org.freedesktop.Notifications");

struct Notification {
    QString appName, icon, summary, body;
    uint replaces = 0;
    QStringList actions;
    QVariantMap hints;
    int timeout = 0;
};

// A notification server that records what it is asked to show and numbers the notifications
// from 41 up. It answers from its own thread, as a real server answers from its own process.
class FakeNotifications : public QObject
{
    Q_OBJECT
public:
    std::vector<Notification> take()
    {
        std::lock_guard lock(m_mutex);
        return std::exchange(m_shown, {});
    }

public slots:
    uint Notify(const QString& appName, uint replaces, const QString& icon, const QString& summary, const QString& body,
                const QStringList& actions, const QVariantMap& hints, int timeout)
    {
        std::lock_guard lock(m_mutex);
        m_shown.push_back({appName, icon, summary, body, replaces, actions, hints, timeout});
        return m_nextId++;
    }

private:
    std::mutex m_mutex;
    std::vector<Notification> m_shown;
    uint m_nextId = 41;
};

class NotificationServer
{
public:
    explicit NotificationServer(const QString& address)
        : m_bus(QDBusConnection::connectToBus(address, QStringLiteral("fake-notifications")))
    {
        m_server.moveToThread(&m_thread);
        m_thread.start();
        registered = m_bus.registerService(kNotifyInterface) &&
                     m_bus.registerObject(kNotifyPath, kNotifyInterface, &m_server, QDBusConnection::ExportAllSlots);
    }
    ~NotificationServer()
    {
        m_bus.unregisterObject(kNotifyPath);
        m_bus.unregisterService(kNotifyInterface);
        QDBusConnection::disconnectFromBus(QStringLiteral("fake-notifications"));
        m_thread.quit();
        m_thread.wait(10000);
    }

    // What the server says when the user clicks an action or the notification goes away.
    void emitSignal(const char* name, const QVariantList& arguments)
    {
        auto signal = QDBusMessage::createSignal(kNotifyPath, kNotifyInterface, QString::fromLatin1(name));
        signal.setArguments(arguments);
        m_bus.send(signal);
    }

    std::vector<Notification> take() { return m_server.take(); }
    bool registered = false;

private:
    QThread m_thread;
    FakeNotifications m_server;
    QDBusConnection m_bus;
};

// Records the taskbar's launcher-entry signals seen on the bus.
class LauncherListener : public QObject
{
    Q_OBJECT
public:
    explicit LauncherListener(QDBusConnection bus) : m_bus(std::move(bus))
    {
        connected = m_bus.connect(QString(), QString(), QStringLiteral("com.canonical.Unity.LauncherEntry"),
                                  QStringLiteral("Update"), this, SLOT(Update(QString, QVariantMap)));
    }

    struct Update_ {
        QString uri;
        QVariantMap properties;
    };
    std::vector<Update_> updates;
    bool connected = false;

public slots:
    void Update(const QString& uri, const QVariantMap& properties) { updates.push_back({uri, properties}); }

private:
    QDBusConnection m_bus;
};

bool pumpUntil(const std::function<bool()>& condition)
{
    return test::eventually(
        [&] {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
            return condition();
        },
        10000, 5);
}

// Lets whatever is under way on the bus arrive, for checks that something did not happen.
void pumpFor(int milliseconds)
{
    test::eventually(
        [] {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
            return false;
        },
        milliseconds, 5);
}

class DesktopBatchStatusTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        folder = new test::TempDir;
        bus = new test::PrivateBus(folder->path());
        setenv("DBUS_SESSION_BUS_ADDRESS", bus->address().toUtf8().constData(), 1);
        setenv("DBUS_SYSTEM_BUS_ADDRESS", bus->address().toUtf8().constData(), 1);
        static int argc = 1;
        static char name[] = "desktop_batch_status_test";
        static char* argv[] = {name, nullptr};
        static QCoreApplication app(argc, argv);
    }
    static void TearDownTestSuite()
    {
        QDBusConnection::disconnectFromBus(QStringLiteral("tunevale-status"));
        QDBusConnection::disconnectFromBus(QStringLiteral("listener"));
        delete bus;
        delete folder;
    }

    void SetUp() override { ASSERT_FALSE(bus->address().isEmpty()) << "dbus-daemon did not start"; }

    static QDBusConnection connection(const char* name)
    {
        return QDBusConnection::connectToBus(bus->address(), QString::fromLatin1(name));
    }

    static inline test::TempDir* folder = nullptr;
    static inline test::PrivateBus* bus = nullptr;
    test::RecordingShell shell;
};

TEST(RunSummaryText, CountsWhatCompletedFailedAndWasCancelled)
{
    EXPECT_EQ(runSummaryBody({7, 1, 2, "/out"}), "7 files completed, 1 failed, 2 cancelled.");
    EXPECT_EQ(runSummaryBody({1, 0, 0, "/out"}), "1 file completed.");
    EXPECT_EQ(runSummaryBody({0, 3, 0, ""}), "3 files failed.");
    EXPECT_EQ(runSummaryBody({0, 0, 1, ""}), "1 file cancelled.");
    EXPECT_EQ(runSummaryBody({0, 2, 5, ""}), "2 files failed, 5 cancelled.");
    EXPECT_EQ(runSummaryBody({}), "No files converted.");
    EXPECT_EQ(runSummaryTitle({3, 0, 0, ""}), "Conversion finished");
    EXPECT_EQ(runSummaryTitle({3, 1, 0, ""}), "Conversion ended");
    EXPECT_EQ(runSummaryTitle({3, 0, 1, ""}), "Conversion ended");
}

TEST_F(DesktopBatchStatusTest, ProgressGoesToTheTaskbarOncePerPercentAndIsClearedAtTheEnd)
{
    LauncherListener listener(connection("listener"));
    ASSERT_TRUE(listener.connected);
    DesktopBatchStatus status(connection("tunevale-status"), shell, QStringLiteral("org.example.Tunevale"));

    for (double fraction : {0.0, 0.001, 0.25, 0.2549, 0.5, 1.2})
        status.showProgress(fraction);
    status.runFinished({2, 0, 0, ""}, true);
    ASSERT_TRUE(pumpUntil([&] { return listener.updates.size() >= 5; }));
    pumpFor(200);

    ASSERT_EQ(listener.updates.size(), 5u);
    const std::vector<double> shown{0.0, 0.25, 0.5, 1.0};
    for (std::size_t i = 0; i < shown.size(); ++i) {
        EXPECT_EQ(listener.updates[i].uri, "application://org.example.Tunevale.desktop");
        EXPECT_DOUBLE_EQ(listener.updates[i].properties.value("progress").toDouble(), shown[i]);
        EXPECT_EQ(listener.updates[i].properties.value("progress-visible"), QVariant(true));
    }
    EXPECT_EQ(listener.updates[4].properties.value("progress-visible"), QVariant(false));

    // The next run starts from nothing again: its first percent is shown even when it repeats one.
    status.showProgress(0.0);
    ASSERT_TRUE(pumpUntil([&] { return listener.updates.size() == 6; }));
}

TEST_F(DesktopBatchStatusTest, NotificationTellsTheOutcomeAndItsActionOpensTheOutputFolder)
{
    NotificationServer server(bus->address());
    ASSERT_TRUE(server.registered);
    DesktopBatchStatus status(connection("tunevale-status"), shell, QStringLiteral("org.example.Tunevale"));

    status.runFinished({7, 1, 2, "/home/me/Converted Files"}, true);
    std::vector<Notification> shown;
    ASSERT_TRUE(pumpUntil([&] {
        auto more = server.take();
        shown.insert(shown.end(), more.begin(), more.end());
        return !shown.empty();
    }));
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].appName, "Tunevale");
    EXPECT_EQ(shown[0].replaces, 0u);
    EXPECT_EQ(shown[0].summary, "Conversion ended");
    EXPECT_EQ(shown[0].body, "7 files completed, 1 failed, 2 cancelled.");
    EXPECT_EQ(shown[0].actions, (QStringList{"open-folder", "Open folder"}));
    EXPECT_EQ(shown[0].hints.value("desktop-entry"), QVariant(QStringLiteral("org.example.Tunevale")));
    EXPECT_EQ(shown[0].timeout, -1);
    pumpFor(200); // the reply with the notification's id (41) reaches the status object

    // Another notification's action, or another action of this one, opens nothing.
    server.emitSignal("ActionInvoked", {uint(99), QStringLiteral("open-folder")});
    server.emitSignal("ActionInvoked", {uint(41), QStringLiteral("default")});
    pumpFor(200);
    EXPECT_TRUE(shell.opened.empty());

    server.emitSignal("ActionInvoked", {uint(41), QStringLiteral("open-folder")});
    ASSERT_TRUE(pumpUntil([&] { return !shell.opened.empty(); }));
    EXPECT_EQ(shell.opened, std::vector<std::string>{"/home/me/Converted Files"});

    // Once the server has closed it, the notification's action is gone.
    server.emitSignal("NotificationClosed", {uint(41), uint(2)});
    server.emitSignal("ActionInvoked", {uint(41), QStringLiteral("open-folder")});
    pumpFor(200);
    EXPECT_EQ(shell.opened.size(), 1u);
}

TEST_F(DesktopBatchStatusTest, NoFolderActionWithoutAFolderOrAConvertedFile)
{
    NotificationServer server(bus->address());
    ASSERT_TRUE(server.registered);
    DesktopBatchStatus status(connection("tunevale-status"), shell, QStringLiteral("org.example.Tunevale"));

    status.runFinished({3, 0, 0, ""}, true);
    status.runFinished({0, 2, 1, "/out"}, true);
    std::vector<Notification> shown;
    ASSERT_TRUE(pumpUntil([&] {
        auto more = server.take();
        shown.insert(shown.end(), more.begin(), more.end());
        return shown.size() >= 2;
    }));
    EXPECT_EQ(shown[0].summary, "Conversion finished");
    EXPECT_EQ(shown[0].body, "3 files completed.");
    EXPECT_TRUE(shown[0].actions.isEmpty());
    EXPECT_EQ(shown[1].body, "2 files failed, 1 cancelled.");
    EXPECT_TRUE(shown[1].actions.isEmpty());
}

TEST_F(DesktopBatchStatusTest, MissingNotificationServiceOrBusChangesNothing)
{
    DesktopBatchStatus withoutService(connection("tunevale-status"), shell, QStringLiteral("org.example.Tunevale"));
    DesktopBatchStatus withoutBus(
        QDBusConnection::connectToBus(QStringLiteral("unix:path=/nonexistent/bus"), QStringLiteral("tunevale-dead")),
        shell, QStringLiteral("org.example.Tunevale"));
    for (DesktopBatchStatus* status : {&withoutService, &withoutBus}) {
        status->showProgress(0.5);
        status->runFinished({1, 0, 0, "/out"}, true);
    }
    pumpFor(300);
    EXPECT_TRUE(shell.opened.empty());
    QDBusConnection::disconnectFromBus(QStringLiteral("tunevale-dead"));
}

} // namespace
} // namespace tunevale

#include "desktop_batch_status_test.moc"
