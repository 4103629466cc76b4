// Listed discs looked up online from the window: MusicBrainz's tags arrive in the rows' tooltips
// and in the outputs, the AccurateRip verdict shows over each completed job's Status, and a server
// that is missing or silent changes nothing but the time the tags take, the window never waiting.
#include "CdSettings.h"
#include "JobGrid.h"
#include "LookupAnswers.h"
#include "LoopbackHttpServer.h"
#include "MainWindowFixture.h"
#include "OutputSettingsModel.h"
#include "QtHttpClient.h"
#include "ScopedEnv.h"
#include "cd/AccurateRipChecksum.h"
#include "cd/DiscListing.h"

#include <QAbstractButton>
#include <QAbstractItemModel>
#include <QBuffer>
#include <QImage>
#include <QSignalSpy>

#include <random>

namespace tunevale
{
namespace
{

using test::MainWindowFixture;

constexpr std::int64_t SamplesPerSecond = 44100;

std::string littleEndian(std::uint32_t value, int bytes)
{
    std::string out;
    for (int i = 0; i < bytes; ++i)
        out += static_cast<char>((value >> (8 * i)) & 0xFF);
    return out;
}

std::string wavFile(const std::string& pcm)
{
    const auto size = static_cast<std::uint32_t>(pcm.size());
    return "RIFF" + littleEndian(36 + size, 4) + "WAVEfmt " + littleEndian(16, 4) + littleEndian(1, 2) +
           littleEndian(2, 2) + littleEndian(44100, 4) + littleEndian(44100 * 4, 4) + littleEndian(4, 2) +
           littleEndian(16, 2) + "data" + littleEndian(size, 4) + pcm;
}

// A 12-second album image of noise with its sheet (no title for track 3), the window with online
// lookups over Qt Network, and the services' addresses pointed at a server on 127.0.0.1.
class MainWindowCdLookup : public MainWindowFixture
{
protected:
    void SetUp() override
    {
        MainWindowFixture::SetUp();
        std::mt19937 random(5);
        pcm.resize(static_cast<std::size_t>(12 * SamplesPerSecond * 4 + 77 * 4));
        for (auto& byte : pcm)
            byte = static_cast<char>(random() & 0xFF);
        std::filesystem::create_directory(dir / "in");
        test::writeFile(dir / "in" / "Album.wav", wavFile(pcm));
        test::writeFile(dir / "in" / "Album.cue", "PERFORMER \"Band\"\nTITLE \"Record\"\nFILE \"Album.wav\" WAVE\n"
                                                  "  TRACK 01 AUDIO\n    TITLE \"One\"\n    INDEX 01 00:00:00\n"
                                                  "  TRACK 02 AUDIO\n    TITLE \"Two\"\n    INDEX 01 00:04:00\n"
                                                  "  TRACK 03 AUDIO\n    INDEX 01 00:08:30\n");
        cue = (dir / "in" / "Album.cue").string();
    }

