// Album images split into their tracks: a cue sheet over FLAC, WAV, MP3 or raw CD audio.

#include "CdFixtures.h"
#include "cd/CueImage.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

using namespace tunevale;
using namespace tunevale::test;

namespace
{

constexpr std::int64_t Second = 44100;

struct Opened {
    std::unique_ptr<CueImage> image;
    int error = -1;
    std::string message;
};

Opened openCue(const std::filesystem::path& cue)
{
    Opened result;
    result.image = CueImage::open(cue.string(), decoderOpener(), result.error, result.message);
    return result;
}

std::string trackPcm(const CueImage& image, int number)
{
    int error = -1;
    auto source = image.openTrack(number, error);
    EXPECT_TRUE(source) << "track " << number << ": code " << error;
    if (!source)
        return {};
    const std::string pcm = readAll(*source, 40000);
    EXPECT_EQ(source->damage(), SourceDamage::None) << number;
    EXPECT_EQ(source->length(), pcm.size()) << number;
    return pcm;
}

// The album of these tests: 38 s of noise in one FLAC; 3.5 s of hidden audio before track 1,
// a 2-second gap (INDEX 00) before track 2, and a last track that does not end on a sector.
class FlacAlbum : public ::testing::Test
{
protected:
    void SetUp() override
    {
        pcm = noisePcm(38 * Second + 123, 7);
        writeWav(dir / "album.wav", pcm);
        ASSERT_EQ(
            runProgram({"flac", "-s", "-o", (dir / "Album.flac").string(), (dir / "album.wav").string()}).exitCode, 0);
        std::filesystem::remove(dir / "album.wav");
        writeFile(dir / "Album.cue", "REM GENRE Rock\nREM DATE 2001\nPERFORMER \"Band\"\nTITLE \"Record\"\n"
                                     "FILE \"Album.flac\" WAVE\n"
                                     "  TRACK 01 AUDIO\n    TITLE \"One\"\n    INDEX 01 00:03:38\n"
                                     "  TRACK 02 AUDIO\n    TITLE \"Two\"\n    PERFORMER \"Guest\"\n"
                                     "    INDEX 00 00:12:00\n    INDEX 01 00:14:00\n"
                                     "  TRACK 03 AUDIO\n    TITLE \"Three\"\n    INDEX 01 00:25:17\n");
    }

    TempDir dir;
    std::string pcm;
};

} // namespace

TEST_F(FlacAlbum, EachTrackEqualsShntoolsSplitAndTheTracksJoinedEqualTheImage)
{
    std::filesystem::create_directory(dir / "shntool");
    const ProgramResult split = runProgram({"shntool", "split", "-q", "-f", (dir / "Album.cue").string(), "-d",
                                            (dir / "shntool").string(), "-o", "wav", (dir / "Album.flac").string()});
    ASSERT_EQ(split.exitCode, 0) << split.output;

    const Opened opened = openCue(dir / "Album.cue");
    ASSERT_TRUE(opened.image) << opened.message;
    ASSERT_EQ(opened.image->tracks().size(), 4u);
    std::string joined;
    // Read from the last track back, so that every track after the first is reached by seeking.
    for (int track = 3; track >= 0; --track) {
        const std::string ours = trackPcm(*opened.image, track);
        char name[32];
        std::snprintf(name, sizeof name, "split-track%02d.wav", track);
        const std::string theirs = wavPcm(dir / "shntool" / name);
        EXPECT_EQ(ours.size(), theirs.size()) << track;
        EXPECT_TRUE(ours == theirs) << "track " << track << " differs from shntool's";
        joined = ours + joined;
    }
    EXPECT_EQ(joined.size(), pcm.size());
    EXPECT_TRUE(joined == pcm) << "the tracks joined are not the image";
}

TEST_F(FlacAlbum, TheDecoderSeeksLosslessFilesToTheExactSample)
{
    for (const std::int64_t frame : std::vector<std::int64_t>{1, 4095, 4096, 17 * Second + 3, 38 * Second + 122}) {
        int error = -1;
        auto flac = decoderOpener()((dir / "Album.flac").string(), error);
        ASSERT_TRUE(flac);
        ASSERT_TRUE(flac->seekFrame(static_cast<std::uint64_t>(frame))) << frame;
        EXPECT_TRUE(readAll(*flac) == pcm.substr(static_cast<std::size_t>(frame) * 4)) << frame;
    }
    makeTone(dir / "lossy.mp3", 2.0, 44100, 2, {"-c:a", "libmp3lame"});
    int error = -1;
    auto mp3 = decoderOpener()((dir / "lossy.mp3").string(), error);
    ASSERT_TRUE(mp3);
    EXPECT_FALSE(mp3->seekFrame(44100));
}

