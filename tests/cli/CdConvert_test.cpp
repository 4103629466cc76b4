// Album images and CD tracks on the command line: a cue sheet takes every track, a track path one.

#include "CliHarness.h"
#include "LookupAnswers.h"
#include "LoopbackHttpServer.h"
#include "QtApplication.h"
#include "ScopedEnv.h"
#include "cd/AccurateRipChecksum.h"
#include "cd/DiscListing.h"

#include <gtest/gtest.h>

#include <random>

namespace tunevale::test
{
namespace
{

using Lines = std::vector<std::string>;
constexpr std::size_t Second = 44100 * 4; // bytes of 16-bit stereo

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

// The bytes of a WAV file's data chunk, wherever its other chunks put it.
std::string wavData(const std::filesystem::path& file)
{
    const std::string bytes = readFile(file);
    for (std::size_t at = 12; at + 8 <= bytes.size();) {
        const std::uint32_t size = static_cast<unsigned char>(bytes[at + 4]) |
                                   static_cast<unsigned char>(bytes[at + 5]) << 8 |
                                   static_cast<unsigned char>(bytes[at + 6]) << 16 |
                                   static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[at + 7])) << 24;
        if (bytes.compare(at, 4, "data") == 0)
            return bytes.substr(at + 8, size);
        at += 8 + size + (size & 1);
    }
    ADD_FAILURE() << file << " has no data chunk";
    return {};
}

// A FLAC album of 30 s of noise with its cue sheet: a 2-second gap before track 2, and a last track
// that does not end on a sector.
class CueAlbumCli : public ::testing::Test
{
protected:
    void SetUp() override
    {
        cli.store("optOtherFolder", "True");
        cli.store("txtOutPath", cli.out().string());
        cli.store("optFileFormat", "0");
        std::mt19937 random(11);
        pcm.resize(30 * Second + 77 * 4);
        for (auto& byte : pcm)
            byte = static_cast<char>(random() & 0xFF);
        std::filesystem::create_directories(cli.in(""));
        writeFile(cli.in("album.wav"), wavFile(pcm));
        ASSERT_EQ(
            runProgram({"flac", "-s", "-o", cli.in("Album.flac").string(), cli.in("album.wav").string()}).exitCode, 0);
        std::filesystem::remove(cli.in("album.wav"));
        writeFile(cli.in("Album.cue"), "PERFORMER \"Band\"\nTITLE \"Record\"\nFILE \"Album.flac\" WAVE\n"
                                       "  TRACK 01 AUDIO\n    TITLE \"One\"\n    INDEX 01 00:00:00\n"
                                       "  TRACK 02 AUDIO\n    TITLE \"Two\"\n    INDEX 00 00:08:00\n"
                                       "    INDEX 01 00:10:00\n"
                                       "  TRACK 03 AUDIO\n    TITLE \"Three\"\n    INDEX 01 00:19:30\n");
        cue = cli.in("Album.cue").string();
    }

    CliHarness cli;
    std::string pcm;
    std::string cue;
};

} // namespace

TEST_F(CueAlbumCli, ConvertingASheetToWavGivesShntoolsTracksWhichJoinedAreTheImage)
{
    const auto run = cli.run({"convert", "-f", "wav", cue});
    ASSERT_EQ(run.exitCode, 0) << run.out << run.err;
    EXPECT_EQ(lines(run.out), (Lines{"Complete\t" + cue + "/Track01.cda\t" + (cli.out() / "Track01.wav").string(),
                                     "Complete\t" + cue + "/Track02.cda\t" + (cli.out() / "Track02.wav").string(),
                                     "Complete\t" + cue + "/Track03.cda\t" + (cli.out() / "Track03.wav").string()}));

    const std::filesystem::path split = cli.dir() / "shntool";
    std::filesystem::create_directory(split);
    const ProgramResult shntool = runProgram(
        {"shntool", "split", "-q", "-f", cue, "-d", split.string(), "-o", "wav", cli.in("Album.flac").string()});
    ASSERT_EQ(shntool.exitCode, 0) << shntool.output;
    std::string joined;
    for (int track = 1; track <= 3; ++track) {
        char name[32];
        std::snprintf(name, sizeof name, "Track%02d.wav", track);
        const std::string ours = wavData(cli.out() / name);
        std::snprintf(name, sizeof name, "split-track%02d.wav", track);
        const std::string theirs = wavData(split / name);
        EXPECT_EQ(ours.size(), theirs.size()) << track;
        EXPECT_TRUE(ours == theirs) << "track " << track << " differs from shntool's";
        joined += ours;
    }
    EXPECT_TRUE(joined == pcm) << "the tracks joined are not the image";
    // The sheet's text went into the tracks.
    EXPECT_EQ(ffprobe(cli.out() / "Track02.wav", "format_tags=title"), "Two");
    EXPECT_EQ(ffprobe(cli.out() / "Track02.wav", "format_tags=artist"), "Band");
}

