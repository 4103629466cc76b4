#include "AcceptedExtensions.h"
#include "FileFilter.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace tunevale
{
namespace
{

const FileFilter& entry(const std::vector<FileFilter>& filters, const std::string& label)
{
    const auto found = std::find_if(filters.begin(), filters.end(), [&](const auto& f) { return f.label == label; });
    EXPECT_NE(found, filters.end()) << label;
    return *found;
}

TEST(FileFilters, AudioDialogListsItsEntriesInOrder)
{
    const auto& filters = audioFileFilters();
    ASSERT_EQ(filters.size(), 20u);
    EXPECT_EQ(filters.front().label, "All Supported Audio Formats");
    EXPECT_EQ(filters.front().patterns.size(), 38u) << "the classic 21, the 16 kinds added since and cue sheets";
    // Cue sheets add their tracks.
    EXPECT_TRUE(filters.front().matches("Album.CUE"));
    EXPECT_EQ(filters[1].label, "Common Audio Files(*.wav,*.wma,*.mp3,*.ogg)");
    EXPECT_EQ(filters[2].label, "MPEG Files(.mp1,*.mp2,*.mp3,*.mp4)");
    EXPECT_EQ(filters[10].label, "Dolby Digital Files(*.ac3)");
    EXPECT_EQ(filters[11].label, "Musepack Files(*.mpc)");
    EXPECT_EQ(filters[12].label, "Monkey's Audio Files(*.ape)");
    EXPECT_EQ(filters.back().label, "ADX Files(*.adx)");
    for (const auto& filter : filters)
        for (const auto& pattern : filter.patterns)
            EXPECT_TRUE(pattern.starts_with("*.")) << filter.label << ": " << pattern;
}

TEST(FileFilters, MpegEntriesMatchEveryExtensionTheyName)
{
    const auto& mpegAudio = entry(audioFileFilters(), "MPEG Files(.mp1,*.mp2,*.mp3,*.mp4)");
    EXPECT_TRUE(mpegAudio.matches("song.mp1"));
    EXPECT_FALSE(mpegAudio.matches(".mp1x"));
    const auto& mpegVideo = entry(videoFileFilters(), "MPEG Files(.mpg,*.mpeg,*.mp2,*.mp4)");
    EXPECT_TRUE(mpegVideo.matches("film.mpg"));
    EXPECT_TRUE(mpegVideo.matches("film.mpeg"));
}

TEST(FileFilters, AllVideoFormatsMatchesMp4AndMovSeparately)
{
    const auto& all = videoFileFilters().front();
    EXPECT_EQ(all.label, "All Supported Video Formats");
    EXPECT_TRUE(all.matches("clip.mp4"));
    EXPECT_TRUE(all.matches("clip.mov"));
    EXPECT_FALSE(all.matches("clip.mp4,"));
    EXPECT_FALSE(all.matches("clip.mp"));
    EXPECT_EQ(videoFileFilters().size(), 5u);
}

TEST(FileFilters, MatchRegardlessOfLetterCase)
{
    const auto& common = audioFileFilters()[1];
    EXPECT_TRUE(common.matches("LOUD.MP3"));
    EXPECT_TRUE(common.matches("Mixed.Wav"));
    EXPECT_FALSE(common.matches("song.mp3.txt"));
    EXPECT_FALSE(common.matches("mp3"));
}

TEST(AcceptedExtensions, TestsTheExtensionAsASubstringRegardlessOfCase)
{
    for (const char* path : {"/m/x.mid", "/m/x.mp", "/m/x.a", "/m/x.MP3", "/m/x.flac", "/m/x.Wmv", "/m/x.dat",
                             "/m/track01.cda", "/m/a.b.ogg"})
        EXPECT_TRUE(hasAcceptedExtension(path)) << path;
    for (const char* path :
         {"/m/x.txt", "/m/x", "/m/x.", "/m.mp3/x", "/m/x.mp3.txt", "/m/x.wavx", "/m/x.jpg", "/m/x.cue"})
        EXPECT_FALSE(hasAcceptedExtension(path)) << path;
}

TEST(AcceptedExtensions, TakeEveryKindTheEngineDecodes)
{
    for (const char* extension : {"m4a", "m4b", "opus", "oga", "aif", "aiff", "aifc", "wv",  "webm", "mka",
                                  "mkv", "caf", "w64",  "mod", "xm",  "it",   "s3m",  "mo3", "M4A",  "Opus"}) {
        const std::string path = std::string("/m/x.") + extension;
        EXPECT_TRUE(hasAcceptedExtension(path)) << path;
        EXPECT_TRUE(audioFileFilters().front().matches("x." + std::string(extension))) << path;
    }
    // The dialog offers cue sheets, whose tracks are added as a disc's; the extension rule for audio
    // files still refuses them.
    EXPECT_TRUE(audioFileFilters().front().matches("sheet.cue"));
    EXPECT_FALSE(hasAcceptedExtension("/m/sheet.cue"));
}

TEST(AcceptedExtensions, RecognisesCdTracksAndWindowsMedia)
{
    EXPECT_TRUE(isCdTrack("/cd/track01.cda"));
    EXPECT_TRUE(isCdTrack("/cd/TRACK01.CDA"));
    EXPECT_FALSE(isCdTrack("/cd/track01.wav"));
    EXPECT_FALSE(isCdTrack("da"));
    for (const char* path : {"/a.wma", "/a.WMA", "/a.asf", "/a.wmv"})
        EXPECT_TRUE(isWindowsMediaFile(path)) << path;
    EXPECT_FALSE(isWindowsMediaFile("/a.mp3"));
}

} // namespace
} // namespace tunevale
