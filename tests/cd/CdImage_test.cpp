// A CD image read as a drive would be: raw sectors in a .bin, a cue sheet with CD-TEXT, opened
// through libcdio's image driver and read with paranoia.

#include "CdFixtures.h"
#include "EngineErrorText.h"
#include "cd/CdDisc.h"
#include "cd/CdTrackReader.h"
#include "cd/DiscToc.h"

#include <gtest/gtest.h>

#include <fstream>

using namespace tunevale;
using namespace tunevale::test;

namespace
{

constexpr std::int64_t Sector = 588;

class CdImage : public ::testing::Test
{
protected:
    void SetUp() override
    {
        // Track lengths in sectors: whole sectors, as on a disc.
        const std::vector<std::int64_t> sectors = {5 * 75 + 13, 4 * 75 + 40, 6 * 75 + 2};
        std::string bin;
        std::string cue = "REM GENRE Ambient\nREM DATE 1999\nPERFORMER \"The Testers\"\nTITLE \"Noise Album\"\n"
                          "FILE \"image.bin\" BINARY\n";
        for (std::size_t i = 0; i < sectors.size(); ++i) {
            const std::string pcm = noisePcm(sectors[i] * Sector, static_cast<unsigned>(i + 1));
            wavs.push_back(writeWav(dir / ("track" + std::to_string(i + 1) + ".wav"), pcm));
            char header[64];
            std::snprintf(header, sizeof header, "  TRACK %02zu AUDIO\n", i + 1);
            cue += header;
            cue += "    TITLE \"Song " + std::to_string(i + 1) + "\"\n";
            cue += "    PERFORMER \"Player " + std::to_string(i + 1) + "\"\n";
            cue += "    SONGWRITER \"Writer " + std::to_string(i + 1) + "\"\n";
            cue += "    INDEX 01 " + cueTime(static_cast<std::int64_t>(bin.size() / 4)) + "\n";
            bin += pcm;
            sampleCounts.push_back(sectors[i] * Sector);
        }
        writeFile(dir / "image.bin", bin);
        writeFile(dir / "image.cue", cue);
        image = (dir / "image.cue").string();
    }

    std::string readTrack(int number, int offset = 0, std::uint32_t* v1 = nullptr, std::uint32_t* v2 = nullptr)
    {
        int error = -1;
        std::string message;
        auto reader = CdTrackReader::open(image, number, offset, error, message);
        EXPECT_TRUE(reader) << EngineErrorText(error) << ": " << message;
        if (!reader)
            return {};
        const std::string pcm = readAll(*reader, 10000);
        EXPECT_TRUE(reader->unreadableSectors().empty());
        EXPECT_EQ(reader->damage(), SourceDamage::None);
        if (v1)
            *v1 = reader->accurateRipV1();
        if (v2)
            *v2 = reader->accurateRipV2();
        return pcm;
    }

    TempDir dir;
    std::vector<std::filesystem::path> wavs;
    std::vector<std::int64_t> sampleCounts;
    std::string image;
};

// The checksum accuraterip-checksum (whipper's tool) prints for a WAV: "v1" or "v2".
std::uint32_t referenceChecksum(const std::filesystem::path& wav, int track, int total, const std::string& version)
{
    const ProgramResult result = runProgram({"accuraterip-checksum", "--accuraterip-" + version, wav.string(),
                                             std::to_string(track), std::to_string(total)});
    EXPECT_EQ(result.exitCode, 0) << result.output;
    return static_cast<std::uint32_t>(std::stoul(result.output, nullptr, 16));
}

} // namespace

TEST_F(CdImage, EveryTrackReadsBitIdenticalToItsWav)
{
    for (int track = 1; track <= 3; ++track) {
        const std::string pcm = readTrack(track);
        EXPECT_EQ(pcm.size(), wavPcm(wavs[track - 1]).size()) << track;
        EXPECT_TRUE(pcm == wavPcm(wavs[track - 1])) << "track " << track << " differs";
    }
}

TEST_F(CdImage, TableOfContentsGivesEachTracksDuration)
{
    int error = -1;
    std::string message;
    const auto disc = CdDisc::open(image, error, message);
    ASSERT_TRUE(disc) << message;
    const DiscToc& toc = disc->toc();
    EXPECT_EQ(toc.firstTrack, 1);
    EXPECT_EQ(toc.lastTrack(), 3);
    for (int track = 1; track <= 3; ++track)
        EXPECT_EQ(std::int64_t(toc.trackFrames(track)) * Sector, sampleCounts[track - 1]) << track;
    EXPECT_EQ(toc.leadout, (sampleCounts[0] + sampleCounts[1] + sampleCounts[2]) / Sector);
}