TEST_F(CueAlbumCli, ATrackPathTakesOneTrackAndProbeListsTheSheetsTracks)
{
    const auto one = cli.run({"convert", "--json", "-f", "wav", cue + "/Track03.cda"});
    ASSERT_EQ(one.exitCode, 0) << one.out << one.err;
    EXPECT_EQ(namesIn(cli.out()), (std::vector<std::string>{"Track03.wav"}));
    EXPECT_TRUE(wavData(cli.out() / "Track03.wav") == pcm.substr((19 * 75 + 30) * 588 * 4));

    // The gap before track 2 stays at the end of track 1.
    const auto probe = cli.run({"probe", cue});
    ASSERT_EQ(probe.exitCode, 0) << probe.out << probe.err;
    EXPECT_EQ(lines(probe.out), (Lines{cue + "/Track01.cda\tWaiting Conversion\t00:10\tCD Track",
                                       cue + "/Track02.cda\tWaiting Conversion\t00:09\tCD Track",
                                       cue + "/Track03.cda\tWaiting Conversion\t00:11\tCD Track"}));
}

TEST_F(CueAlbumCli, InfoPrintsTheMusicBrainzDiscIdThenEachTrack)
{
    const auto info = cli.run({"info", "--no-lookup", cue});
    ASSERT_EQ(info.exitCode, 0) << info.out << info.err;
    // libdiscid over the same table of contents: tracks at 0, 750 and 1455 frames, the lead-out
    // at 2251 (the last part-sector counts whole), each 150 frames later on a disc.
    const ProgramResult expected =
        runProgram({"/usr/bin/python3", "-c",
                    "import libdiscid\nd = libdiscid.put(1, 3, 2401, [150, 900, 1605])\nprint(d.id, d.freedb_id)"});
    ASSERT_EQ(expected.exitCode, 0) << expected.output;
    const std::string id = expected.output.substr(0, expected.output.find(' '));
    const std::string freedb = lines(expected.output).at(0).substr(id.size() + 1);
    const Lines out = lines(info.out);
    ASSERT_FALSE(out.empty());
    EXPECT_EQ(out[0], cue + "\ttracks=3\tmusicbrainz=" + id + "\tcddb=" + freedb);
    EXPECT_EQ(
        out[1].rfind(cue + "/Track01.cda\trate=44100\tchannels=2\tbits=16\tbytes=" + std::to_string(10 * Second) + "\t",
                     0),
        0u)
        << out[1];
    EXPECT_NE(std::find(out.begin(), out.end(), "Title: Three"), out.end());
}

TEST_F(CueAlbumCli, MissingFilesDataTracksAndAbsentDrivesGetClearStatuses)
{
    writeFile(cli.in("Lost.cue"), "FILE \"Gone.flac\" WAVE\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n");
    writeFile(cli.in("Mixed.cue"), "FILE \"Album.flac\" WAVE\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n"
                                   "  TRACK 02 MODE1/2352\n    INDEX 01 00:20:00\n");
    const std::string lost = cli.in("Lost.cue").string();
    const std::string data = cli.in("Mixed.cue").string() + "/Track02.cda";
    const std::string noDrive = (cli.dir() / "nodrive" / "Track01.cda").string();
    const auto run = cli.run({"convert", "-f", "wav", lost, data, noDrive});
    EXPECT_EQ(run.exitCode, 1);
    const Lines out = lines(run.out);
    ASSERT_EQ(out.size(), 3u) << run.out << run.err;
    EXPECT_EQ(out[0], "Refused\t" + lost + "\tCan't Open the File: \"Gone.flac\" is missing");
    EXPECT_EQ(out[1], "Refused\t" + data + "\tNot An Audio Track: track 2 holds data");
    EXPECT_EQ(out[2].rfind("Refused\t" + noDrive + "\tCan't Initialize CD", 0), 0u) << out[2];
    EXPECT_FALSE(std::filesystem::exists(cli.out() / "Track01.wav"));

    const auto info = cli.run({"info", lost});
    EXPECT_EQ(info.exitCode, 1);
    EXPECT_EQ(info.out, lost + "\terror=2\tCan't Open the File: \"Gone.flac\" is missing\n");
}

