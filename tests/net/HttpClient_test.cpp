#include "LoopbackHttpServer.h"
#include "QtApplication.h"
#include "QtHttpClient.h"
#include "RequestSpacing.h"
#include "ScopedEnv.h"
#include "ServiceAddresses.h"

#include <QCoreApplication>
#include <QTcpServer>

#include <gtest/gtest.h>

using namespace tunevale;
using namespace tunevale::test;
using Server = LoopbackHttpServer;

namespace
{

struct HttpClientTest : WithQtApplication<QCoreApplication>, ::testing::Test {
    HttpResponse get(const std::string& path, int timeoutMs = 5000)
    {
        return client.get(HttpRequest{server.address() + path, {{"User-Agent", "Tunevale/9 ( test )"}}, timeoutMs});
    }
    Server server;
    QtHttpClient client;
};

// A port that nothing listens on.
std::string closedAddress()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    const auto port = probe.serverPort();
    probe.close();
    return "http://127.0.0.1:" + std::to_string(port);
}

} // namespace

TEST_F(HttpClientTest, ReturnsStatusAndBodyAndSendsTheHeadersGiven)
{
    server.serve("/ws?x=1", {200, "application/json", "{\"a\":1}"});
    const HttpResponse response = get("/ws?x=1");
    EXPECT_TRUE(response.ok());
    EXPECT_EQ(response.status, 200);
    EXPECT_EQ(response.body, "{\"a\":1}");
    ASSERT_EQ(server.requests().size(), 1u);
    EXPECT_TRUE(server.requests()[0].head.contains("User-Agent: Tunevale/9 ( test )"));

    const HttpResponse missing = get("/nothing");
    EXPECT_TRUE(missing.answered());
    EXPECT_FALSE(missing.ok());
    EXPECT_EQ(missing.status, 404);
}

TEST_F(HttpClientTest, NoServerAndCutOffAnswersAreNoAnswer)
{
    const HttpResponse refused = client.get(HttpRequest{closedAddress() + "/x", {}, 5000});
    EXPECT_FALSE(refused.answered());
    EXPECT_FALSE(refused.error.empty());

    server.serve("/cut", {200, "application/octet-stream", QByteArray(4000, 'x'), Server::Delivery::CutOff});
    const HttpResponse cut = get("/cut");
    EXPECT_FALSE(cut.ok());
    EXPECT_TRUE(cut.body.empty());
}

TEST_F(HttpClientTest, SilentServerTimesOutInsteadOfHanging)
{
    server.serve("/silent", {200, "text/plain", "", Server::Delivery::Silent});
    QElapsedTimer clock;
    clock.start();
    const HttpResponse response = get("/silent", 300);
    EXPECT_FALSE(response.answered());
    EXPECT_NE(response.error.find("300 ms"), std::string::npos) << response.error;
    EXPECT_LT(clock.elapsed(), 5000);
}

TEST_F(HttpClientTest, SpacedRequestsToOneHostArriveAnIntervalApartOthersDoNot)
{
    server.serve("/a", {200, "text/plain", "a"});
    SpacedHttpClient spaced(client, std::chrono::milliseconds(400));
    for (int i = 0; i < 3; ++i)
        EXPECT_TRUE(spaced.get(HttpRequest{server.address() + "/a", {}, 5000}).ok());
    ASSERT_EQ(server.requests().size(), 3u);
    EXPECT_GE(server.requests()[1].arrivedMs - server.requests()[0].arrivedMs, 390);
    EXPECT_GE(server.requests()[2].arrivedMs - server.requests()[1].arrivedMs, 390);

    // "localhost" is another host name: its first request does not wait for 127.0.0.1's turn.
    RequestSpacing spacing(std::chrono::milliseconds(2000));
    spacing.waitTurn("127.0.0.1:1");
    const auto before = std::chrono::steady_clock::now();
    spacing.waitTurn("localhost:1");
    EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::milliseconds(1000));
}

TEST(HostOf, TakesTheHostAndPortOfAnAddress)
{
    EXPECT_EQ(hostOf("https://MusicBrainz.org/ws/2/discid/x?inc=a"), "musicbrainz.org");
    EXPECT_EQ(hostOf("http://127.0.0.1:8080/x"), "127.0.0.1:8080");
    EXPECT_EQ(hostOf("http://user@host.example"), "host.example");
    EXPECT_EQ(hostOf("http://a.example?q=/b"), "a.example");
}

TEST(ServiceAddresses, EnvironmentOverridesTheStandardAddresses)
{
    {
        ScopedEnv musicBrainz("TUNEVALE_MUSICBRAINZ_URL", std::nullopt);
        ScopedEnv coverArt("TUNEVALE_COVERART_URL", "");
        ScopedEnv accurateRip("TUNEVALE_ACCURATERIP_URL", std::nullopt);
        EXPECT_EQ(musicBrainzAddress(), "https://musicbrainz.org");
        EXPECT_EQ(coverArtAddress(), "https://coverartarchive.org");
        EXPECT_EQ(accurateRipAddress(), "http://www.accuraterip.com");
    }
    ScopedEnv musicBrainz("TUNEVALE_MUSICBRAINZ_URL", "http://127.0.0.1:5000/");
    ScopedEnv accurateRip("TUNEVALE_ACCURATERIP_URL", "http://127.0.0.1:5001");
    EXPECT_EQ(musicBrainzAddress(), "http://127.0.0.1:5000");
    EXPECT_EQ(accurateRipAddress(), "http://127.0.0.1:5001");
}