TEST_F(FlacAlbum, GapBeforeATrackEndsThePreviousOneAndHiddenAudioIsTrackZero)
{
    const Opened opened = openCue(dir / "Album.cue");
    ASSERT_TRUE(opened.image) << opened.message;
    const CueImage& image = *opened.image;
    EXPECT_EQ(image.track(0)->samples(), (3 * 75 + 38) * 588);
    EXPECT_EQ(image.track(1)->samples(), (14 - 3) * Second - 38 * 588);
    EXPECT_EQ(image.track(3)->samples(), 38 * Second + 123 - (25 * 75 + 17) * 588);
    // The disc such an image came from: track 1 after the hidden audio, the lead-out at the end.
    const DiscToc toc = image.toc();
    EXPECT_EQ(toc.offsets, (std::vector<std::int32_t>{3 * 75 + 38, 14 * 75, 25 * 75 + 17}));
    EXPECT_EQ(toc.leadout, 38 * 75 + 1);
}

TEST_F(FlacAlbum, TracksCarryTheSheetsText)
{
    const Opened opened = openCue(dir / "Album.cue");
    ASSERT_TRUE(opened.image) << opened.message;
    int error = -1;
    const auto source = opened.image->openTrack(2, error);
    ASSERT_TRUE(source);
    const SourceTags tags = source->tags();
    EXPECT_EQ(tags.title, "Two");
    EXPECT_EQ(tags.artist, "Guest");
    EXPECT_EQ(tags.albumArtist, "Band");
    EXPECT_EQ(tags.album, "Record");
    EXPECT_EQ(tags.date, "2001");
    EXPECT_EQ(tags.genre, "Rock");
    EXPECT_EQ(tags.track, 2u);
    EXPECT_EQ(tags.trackTotal, 3u);
    EXPECT_EQ(opened.image->tags(1).artist, "Band");
}

TEST_F(FlacAlbum, ASheetNamingTheWavItWasRippedToFindsTheFlacBesideIt)
{
    std::string cue = readFile(dir / "Album.cue");
    cue.replace(cue.find("Album.flac"), 10, "Album.wav");
    writeFile(dir / "Album.cue", cue);
    const Opened opened = openCue(dir / "Album.cue");
    ASSERT_TRUE(opened.image) << opened.message;
    EXPECT_TRUE(trackPcm(*opened.image, 3) == pcm.substr(static_cast<std::size_t>(25 * 75 + 17) * 588 * 4));
}

TEST(CueSplit, TracksOfADecoderThatCannotSeekExactlyJoinGaplessly)
{
    TempDir dir;
    makeTone(dir / "album.mp3", 12.0, 44100, 2, {"-c:a", "libmp3lame", "-b:a", "128k"});
    writeFile(dir / "album.cue", "FILE \"album.mp3\" MP3\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n"
                                 "  TRACK 02 AUDIO\n    INDEX 01 00:04:10\n  TRACK 03 AUDIO\n    INDEX 01 00:09:00\n");
    const Opened opened = openCue(dir / "album.cue");
    ASSERT_TRUE(opened.image) << opened.message;
    int error = -1;
    auto whole = decoderOpener()((dir / "album.mp3").string(), error);
    ASSERT_TRUE(whole);
    const std::string decoded = readAll(*whole);
    const std::string joined = trackPcm(*opened.image, 1) + trackPcm(*opened.image, 2) + trackPcm(*opened.image, 3);
    EXPECT_EQ(joined.size(), decoded.size());
    EXPECT_TRUE(joined == decoded);
    EXPECT_EQ(trackPcm(*opened.image, 2).size(), static_cast<std::size_t>((5 * 75 - 10) * 588 * 4));
}