// The album's table of contents as the command line reads it.
DiscToc albumToc(const std::string& cue)
{
    DiscListing listing;
    int error = 0;
    std::string message;
    EXPECT_TRUE(listDiscTracks(cue, decodingOpener(), listing, error, message)) << message;
    return listing.toc;
}

// The album known to a server on 127.0.0.1 standing for MusicBrainz, the Cover Art Archive and
// AccurateRip: the release with its cover, and a database file agreeing with track 1's v1 checksum
// (12 rips) and track 2's v2 checksum (5 rips) but not with track 3.
class CueAlbumOnline : public CueAlbumCli
{
protected:
    void SetUp() override
    {
        CueAlbumCli::SetUp();
        qtApplication<QCoreApplication>();
        const DiscToc toc = albumToc(cue);
        const std::string discId = musicBrainzDiscId(toc);
        // The tracks' checksums over the album's samples: 0-10 s, 10 s to sector 1455, the rest.
        const std::int64_t starts[] = {0, 441000, 1455 * 588, static_cast<std::int64_t>(pcm.size() / 4)};
        std::vector<std::pair<std::uint32_t, std::uint32_t>> sums;
        for (int track = 0; track < 3; ++track) {
            AccurateRipChecksum checksum(track == 0, track == 2, starts[track + 1] - starts[track]);
            checksum.add(reinterpret_cast<const std::uint8_t*>(pcm.data()) + starts[track] * 4,
                         static_cast<std::size_t>(starts[track + 1] - starts[track]) * 4);
            sums.emplace_back(checksum.v1(), checksum.v2());
        }
        const AccurateRipDiscIds ids = accurateRipDiscIds(toc);
        const std::string dbar = dbarEntry(ids, {{12, sums[0].first}, {2, 1}, {7, sums[2].second ^ 8}}) +
                                 dbarEntry(ids, {{3, 2}, {5, sums[1].second}, {1, 3}});
        const std::string arUrl = accurateRipUrl(ids);
        const QByteArray jpeg("\xFF\xD8\xFF\xE0\x00\x10JFIF\x00\x01\x01\x00\x00\x01\x00\x01\x00\x00\xFF\xD9", 24);
        server = std::make_unique<LoopbackHttpServerThread>([=](LoopbackHttpServer& http) {
            http.serve("/ws/2/discid/" + discId + "?inc=artist-credits+recordings&fmt=json",
                       {200, "application/json", QByteArray::fromStdString(discIdAnswer(discId))});
            http.serve("/release/5b7f4a7e-2c3e-4e6a-9f0b-7d1a2e3c4b5a/front", {200, "image/jpeg", jpeg});
            http.serve(arUrl.substr(arUrl.find("/accuraterip/")),
                       {200, "application/octet-stream", QByteArray::fromStdString(dbar)});
        });
        for (const char* name : {"TUNEVALE_MUSICBRAINZ_URL", "TUNEVALE_COVERART_URL", "TUNEVALE_ACCURATERIP_URL"})
            addresses.push_back(std::make_unique<ScopedEnv>(name, server->address()));
    }

    std::unique_ptr<LoopbackHttpServerThread> server;
    std::vector<std::unique_ptr<ScopedEnv>> addresses;
};

Lines accurateRipLines(const Lines& out)
{
    Lines checked;
    std::copy_if(out.begin(), out.end(), std::back_inserter(checked),
                 [](const std::string& line) { return line.rfind("AccurateRip: ", 0) == 0; });
    return checked;
}