    // The release with its cover, and a database file agreeing with track 1's v1 checksum (12 rips)
    // and track 2's v2 checksum (5 rips) but not with track 3. silent: the release is never answered.
    void serveTheAlbum(bool silent = false)
    {
        DiscListing listing;
        int error = 0;
        std::string message;
        ASSERT_TRUE(listDiscTracks(cue, decodingOpener(), listing, error, message)) << message;
        const DiscToc toc = listing.toc;
        const std::string discId = musicBrainzDiscId(toc);
        const std::int64_t starts[] = {0, 4 * SamplesPerSecond, (8 * 75 + 30) * 588,
                                       static_cast<std::int64_t>(pcm.size() / 4)};
        std::vector<std::pair<std::uint32_t, std::uint32_t>> sums;
        for (int track = 0; track < 3; ++track) {
            AccurateRipChecksum checksum(track == 0, track == 2, starts[track + 1] - starts[track]);
            checksum.add(reinterpret_cast<const std::uint8_t*>(pcm.data()) + starts[track] * 4,
                         static_cast<std::size_t>(starts[track + 1] - starts[track]) * 4);
            sums.emplace_back(checksum.v1(), checksum.v2());
        }
        const AccurateRipDiscIds ids = accurateRipDiscIds(toc);
        const std::string dbar = test::dbarEntry(ids, {{12, sums[0].first}, {2, 1}, {7, sums[2].second ^ 8}}) +
                                 test::dbarEntry(ids, {{3, 2}, {5, sums[1].second}, {1, 3}});
        const std::string arUrl = accurateRipUrl(ids);
        QImage cover(8, 8, QImage::Format_RGB32);
        cover.fill(Qt::darkCyan);
        QByteArray jpeg;
        QBuffer buffer(&jpeg);
        ASSERT_TRUE(cover.save(&buffer, "JPEG"));
        using Server = test::LoopbackHttpServer;
        server = std::make_unique<test::LoopbackHttpServerThread>([=](Server& http) {
            http.serve("/ws/2/discid/" + discId + "?inc=artist-credits+recordings&fmt=json",
                       {200, "application/json", QByteArray::fromStdString(test::discIdAnswer(discId)),
                        silent ? Server::Delivery::Silent : Server::Delivery::Whole});
            http.serve("/release/5b7f4a7e-2c3e-4e6a-9f0b-7d1a2e3c4b5a/front", {200, "image/jpeg", jpeg});
            http.serve(arUrl.substr(arUrl.find("/accuraterip/")),
                       {200, "application/octet-stream", QByteArray::fromStdString(dbar)});
        });
        pointServicesAt(server->address());
    }

    void pointServicesAt(const std::string& address)
    {
        addresses.clear();
        for (const char* name : {"TUNEVALE_MUSICBRAINZ_URL", "TUNEVALE_COVERART_URL", "TUNEVALE_ACCURATERIP_URL"})
            addresses.push_back(std::make_unique<test::ScopedEnv>(name, address));
    }

    void startLookingUp()
    {
        engine = makeEngine();
        frmMain::Services online = services(*engine);
        online.httpClients = [] { return std::unique_ptr<HttpClient>(std::make_unique<QtHttpClient>()); };
        window = std::make_unique<frmMain>(online);
        ASSERT_TRUE(window->Load());
        window->show();
        QCoreApplication::processEvents();
    }

    QString tip(int row, JobColumn column)
    {
        return window->Grid().model()->index(row, static_cast<int>(column)).data(Qt::ToolTipRole).toString();
    }

    void convertAll()
    {
        control<QAbstractButton>("cmdConvert")->click();
        ASSERT_TRUE(test::waitFor([&] { return !window->conversionFlags().bConverting; }, 120000));
        for (std::size_t row = 0; row < window->jobs().rsJobs().size(); ++row)
            ASSERT_EQ(window->jobs().rsJobs().at(row).State, JobState::Complete) << row;
    }

    // The title tag of each output, in name order.
    std::vector<std::string> outputTitles()
    {
        std::vector<std::filesystem::path> outputs;
        for (const auto& entry : std::filesystem::directory_iterator(dir / "Converted Files"))
            outputs.push_back(entry.path());
        std::sort(outputs.begin(), outputs.end());
        std::vector<std::string> titles;
        for (const auto& output : outputs)
            titles.push_back(test::ffprobe(output, "format_tags=title"));
        return titles;
    }

