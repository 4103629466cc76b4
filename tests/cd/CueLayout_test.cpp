#include "cd/CueLayout.h"

#include <gtest/gtest.h>

using namespace tunevale;

namespace
{

CueSheet sheetOf(const std::string& text)
{
    CueSheet sheet;
    std::string error;
    EXPECT_TRUE(parseCueSheet(text, sheet, error)) << error;
    return sheet;
}

} // namespace

TEST(CueLayout, FramesOfOtherSampleRatesAreAFifthOfASecond)
{
    const CueSheet sheet = sheetOf("FILE \"a.flac\" WAVE\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n"
                                   "  TRACK 02 AUDIO\n    INDEX 01 00:01:15\n");
    std::vector<CueTrackRange> tracks;
    std::string error;
    ASSERT_TRUE(layoutCueTracks(sheet, {CueFileLength{96000 * 3, 96000}}, tracks, error)) << error;
    EXPECT_EQ(tracks[0].segments, (std::vector<TrackSegment>{{0, 0, 96000 + 19200}}));
    EXPECT_EQ(tracks[1].segments, (std::vector<TrackSegment>{{0, 96000 + 19200, 96000 * 3}}));
}

TEST(CueLayout, TracksOfABinaryFileMixingDataSectorSizesAreRefused)
{
    const CueSheet sheet = sheetOf("FILE \"a.bin\" BINARY\n  TRACK 01 MODE1/2048\n    INDEX 01 00:00:00\n"
                                   "  TRACK 02 AUDIO\n    INDEX 01 00:10:00\n");
    std::vector<CueTrackRange> tracks;
    std::string error;
    EXPECT_FALSE(layoutCueTracks(sheet, {CueFileLength{588 * 75 * 20, 44100}}, tracks, error));
    EXPECT_EQ(error, "\"a.bin\" mixes audio with data sectors of another size");
}

TEST(CueLayout, ATrackWithoutSamplesIsRefused)
{
    const CueSheet sheet = sheetOf("FILE \"a.wav\" WAVE\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n"
                                   "  TRACK 02 AUDIO\n    INDEX 01 00:02:00\n");
    std::vector<CueTrackRange> tracks;
    std::string error;
    EXPECT_FALSE(layoutCueTracks(sheet, {CueFileLength{2 * 44100, 44100}}, tracks, error));
    EXPECT_EQ(error, "track 2 holds no audio");
}

TEST(CueLayout, PregapAndPostgapSilencesMoveTheTableOfContents)
{
    const CueSheet sheet = sheetOf("FILE \"a.wav\" WAVE\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n"
                                   "    POSTGAP 00:01:00\n  TRACK 02 AUDIO\n    PREGAP 00:02:00\n"
                                   "    INDEX 01 00:10:00\n");
    const DiscToc toc = cueSheetToc(sheet, {CueFileLength{20 * 44100 + 1, 44100}});
    EXPECT_EQ(toc.offsets, (std::vector<std::int32_t>{0, 10 * 75 + 75 + 150}));
    EXPECT_EQ(toc.leadout, 20 * 75 + 1 + 75 + 150);
    // The file's own samples are split as they are: the silences are in no file.
    std::vector<CueTrackRange> tracks;
    std::string error;
    ASSERT_TRUE(layoutCueTracks(sheet, {CueFileLength{20 * 44100 + 1, 44100}}, tracks, error));
    EXPECT_EQ(tracks[0].samples() + tracks[1].samples(), 20 * 44100 + 1);
}
