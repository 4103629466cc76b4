#include "Downloader.h"
#include "LocalHttpServer.h"
#include "QtApplication.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QNetworkAccessManager>
#include <QNetworkProxy>
#include <QSignalSpy>

#include <filesystem>

namespace tunevale
{
namespace
{

constexpr int kPayloadSize = 4 * 1024 * 1024 + 123;
constexpr int kWaitMs = 60000;

std::vector<std::string> namesIn(const std::filesystem::path& folder)
{
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    return names;
}

class DownloaderTest : public ::testing::Test, private test::WithQtApplication<QCoreApplication>
{
protected:
    DownloaderTest() : server(test::testPayload(kPayloadSize)) { network.setProxy(QNetworkProxy::NoProxy); }

    // Runs one download to its end and returns the outcome.
    Downloader::Outcome fetch(const QUrl& url, const std::filesystem::path& destination,
                              const std::function<void(Downloader&, qint64)>& onProgress = {})
    {
        Downloader downloader(network);
        QSignalSpy finished(&downloader, &Downloader::finished);
        QObject::connect(&downloader, &Downloader::progress, [&](qint64 received, qint64 total) {
            lastTotal = total;
            ++progressCalls;
            if (onProgress)
                onProgress(downloader, received);
        });
        downloader.start(url, QString::fromStdString(destination.string()));
        EXPECT_TRUE(finished.wait(kWaitMs));
        EXPECT_EQ(finished.count(), 1);
        errorText = downloader.errorText();
        return downloader.outcome();
    }

    test::LocalHttpServer server;
    QNetworkAccessManager network;
    test::TempDir folder;
    qint64 lastTotal = 0;
    int progressCalls = 0;
    QString errorText;
};

TEST_F(DownloaderTest, WholeFileLandsAtTheDestination)
{
    ASSERT_TRUE(server.listening());
    const auto destination = folder / "sub folder" / "wmfdist.exe";

    EXPECT_EQ(fetch(server.url("/file"), destination), Downloader::Outcome::Complete) << errorText.toStdString();

    const std::string bytes = test::readFile(destination);
    ASSERT_EQ(bytes.size(), static_cast<size_t>(kPayloadSize));
    EXPECT_TRUE(bytes == test::testPayload(kPayloadSize).toStdString());
    EXPECT_EQ(lastTotal, kPayloadSize);
    EXPECT_GT(progressCalls, 0);
    EXPECT_EQ(namesIn(folder / "sub folder"), std::vector<std::string>{"wmfdist.exe"});
    EXPECT_TRUE(errorText.isEmpty());
}

TEST_F(DownloaderTest, ASecondDownloadReplacesTheFirstWhole)
{
    const auto destination = folder / "wmfdist.exe";
    test::writeFile(destination, "old");
    EXPECT_EQ(fetch(server.url("/file"), destination), Downloader::Outcome::Complete);
    EXPECT_EQ(std::filesystem::file_size(destination), static_cast<uintmax_t>(kPayloadSize));
    EXPECT_EQ(fetch(server.url("/file"), destination), Downloader::Outcome::Complete);
    EXPECT_EQ(std::filesystem::file_size(destination), static_cast<uintmax_t>(kPayloadSize));
    EXPECT_EQ(namesIn(folder.path()).size(), 1u);
}

// A cut connection, a missing file and a refused connection fail, leave no file that looks
// complete, and leave an older file at the destination as it was.
TEST_F(DownloaderTest, FailuresLeaveNothingThatLooksComplete)
{
    QTcpServer closed;
    closed.listen(QHostAddress::LocalHost, 0);
    const QUrl refused(QStringLiteral("http://127.0.0.1:%1/file").arg(closed.serverPort()));
    closed.close();

    for (const QUrl& url : {server.url("/drop"), server.url("/missing"), refused}) {
        SCOPED_TRACE(url.toString().toStdString());
        const auto fresh = folder / "fresh.bin";
        EXPECT_EQ(fetch(url, fresh), Downloader::Outcome::Failed);
        EXPECT_FALSE(errorText.isEmpty());
        EXPECT_FALSE(std::filesystem::exists(fresh));

        const auto older = folder / "older.bin";
        test::writeFile(older, "the file from before");
        EXPECT_EQ(fetch(url, older), Downloader::Outcome::Failed);
        EXPECT_EQ(test::readFile(older), "the file from before");
        EXPECT_EQ(namesIn(folder.path()), std::vector<std::string>{"older.bin"});
        std::filesystem::remove(older);
    }
}

TEST_F(DownloaderTest, NotFoundSaysSo)
{
    EXPECT_EQ(fetch(server.url("/missing"), folder / "x"), Downloader::Outcome::Failed);
    EXPECT_TRUE(errorText.contains("404") || errorText.contains("not found", Qt::CaseInsensitive))
        << errorText.toStdString();
}

TEST_F(DownloaderTest, CancelStopsAndRemovesThePartialFile)
{
    const auto destination = folder / "wmfdist.exe";
    const auto outcome = fetch(server.url("/stall"), destination, [](Downloader& downloader, qint64 received) {
        if (received > 0)
            downloader.cancel();
    });
    EXPECT_EQ(outcome, Downloader::Outcome::Cancelled);
    EXPECT_TRUE(namesIn(folder.path()).empty());
}

TEST_F(DownloaderTest, UnwritableDestinationFailsWithoutAskingTheServer)
{
    test::writeFile(folder / "plain file", "x");
    EXPECT_EQ(fetch(server.url("/file"), folder / "plain file" / "wmfdist.exe"), Downloader::Outcome::Failed);
    EXPECT_FALSE(errorText.isEmpty());
    EXPECT_EQ(server.requests(), 0);
    EXPECT_EQ(test::readFile(folder / "plain file"), "x");
}

} // namespace
} // namespace tunevale