    std::string pcm;
    std::string cue;
    std::unique_ptr<test::LoopbackHttpServerThread> server;
    std::vector<std::unique_ptr<test::ScopedEnv>> addresses;
};

} // namespace

TEST_F(MainWindowCdLookup, TheReleasesTagsArriveInTheRowsAndOutputsAndAccurateRipShowsOverTheStatus)
{
    serveTheAlbum();
    // FLAC outputs, which hold the cover too.
    registry = std::make_unique<CRegister>(storeFile);
    registry->REGSaveSetting(RegistryRoot::LocalMachine, SettingsKey, "optFileFormat", "5");
    startLookingUp();
    addThroughDialog(cue);
    ASSERT_EQ(window->jobs().rsJobs().size(), 3u);
    QSignalSpy changed(window->Grid().model(), &QAbstractItemModel::dataChanged);
    // The grid is told once the answers are in.
    ASSERT_TRUE(test::waitFor([&] { return !changed.empty(); }));
    EXPECT_FALSE(window->lookingUpDiscs());
    EXPECT_EQ(tip(0, JobColumn::FilePath),
              QStringLiteral("Erstes Licht\nAnna Lind & The Fjords\nSpäte Lieder (2004-05-17)"));
    EXPECT_EQ(tip(2, JobColumn::FilePath), QStringLiteral("Nacht\nGuest Singer\nSpäte Lieder (2004-05-17)"));
    // Nothing is said over the Status before the tracks were read.
    EXPECT_TRUE(tip(0, JobColumn::Status).isEmpty());

    convertAll();
    EXPECT_EQ(tip(0, JobColumn::Status), QStringLiteral("AccurateRip: accurate (confidence 12)"));
    EXPECT_EQ(tip(1, JobColumn::Status), QStringLiteral("AccurateRip: accurate (confidence 5)"));
    EXPECT_EQ(tip(2, JobColumn::Status), QStringLiteral("AccurateRip: mismatch"));
    EXPECT_EQ(outputTitles(), (std::vector<std::string>{"Erstes Licht", "Mittag", "Nacht"}));
    const auto first = std::filesystem::directory_iterator(dir / "Converted Files")->path();
    EXPECT_EQ(test::ffprobe(first, "format_tags=album"), "Späte Lieder");
    const test::ProgramResult streams = test::runProgram(
        {"ffprobe", "-v", "error", "-show_entries", "stream=codec_name", "-of", "csv=p=0", first.string()});
    EXPECT_NE(streams.output.find("mjpeg"), std::string::npos) << "no front cover: " << streams.output;
    // One request each: the release, its cover, the database file.
    EXPECT_EQ(server->stop(), 3u);
}

TEST_F(MainWindowCdLookup, WithoutAServerTheTracksKeepTheirSheetsTitlesElseTrackNumbers)
{
    // A port nothing listens on: every request is refused.
    serveTheAlbum();
    const std::string address = server->address();
    server->stop();
    server.reset();
    pointServicesAt(address);
    startLookingUp();
    addThroughDialog(cue);
    ASSERT_EQ(window->jobs().rsJobs().size(), 3u);
    ASSERT_TRUE(test::waitFor([&] { return !window->lookingUpDiscs(); }));
    EXPECT_TRUE(tip(0, JobColumn::FilePath).isEmpty());

    convertAll();
    EXPECT_EQ(outputTitles(), (std::vector<std::string>{"One", "Two", "Track 03"}));
    // The database was not reached: no verdict, no tooltip.
    EXPECT_TRUE(tip(0, JobColumn::Status).isEmpty());
}

TEST_F(MainWindowCdLookup, TheStoredSettingTurnsTheLookupsOff)
{
    serveTheAlbum();
    registry = std::make_unique<CRegister>(storeFile);
    ASSERT_TRUE(saveCdSettings(*registry, {0, false}));
    startLookingUp();
    addThroughDialog(cue);
    ASSERT_EQ(window->jobs().rsJobs().size(), 3u);
    EXPECT_FALSE(window->lookingUpDiscs());
    QTest::qWait(300);
    EXPECT_EQ(server->stop(), 0u);
    EXPECT_TRUE(tip(0, JobColumn::FilePath).isEmpty());
}

TEST_F(MainWindowCdLookup, ASilentServerLeavesTheWindowAnsweringAndTheTracksConvertable)
{
    serveTheAlbum(true);
    startLookingUp();
    addThroughDialog(cue);
    ASSERT_EQ(window->jobs().rsJobs().size(), 3u);
    ASSERT_TRUE(window->lookingUpDiscs());
    // The window's events go on while the lookup waits for its answer.
    bool answered = false;
    QTimer::singleShot(0, window.get(), [&] { answered = true; });
    ASSERT_TRUE(test::waitFor([&] { return answered; }, 2000));
    EXPECT_TRUE(window->lookingUpDiscs());
    // A run meanwhile reads the tracks with the sheet's tags.
    convertAll();
    EXPECT_EQ(outputTitles(), (std::vector<std::string>{"One", "Two", "Track 03"}));
    EXPECT_TRUE(tip(0, JobColumn::FilePath).isEmpty());
}

} // namespace tunevale
