#include "DiscLookup.h"
#include "LookupAnswers.h"
#include "LoopbackHttpServer.h"
#include "QtApplication.h"
#include "QtHttpClient.h"
#include "RequestSpacing.h"
#include "ScopedEnv.h"
#include "cd/AccurateRipChecksum.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <gtest/gtest.h>

using namespace tunevale;
using namespace tunevale::test;
using Server = LoopbackHttpServer;

namespace
{

// The v1 and v2 checksums of each track of a disc of noise laid out as toc says.
std::vector<std::pair<std::uint32_t, std::uint32_t>> noiseChecksums(const DiscToc& toc)
{
    std::vector<std::pair<std::uint32_t, std::uint32_t>> sums;
    std::uint32_t state = 12345;
    for (int number = toc.firstTrack; number <= toc.lastTrack(); ++number) {
        const std::int64_t samples = static_cast<std::int64_t>(toc.trackFrames(number)) * 588;
        std::vector<std::uint8_t> pcm(static_cast<std::size_t>(samples) * 4);
        for (auto& byte : pcm) {
            state = state * 1664525u + 1013904223u;
            byte = static_cast<std::uint8_t>(state >> 24);
        }
        AccurateRipChecksum checksum(number == toc.firstTrack, number == toc.lastTrack(), samples);
        checksum.add(pcm.data(), pcm.size());
        sums.emplace_back(checksum.v1(), checksum.v2());
    }
    return sums;
}

std::string accurateRipPath(const DiscToc& toc)
{
    const std::string url = accurateRipUrl(accurateRipDiscIds(toc));
    return url.substr(url.find("/accuraterip/"));
}

struct DiscLookupTest : WithQtApplication<QCoreApplication>, ::testing::Test {
    Server server;
    QtHttpClient client;
    ScopedEnv musicBrainz{"TUNEVALE_MUSICBRAINZ_URL", server.address()};
    ScopedEnv coverArt{"TUNEVALE_COVERART_URL", server.address() + "/caa"};
    ScopedEnv accurateRip{"TUNEVALE_ACCURATERIP_URL", server.address()};
    DiscLookup lookup{client, tunevaleUserAgent("1.0.0.4"), 2000};
    DiscToc toc = threeTrackToc();
    std::string discId = musicBrainzDiscId(toc);
    std::string releasePath = "/ws/2/discid/" + discId + "?inc=artist-credits+recordings&fmt=json";
};

} // namespace

TEST_F(DiscLookupTest, ReleaseIsFoundByDiscIdWithTheUserAgentMusicBrainzAsksFor)
{
    server.serve(releasePath, {200, "application/json", QByteArray::fromStdString(discIdAnswer(discId))});
    const ReleaseLookup found = lookup.release(toc);
    ASSERT_EQ(found.state, LookupState::Found) << found.problem;
    EXPECT_EQ(found.release.album, "Späte Lieder");
    EXPECT_EQ(found.release.titles.at(2), "Mittag");
    ASSERT_EQ(server.requests().size(), 1u);
    EXPECT_TRUE(
        server.requests()[0].head.contains("User-Agent: Tunevale/1.0.0.4 ( https://www.brindle-tunevale.example/ )"))
        << server.requests()[0].head.toStdString();
}

TEST_F(DiscLookupTest, UnknownDamagedAndServerErrorAnswersAreToldApart)
{
    EXPECT_EQ(lookup.release(toc).state, LookupState::NotFound);
    server.serve(releasePath, {200, "application/json", R"({"releases":[]})"});
    EXPECT_EQ(lookup.release(toc).state, LookupState::NotFound);
    server.serve(releasePath, {200, "application/json", "{\"releases\": [{\"id\": \"x\", \"med"});
    EXPECT_EQ(lookup.release(toc).state, LookupState::Damaged);
    server.serve(releasePath, {503, "text/plain", "slow down"});
    const ReleaseLookup busy = lookup.release(toc);
    EXPECT_EQ(busy.state, LookupState::Unavailable);
    EXPECT_NE(busy.problem.find("503"), std::string::npos);
}