TEST(CueSplit, TracksSpanningTwoFilesJoinBothFilesGaplessly)
{
    // Ripped with the gaps at the start of each file: track 2's INDEX 00 opens the second file.
    TempDir dir;
    const std::string first = noisePcm(5 * Second + 300, 1);
    const std::string second = noisePcm(7 * Second, 2);
    writeWav(dir / "01.wav", first);
    writeWav(dir / "02.wav", second);
    writeFile(dir / "multi.cue", "FILE \"01.wav\" WAVE\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n"
                                 "FILE \"02.wav\" WAVE\n  TRACK 02 AUDIO\n    INDEX 00 00:00:00\n"
                                 "    INDEX 01 00:02:00\n");
    const Opened opened = openCue(dir / "multi.cue");
    ASSERT_TRUE(opened.image) << opened.message;
    const std::string one = trackPcm(*opened.image, 1);
    const std::string two = trackPcm(*opened.image, 2);
    EXPECT_TRUE(one == first + second.substr(0, 2 * Second * 4));
    EXPECT_TRUE(two == second.substr(2 * Second * 4));
    EXPECT_EQ(opened.image->toc().offsets, (std::vector<std::int32_t>{0, 5 * 75 + 1 + 2 * 75}));

    // Ripped with the gaps at the end of each file: track 2's INDEX 00 closes the first file.
    writeFile(dir / "appended.cue", "FILE \"01.wav\" WAVE\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n"
                                    "  TRACK 02 AUDIO\n    INDEX 00 00:03:00\nFILE \"02.wav\" WAVE\n"
                                    "    INDEX 01 00:00:00\n");
    const Opened appended = openCue(dir / "appended.cue");
    ASSERT_TRUE(appended.image) << appended.message;
    EXPECT_TRUE(trackPcm(*appended.image, 1) == first);
    EXPECT_TRUE(trackPcm(*appended.image, 2) == second);
}

TEST(CueSplit, RawCdAudioReadsInEitherByteOrder)
{
    TempDir dir;
    const std::string pcm = noisePcm(9 * Second, 3);
    std::string swapped = pcm;
    for (std::size_t i = 0; i + 1 < swapped.size(); i += 2)
        std::swap(swapped[i], swapped[i + 1]);
    writeFile(dir / "le.bin", pcm);
    writeFile(dir / "be.bin", swapped);
    writeFile(dir / "le.cue", "FILE \"le.bin\" BINARY\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n"
                              "  TRACK 02 AUDIO\n    INDEX 00 00:04:00\n    INDEX 01 00:05:00\n");
    writeFile(dir / "be.cue", "FILE \"be.bin\" MOTOROLA\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n"
                              "  TRACK 02 AUDIO\n    INDEX 00 00:04:00\n    INDEX 01 00:05:00\n");
    for (const char* sheet : {"le.cue", "be.cue"}) {
        const Opened opened = openCue(dir / sheet);
        ASSERT_TRUE(opened.image) << opened.message;
        EXPECT_TRUE(trackPcm(*opened.image, 1) == pcm.substr(0, 5 * Second * 4)) << sheet;
        EXPECT_TRUE(trackPcm(*opened.image, 2) == pcm.substr(5 * Second * 4)) << sheet;
    }
}

TEST(CueSplit, ShortAudioBeforeTrackOneStaysWithTrackOne)
{
    TempDir dir;
    const std::string pcm = noisePcm(6 * Second, 4);
    writeWav(dir / "a.wav", pcm);
    writeFile(dir / "a.cue", "FILE \"a.wav\" WAVE\n  TRACK 01 AUDIO\n    INDEX 00 00:00:00\n    INDEX 01 00:00:50\n"
                             "  TRACK 02 AUDIO\n    INDEX 01 00:03:00\n");
    const Opened opened = openCue(dir / "a.cue");
    ASSERT_TRUE(opened.image) << opened.message;
    EXPECT_EQ(opened.image->track(0), nullptr);
    EXPECT_TRUE(trackPcm(*opened.image, 1) == pcm.substr(0, 3 * Second * 4));
    int error = -1;
    EXPECT_FALSE(opened.image->openTrack(0, error));
    EXPECT_EQ(error, EngineCode::CdTrack);
}

