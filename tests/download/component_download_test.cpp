#include "ComponentDownload.h"
#include "Endpoints.h"
#include "LocalHttpServer.h"
#include "NetworkConnectivity.h"
#include "QtApplication.h"
#include "RecordingMessageBox.h"
#include "RecordingShell.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QEvent>
#include <QLabel>
#include <QNetworkAccessManager>
#include <QNetworkProxy>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>

#include <functional>

namespace tunevale
{
namespace
{

constexpr int kPayloadSize = 3 * 1024 * 1024 + 7;

class FixedConnectivity : public Connectivity
{
public:
    bool isConnected(const QUrl&) override
    {
        ++asked;
        return connected;
    }
    bool connected = true;
    int asked = 0;
};

// Watches for the modal download dialog while DownloadFile runs and hands it to a check, which
// returns true once it has done its part: as the dialog shows (a quick download may end before
// any timer fires), then every 10 ms. Gives up after a minute so that a fault cannot hang.
class DialogWatcher : public QObject
{
public:
    explicit DialogWatcher(std::function<bool(QWidget*)> check) : m_check(std::move(check))
    {
        qApp->installEventFilter(this);
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            if (++m_ticks > 6000) {
                if (QWidget* dialog = QApplication::activeModalWidget())
                    dialog->close();
                m_timer.stop();
                return;
            }
            if (QWidget* dialog = QApplication::activeModalWidget())
                checkDialog(dialog);
        });
        m_timer.start(10);
    }
    ~DialogWatcher() override { qApp->removeEventFilter(this); }
    bool gaveUp() const { return m_ticks > 6000; }

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Show && watched->isWidgetType()) {
            auto* widget = static_cast<QWidget*>(watched);
            if (widget->isWindow() && widget->isModal())
                checkDialog(widget);
        }
        return false;
    }

private:
    void checkDialog(QWidget* dialog)
    {
        if (m_timer.isActive() && m_check(dialog))
            m_timer.stop();
    }

    std::function<bool(QWidget*)> m_check;
    QTimer m_timer;
    int m_ticks = 0;
};

class ComponentDownloadTest : public ::testing::Test, private test::WithQtApplication<QApplication>
{
protected:
    ComponentDownloadTest() : server(test::testPayload(kPayloadSize)), download(messages, shell, connectivity, network)
    {
        network.setProxy(QNetworkProxy::NoProxy);
        shell.succeeds = false; // no program opens anything here, as when the file never arrived
    }

    std::string destination() const { return (folder / "wmfdist.exe").string(); }

    test::LocalHttpServer server;
    test::RecordingMessageBox messages;
    test::RecordingShell shell;
    FixedConnectivity connectivity;
    QNetworkAccessManager network;
    ComponentDownload download;
    test::TempDir folder;
};

TEST_F(ComponentDownloadTest, DownloadsBehindAProgressDialogWithTheCaptions)
{
    QString windowTitle, labels;
    DialogWatcher watcher([&](QWidget* dialog) {
        windowTitle = dialog->windowTitle();
        for (auto* label : dialog->findChildren<QLabel*>())
            labels += label->text() + "|";
        return true;
    });

    download.DownloadFile(server.url("/file").toString().toStdString(), destination(), "Windows Media Format 9.0...");

    EXPECT_FALSE(watcher.gaveUp());
    EXPECT_EQ(windowTitle, "Downloading Windows Media Format 9.0...");
    EXPECT_TRUE(labels.split('|').contains("Downloading Windows Media Format 9.0...")) << labels.toStdString();
    EXPECT_TRUE(labels.contains("Downloading Windows Media Format 9.0..., Please wait....")) << labels.toStdString();
    EXPECT_TRUE(test::readFile(destination()) == test::testPayload(kPayloadSize).toStdString());
    EXPECT_TRUE(messages.shown.empty());
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

TEST_F(ComponentDownloadTest, CancelButtonEndsTheDownloadWithoutAFile)
{
    DialogWatcher watcher([](QWidget* dialog) {
        // Wait for the first bytes, so that the cancel hits a running transfer.
        if (dialog->findChild<QLabel*>("status")->text().isEmpty())
            return false;
        dialog->findChild<QPushButton*>("cancel")->click();
        return true;
    });

    download.DownloadFile(server.url("/stall").toString().toStdString(), destination(), "Windows Media Format 9.0...");

    EXPECT_FALSE(watcher.gaveUp());
    EXPECT_FALSE(std::filesystem::exists(destination()));
    EXPECT_TRUE(std::filesystem::is_empty(folder.path()));
}

TEST_F(ComponentDownloadTest, FailureStaysOnScreenWithItsReasonUntilClosed)
{
    QString status, button;
    DialogWatcher watcher([&](QWidget* dialog) {
        auto* close = dialog->findChild<QPushButton*>("cancel");
        if (close->text() != "Close")
            return false;
        status = dialog->findChild<QLabel*>("status")->text();
        button = close->text();
        close->click();
        return true;
    });

    download.DownloadFile(server.url("/missing").toString().toStdString(), destination(),
                          "Windows Media Format 9.0...");

    EXPECT_FALSE(watcher.gaveUp());
    EXPECT_TRUE(status.contains("404") || status.contains("not found", Qt::CaseInsensitive)) << status.toStdString();
    EXPECT_FALSE(std::filesystem::exists(destination()));
}

TEST_F(ComponentDownloadTest, WithoutConnectionTellsTheUserAndReturns)
{
    connectivity.connected = false;
    download.DownloadFile(server.url("/file").toString().toStdString(), destination(), "Windows Media Format 9.0...");

    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].text, "You are not connected to internet");
    EXPECT_EQ(messages.shown[0].title, "Tunevale");
    EXPECT_EQ(messages.shown[0].icon, MessageIcon::None);
    EXPECT_EQ(messages.shown[0].buttons, MessageButtons::Ok);
    EXPECT_EQ(server.requests(), 0);
    EXPECT_FALSE(std::filesystem::exists(destination()));
}

TEST_F(ComponentDownloadTest, DownloadButtonOpensTheDestinationEvenAfterAFailedDownload)
{
    connectivity.connected = false;
    download.cmdDownloadWMF_Click();

    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].text, "You are not connected to internet");
    const auto expected = ComponentDownload::wmaSupportDestination();
    EXPECT_EQ(expected.filename(), endpoints::kWmaSupportFileName);
    EXPECT_EQ(shell.opened, std::vector<std::string>{expected.string()});
}

TEST_F(ComponentDownloadTest, SiteButtonOpensThePageWithoutANetworkCheck)
{
    download.cmdOpenWMSite_Click();
    EXPECT_EQ(shell.opened, std::vector<std::string>{endpoints::kWmaSupportPageUrl});
    EXPECT_EQ(connectivity.asked, 0);
    EXPECT_TRUE(messages.shown.empty());
}

TEST(NetworkConnectivityTest, AddressesOnThisMachineCountAsConnected)
{
    NetworkConnectivity connectivity;
    EXPECT_TRUE(connectivity.isConnected(QUrl("http://127.0.0.1:8080/file")));
    EXPECT_TRUE(connectivity.isConnected(QUrl("http://localhost/file")));
    EXPECT_TRUE(connectivity.isConnected(QUrl("http://[::1]/file")));
}

} // namespace
} // namespace tunevale