TEST_F(DiscLookupTest, FrontCoverIsAPictureOrNothing)
{
    const QByteArray jpeg("\xFF\xD8\xFF\xE0\x00\x10JFIF\x00\x01\x01\x00\x00\x01\x00\x01\x00\x00\xFF\xD9", 24);
    server.serve("/caa/release/r1/front", {200, "image/jpeg", jpeg});
    server.serve("/caa/release/r2/front", {200, "text/html", "<html>no cover</html>"});
    const TagPicture cover = lookup.frontCover("r1");
    EXPECT_EQ(cover.mimeType, "image/jpeg");
    EXPECT_EQ(cover.bytes, std::vector<unsigned char>(jpeg.begin(), jpeg.end()));
    EXPECT_TRUE(lookup.frontCover("r2").empty());
    EXPECT_TRUE(lookup.frontCover("r3").empty());
    EXPECT_TRUE(lookup.frontCover("").empty());
}

TEST_F(DiscLookupTest, AccurateRipFileOfTheDiscChecksEachTrack)
{
    const auto sums = noiseChecksums(toc);
    const AccurateRipDiscIds ids = accurateRipDiscIds(toc);
    // Track 1 filed by its v1 checksum, track 2 by its v2 one, track 3 with another rip's.
    const std::string file = dbarEntry(ids, {{12, sums[0].first}, {3, 1}, {7, sums[2].first ^ 1}}) +
                             dbarEntry(ids, {{2, 5}, {4, sums[1].second}, {1, 6}});
    server.serve(accurateRipPath(toc), {200, "application/octet-stream", QByteArray::fromStdString(file)});
    const AccurateRipLookup check = lookup.accurateRip(toc);
    ASSERT_EQ(check.state, LookupState::Found) << check.problem;
    EXPECT_EQ(check.verdict(0, sums[0].first, sums[0].second), "accurate (confidence 12)");
    EXPECT_EQ(check.verdict(1, sums[1].first, sums[1].second), "accurate (confidence 4)");
    EXPECT_EQ(check.verdict(2, sums[2].first, sums[2].second), "mismatch");
}

TEST_F(DiscLookupTest, AccurateRipAbsentOrDamagedFilesAreSaid)
{
    EXPECT_EQ(lookup.accurateRip(toc).verdict(0, 1, 2), "not in database");
    server.serve(accurateRipPath(toc), {200, "application/octet-stream", "\x03\x01\x02"});
    const AccurateRipLookup damaged = lookup.accurateRip(toc);
    EXPECT_EQ(damaged.state, LookupState::Damaged);
    EXPECT_EQ(damaged.verdict(0, 1, 2), "not checked (the database file is damaged)");
}

TEST_F(DiscLookupTest, WithNoServerEveryLookupEndsQuicklyAsUnavailable)
{
    ScopedEnv nowhere("TUNEVALE_MUSICBRAINZ_URL", "http://127.0.0.1:1");
    ScopedEnv nowhereCovers("TUNEVALE_COVERART_URL", "http://127.0.0.1:1");
    ScopedEnv nowhereRips("TUNEVALE_ACCURATERIP_URL", "http://127.0.0.1:1");
    QElapsedTimer clock;
    clock.start();
    const ReleaseLookup release = lookup.release(toc);
    EXPECT_EQ(release.state, LookupState::Unavailable);
    EXPECT_FALSE(release.problem.empty());
    EXPECT_TRUE(lookup.frontCover("r1").empty());
    const AccurateRipLookup check = lookup.accurateRip(toc);
    EXPECT_EQ(check.state, LookupState::Unavailable);
    EXPECT_EQ(check.verdict(0, 1, 2).rfind("not checked (", 0), 0u);
    EXPECT_LT(clock.elapsed(), 6000);
}

TEST_F(DiscLookupTest, LookupsThroughASpacedClientArriveASecondApart)
{
    server.serve(releasePath, {200, "application/json", QByteArray::fromStdString(discIdAnswer(discId))});
    SpacedHttpClient spaced(client, std::chrono::seconds(1));
    DiscLookup polite(spaced, tunevaleUserAgent("1"), 2000);
    EXPECT_EQ(polite.release(toc).state, LookupState::Found);
    EXPECT_EQ(polite.release(toc).state, LookupState::Found);
    ASSERT_EQ(server.requests().size(), 2u);
    EXPECT_GE(server.requests()[1].arrivedMs - server.requests()[0].arrivedMs, 990);
}