TEST(CueSplit, ALatin1SheetGivesItsTextInUtf8)
{
    TempDir dir;
    writeWav(dir / "a.wav", noisePcm(5 * Second, 5));
    writeFile(dir / "a.cue", "PERFORMER \"Bj\xF6rk\"\nTITLE \"Caf\xE9 M\xFCller\"\nFILE \"a.wav\" WAVE\n"
                             "  TRACK 01 AUDIO\n    TITLE \"Cr\xE8me br\xFBl\xE9\x65\"\n    INDEX 01 00:00:00\n");
    const Opened opened = openCue(dir / "a.cue");
    ASSERT_TRUE(opened.image) << opened.message;
    const SourceTags tags = opened.image->tags(1);
    EXPECT_EQ(tags.artist, "Bj\xC3\xB6rk");
    EXPECT_EQ(tags.album, "Caf\xC3\xA9 M\xC3\xBCller");
    EXPECT_EQ(tags.title, "Cr\xC3\xA8me br\xC3\xBBl\xC3\xA9\x65");
}

TEST(CueSplit, MissingFilesAndDamagedSheetsAreClearFailures)
{
    TempDir dir;
    writeWav(dir / "a.wav", noisePcm(3 * Second, 6));
    writeFile(dir / "missing.cue", "FILE \"gone.flac\" WAVE\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n");
    Opened opened = openCue(dir / "missing.cue");
    EXPECT_FALSE(opened.image);
    EXPECT_EQ(opened.error, EngineCode::FileOpen);
    EXPECT_EQ(opened.message, "\"gone.flac\" is missing");

    writeFile(dir / "damaged.cue", "FILE \"a.wav\" WAVE\n  TRACK 01 AUDIO\n    INDEX 01 00:61:00\n");
    opened = openCue(dir / "damaged.cue");
    EXPECT_FALSE(opened.image);
    EXPECT_EQ(opened.error, EngineCode::Format);
    EXPECT_NE(opened.message.find("line 3"), std::string::npos) << opened.message;

    writeFile(dir / "long.cue", "FILE \"a.wav\" WAVE\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n"
                                "  TRACK 02 AUDIO\n    INDEX 01 00:09:00\n");
    opened = openCue(dir / "long.cue");
    EXPECT_FALSE(opened.image);
    EXPECT_EQ(opened.error, EngineCode::Format);
    EXPECT_NE(opened.message.find("after the end"), std::string::npos) << opened.message;

    writeFile(dir / "garbage.cue", noisePcm(1000, 8));
    opened = openCue(dir / "garbage.cue");
    EXPECT_FALSE(opened.image);
    EXPECT_EQ(opened.error, EngineCode::Format);

    opened = openCue(dir / "no-such.cue");
    EXPECT_FALSE(opened.image);
    EXPECT_EQ(opened.error, EngineCode::FileOpen);
}

TEST(CueSplit, SheetsNamingDevicesFifosOrFilesOutsideTheirFolderAreRefused)
{
    TempDir dir;
    std::filesystem::create_directory(dir / "album");
    writeWav(dir / "outside.wav", noisePcm(3 * Second, 6));
    ASSERT_EQ(::mkfifo((dir / "album" / "pipe.wav").c_str(), 0600), 0);
    std::filesystem::create_symlink(dir / "outside.wav", dir / "album" / "link.wav");
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"/dev/zero", "outside"},      {"/dev/sr0", "outside"},        {"pipe.wav", "not a regular file"},
        {"../outside.wav", "outside"}, {"..\\outside.wav", "outside"}, {(dir / "outside.wav").string(), "outside"},
        {"link.wav", "outside"},
    };
    for (const auto& [name, why] : cases) {
        writeFile(dir / "album" / "a.cue", "FILE \"" + name + "\" WAVE\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n");
        const Opened opened = openCue(dir / "album" / "a.cue");
        EXPECT_FALSE(opened.image) << name;
        EXPECT_EQ(opened.error, EngineCode::FileOpen) << name;
        EXPECT_NE(opened.message.find(why), std::string::npos) << name << ": " << opened.message;
    }
    // The sheet itself as a FIFO is refused at once rather than waited on.
    ASSERT_EQ(::mkfifo((dir / "album" / "fifo.cue").c_str(), 0600), 0);
    const Opened fifo = openCue(dir / "album" / "fifo.cue");
    EXPECT_FALSE(fifo.image);
    EXPECT_EQ(fifo.error, EngineCode::FileOpen);
}