TEST_F(CdImage, TagsComeFromCdText)
{
    int error = -1;
    std::string message;
    const auto disc = CdDisc::open(image, error, message);
    ASSERT_TRUE(disc) << message;
    const SourceTags tags = disc->tags(2);
    EXPECT_EQ(tags.title, "Song 2");
    EXPECT_EQ(tags.artist, "Player 2");
    EXPECT_EQ(tags.composer, "Writer 2");
    EXPECT_EQ(tags.album, "Noise Album");
    EXPECT_EQ(tags.albumArtist, "The Testers");
    EXPECT_EQ(tags.track, 2u);
    EXPECT_EQ(tags.trackTotal, 3u);

    auto reader = CdTrackReader::open(image, 3, 0, error, message);
    ASSERT_TRUE(reader);
    EXPECT_EQ(reader->tags().title, "Song 3");
}

TEST_F(CdImage, AccurateRipChecksumsWhileReadingEqualWhippersTool)
{
    for (int track = 1; track <= 3; ++track) {
        std::uint32_t v1 = 0;
        std::uint32_t v2 = 0;
        readTrack(track, 0, &v1, &v2);
        EXPECT_EQ(v1, referenceChecksum(wavs[track - 1], track, 3, "v1")) << track;
        EXPECT_EQ(v2, referenceChecksum(wavs[track - 1], track, 3, "v2")) << track;
    }
}

TEST_F(CdImage, ReadOffsetShiftsTheSamplesAndReadsSilenceBeyondTheDisc)
{
    const std::string disc = readFile(dir / "image.bin");
    const std::size_t track2 = static_cast<std::size_t>(sampleCounts[0]) * 4;
    const std::size_t track3 = track2 + static_cast<std::size_t>(sampleCounts[1]) * 4;

    // A drive that delivers 667 samples late is read 667 samples further on.
    const std::string later = readTrack(2, 667);
    EXPECT_TRUE(later == disc.substr(track2 + 667 * 4, static_cast<std::size_t>(sampleCounts[1]) * 4));
    // A negative offset reaches back into the previous track, and before the first one into silence.
    const std::string earlier = readTrack(1, -30);
    EXPECT_TRUE(earlier ==
                std::string(30 * 4, '\0') + disc.substr(0, static_cast<std::size_t>(sampleCounts[0]) * 4 - 30 * 4));
    // Past the lead-out the last track ends in silence.
    const std::string last = readTrack(3, 1000);
    EXPECT_TRUE(last == disc.substr(track3 + 1000 * 4) + std::string(1000 * 4, '\0'));
}

TEST_F(CdImage, DataTracksMissingTracksAndMissingDrivesHaveTheCdTexts)
{
    writeFile(dir / "mixed.bin", noisePcm(300 * Sector, 9) + std::string(300 * 2352, '\0'));
    writeFile(dir / "mixed.cue", "FILE \"mixed.bin\" BINARY\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n"
                                 "  TRACK 02 MODE1/2352\n    INDEX 01 00:04:00\n");
    int error = -1;
    std::string message;
    EXPECT_FALSE(CdTrackReader::open((dir / "mixed.cue").string(), 2, 0, error, message));
    EXPECT_EQ(EngineErrorText(error), "Not An Audio Track");
    EXPECT_TRUE(CdTrackReader::open((dir / "mixed.cue").string(), 1, 0, error, message));

    EXPECT_FALSE(CdTrackReader::open(image, 4, 0, error, message));
    EXPECT_EQ(error, EngineCode::CdTrack);
    EXPECT_FALSE(CdDisc::open((dir / "no-such-drive").string(), error, message));
    EXPECT_EQ(error, EngineCode::CdInit);
}

TEST_F(CdImage, AnImageWhoseSheetReachesOutsideItsFolderIsNotOpened)
{
    std::filesystem::create_directory(dir / "sub");
    writeFile(dir / "sub" / "escape.cue", "FILE \"../image.bin\" BINARY\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n");
    writeFile(dir / "sub" / "device.cue", "FILE \"/dev/zero\" BINARY\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n");
    for (const char* sheet : {"escape.cue", "device.cue"}) {
        int error = -1;
        std::string message;
        EXPECT_FALSE(CdDisc::open((dir / "sub" / sheet).string(), error, message)) << sheet;
        EXPECT_EQ(error, EngineCode::CdInit) << sheet;
        EXPECT_NE(message.find("outside"), std::string::npos) << message;
    }
}