TEST_F(CueAlbumOnline, InfoNamesTheTracksFromMusicBrainzAndChecksThemWithAccurateRip)
{
    const auto info = cli.run({"info", cue});
    EXPECT_EQ(server->stop(), 3u);
    ASSERT_EQ(info.exitCode, 0) << info.out << info.err;
    const Lines out = lines(info.out);
    ASSERT_GE(out.size(), 2u) << info.out;
    EXPECT_EQ(out[1], "MusicBrainz: 5b7f4a7e-2c3e-4e6a-9f0b-7d1a2e3c4b5a\tAnna Lind & The Fjords - Späte Lieder");
    const auto has = [&](const std::string& line) { return std::count(out.begin(), out.end(), line); };
    EXPECT_EQ(has("Title: Erstes Licht"), 1) << info.out;
    EXPECT_EQ(has("Title: Mittag"), 1);
    EXPECT_EQ(has("Artist: Guest Singer"), 1);
    EXPECT_EQ(has("Album: Späte Lieder"), 3);
    EXPECT_EQ(has("Date: 2004-05-17"), 3);
    EXPECT_EQ(has("Cover: image/jpeg, 24 bytes"), 3);
    EXPECT_EQ(has("Title: One"), 0);
    EXPECT_EQ(accurateRipLines(out), (Lines{"AccurateRip: accurate (confidence 12)",
                                            "AccurateRip: accurate (confidence 5)", "AccurateRip: mismatch"}));
}

TEST_F(CueAlbumOnline, ConvertTagsTheOutputsFromMusicBrainzAndReportsAccurateRip)
{
    const auto run = cli.run({"convert", "--json", "-j", "2", "-f", "wav", cue});
    server->stop();
    ASSERT_EQ(run.exitCode, 0) << run.out << run.err;
    EXPECT_NE(run.err.find("MusicBrainz: 5b7f4a7e-2c3e-4e6a-9f0b-7d1a2e3c4b5a"), std::string::npos) << run.err;
    const Lines out = lines(run.out);
    ASSERT_EQ(out.size(), 3u) << run.out;
    EXPECT_NE(out[0].find("\"accuraterip\":\"accurate (confidence 12)\""), std::string::npos) << out[0];
    EXPECT_NE(out[1].find("\"accuraterip\":\"accurate (confidence 5)\""), std::string::npos) << out[1];
    EXPECT_NE(out[2].find("\"accuraterip\":\"mismatch\""), std::string::npos) << out[2];
    EXPECT_EQ(ffprobe(cli.out() / "Track01.wav", "format_tags=title"), "Erstes Licht");
    EXPECT_EQ(ffprobe(cli.out() / "Track02.wav", "format_tags=title"), "Mittag");
    EXPECT_EQ(ffprobe(cli.out() / "Track03.wav", "format_tags=artist"), "Guest Singer");
    // The audio is the album's whatever the lookup said.
    EXPECT_EQ(wavData(cli.out() / "Track01.wav"), pcm.substr(0, 10 * Second));
}

TEST_F(CueAlbumCli, InfoOfflineKeepsTheCueTitlesAndTheSettingOrOptionSkipTheLookup)
{
    const auto offline = cli.run({"info", cue});
    ASSERT_EQ(offline.exitCode, 0) << offline.out << offline.err;
    const Lines out = lines(offline.out);
    ASSERT_GE(out.size(), 2u);
    EXPECT_EQ(out[1].rfind("MusicBrainz: not checked (", 0), 0u) << out[1];
    EXPECT_EQ(std::count(out.begin(), out.end(), "Title: One"), 1);
    EXPECT_EQ(std::count_if(out.begin(), out.end(),
                            [](const std::string& line) { return line.rfind("AccurateRip: not checked (", 0) == 0; }),
              3);

    for (const bool bySetting : {true, false}) {
        CliHarness quiet;
        if (bySetting)
            quiet.store("CdOnlineLookup", "False");
        const auto run = bySetting ? quiet.run({"info", cue}) : quiet.run({"info", "--no-lookup", cue});
        ASSERT_EQ(run.exitCode, 0) << run.err;
        EXPECT_EQ(run.out.find("MusicBrainz:"), std::string::npos) << run.out;
        EXPECT_EQ(run.out.find("AccurateRip:"), std::string::npos);
        EXPECT_NE(run.out.find("Title: One\n"), std::string::npos);
    }
}

} // namespace tunevale::test
