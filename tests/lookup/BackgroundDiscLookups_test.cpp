// Discs looked up on the lookups' own thread: each disc waits its turn once, its answers reach the
// run's engine before the caller is told, and a disc that can no longer be read is left alone. The
// run's engine gives a verdict on the last read of a track only.
#include "BackgroundDiscLookups.h"
#include "EngineFactory.h"
#include "InitAudioEngine.h"
#include "LookupAnswers.h"
#include "LoopbackHttpServer.h"
#include "NullEngine.h"
#include "QtApplication.h"
#include "QtHttpClient.h"
#include "RecordingMessageBox.h"
#include "ScopedEnv.h"
#include "TestSupport.h"
#include "cd/DiscListing.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>

#include <gtest/gtest.h>

#include <mutex>

using namespace tunevale;
using namespace tunevale::test;

namespace
{

// A cue sheet over a silent WAV image whose tracks start at the given seconds; total seconds long.
std::string writeAlbum(const std::filesystem::path& folder, const std::string& name, std::vector<int> starts, int total)
{
    const std::uint32_t bytes = static_cast<std::uint32_t>(total) * 44100 * 4;
    std::string wav = "RIFF" + littleEndianBytes(36 + bytes) + "WAVEfmt " + littleEndianBytes(16) +
                      std::string("\x01\x00\x02\x00", 4) + littleEndianBytes(44100) + littleEndianBytes(44100 * 4) +
                      std::string("\x04\x00\x10\x00", 4) + "data" + littleEndianBytes(bytes);
    wav.resize(wav.size() + bytes, '\0');
    writeFile(folder / (name + ".wav"), wav);
    std::string sheet = "FILE \"" + name + ".wav\" WAVE\n";
    for (std::size_t i = 0; i < starts.size(); ++i) {
        char track[96];
        std::snprintf(track, sizeof track, "  TRACK %02zu AUDIO\n    INDEX 01 %02d:%02d:00\n", i + 1, starts[i] / 60,
                      starts[i] % 60);
        sheet += track;
    }
    writeFile(folder / (name + ".cue"), sheet);
    return (folder / (name + ".cue")).string();
}

std::string discIdOf(const std::string& cue)
{
    DiscListing listing;
    int error = 0;
    std::string message;
    EXPECT_TRUE(listDiscTracks(cue, decodingOpener(), listing, error, message)) << message;
    return musicBrainzDiscId(listing.toc);
}

bool waitUntil(const std::function<bool()>& condition, int milliseconds = 20000)
{
    QElapsedTimer timer;
    timer.start();
    while (!condition()) {
        if (timer.elapsed() > milliseconds)
            return false;
        QThread::msleep(10);
    }
    return true;
}

} // namespace

TEST(BackgroundDiscLookups, EachWaitingDiscIsLookedUpOnceAndItsAnswersReachTheEngineBeforeTheCall)
{
    qtApplication<QCoreApplication>();
    TempDir dir;
    const std::string known = writeAlbum(dir.path(), "Known", {0, 3, 7}, 11);
    const std::string unknown = writeAlbum(dir.path(), "Unknown", {0, 5}, 9);
    const std::string knownId = discIdOf(known);
    LoopbackHttpServerThread server([&](LoopbackHttpServer& http) {
        http.serve("/ws/2/discid/" + knownId + "?inc=artist-credits+recordings&fmt=json",
                   {200, "application/json", QByteArray::fromStdString(discIdAnswer(knownId))});
    });
    std::vector<std::unique_ptr<ScopedEnv>> addresses;
    for (const char* name : {"TUNEVALE_MUSICBRAINZ_URL", "TUNEVALE_COVERART_URL", "TUNEVALE_ACCURATERIP_URL"})
        addresses.push_back(std::make_unique<ScopedEnv>(name, server.address()));

    NullEngine real;
    LookedUpDiscsEngine engine(real);
    std::mutex mutex;
    std::vector<std::string> told;
    std::vector<bool> tagsWhenTold;
    {
        BackgroundDiscLookups lookups(
            engine, [] { return std::unique_ptr<HttpClient>(std::make_unique<QtHttpClient>()); }, "Tunevale/test",
            [&](const std::string& disc) {
                const std::lock_guard lock(mutex);
                told.push_back(disc);
                tagsWhenTold.push_back(engine.releaseTags(disc + "/Track01.cda").has_value());
            });
        // The first disc keeps the thread a second at least (its requests are spaced), so the
        // other waits: asked for again meanwhile, it is looked up once.
        lookups.lookUp(known);
        lookups.lookUp(unknown);
        lookups.lookUp(unknown);
        lookups.lookUp((dir.path() / "Gone.cue").string());
        EXPECT_TRUE(lookups.busy());
        ASSERT_TRUE(waitUntil([&] { return !lookups.busy(); }));
    }
    // Two discs, each the release request (with its cover's when found) and the database file's.
    EXPECT_EQ(server.stop(), 5u);
    EXPECT_EQ(told, (std::vector<std::string>{known, unknown}));
    EXPECT_EQ(tagsWhenTold, (std::vector<bool>{true, false}));
    const auto tags = engine.releaseTags(known + "/Track02.cda");
    ASSERT_TRUE(tags.has_value());
    EXPECT_EQ(tags->title, "Mittag");
    EXPECT_EQ(tags->album, "Späte Lieder");
    EXPECT_FALSE(engine.releaseTags(known + "/Track04.cda").has_value());
    EXPECT_FALSE(engine.releaseTags(unknown + "/Track01.cda").has_value());
}

TEST(LookedUpDiscsEngine, AVerdictSpeaksOfTheLastWholeReadOfATrackOnly)
{
    TempDir dir;
    const std::string cue = writeAlbum(dir.path(), "Album", {0, 3}, 6);
    DiscListing listing;
    int error = 0;
    std::string message;
    ASSERT_TRUE(listDiscTracks(cue, decodingOpener(), listing, error, message)) << message;
    // Opened with its plug-ins as the programs open it: the decoders of the sheet's image among them.
    const auto real = makeEngine();
    RecordingMessageBox messages;
    std::array<std::string, 8> wmaTagNames;
    ASSERT_TRUE(InitAudioEngine(*real, messages, wmaTagNames));
    LookedUpDiscsEngine engine(*real);
    OnlineDisc online;
    online.accurateRip.state = LookupState::NotFound;
    engine.addDisc(cue, listing.toc, online);

    const std::string track = cue + "/Track02.cda";
    const auto read = [&](std::size_t most) {
        const EngineHandle handle = engine.StreamCreateFile(track, 0, 0, StreamFlag::DecodeOnly);
        ASSERT_NE(handle, 0u) << real->ErrorGetCode() << " " << real->ErrorGetMessage();
        std::vector<char> buffer(16384);
        std::size_t total = 0;
        while (total < most) {
            const std::int32_t got =
                engine.ChannelGetData(handle, buffer.data(), static_cast<std::uint32_t>(buffer.size()));
            if (got <= 0)
                break;
            total += static_cast<std::size_t>(got);
        }
        engine.StreamFree(handle);
    };
    read(SIZE_MAX);
    EXPECT_EQ(engine.accurateRipVerdict(track), "not in database");
    // Read again, only in part: the first read's verdict no longer holds.
    read(44100 * 4);
    EXPECT_EQ(engine.accurateRipVerdict(track), "");
    EXPECT_EQ(engine.accurateRipVerdict(cue + "/Track01.cda"), "");
    real->Free();
}
