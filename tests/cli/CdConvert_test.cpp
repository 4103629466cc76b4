// Album images and CD tracks on the command line: a cue sheet takes every track, a track path one.

#include "CliHarness.h"

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
    const auto info = cli.run({"info", cue});
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
    EXPECT_EQ(out[1].rfind(
                  cue + "/Track01.cda\trate=44100\tchannels=2\tbits=16\tbytes=" + std::to_string(10 * Second) + "\t", 0),
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

} // namespace tunevale::test
