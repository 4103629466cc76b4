#include "cd/TrackPath.h"

#include <gtest/gtest.h>

using namespace tunevale;

TEST(TrackPath, FormatsAndParsesTracksOfDrivesAndSheets)
{
    EXPECT_EQ(formatTrackPath("/dev/sr0", 3), "/dev/sr0/Track03.cda");
    EXPECT_EQ(formatTrackPath("/music/Album.cue", 0), "/music/Album.cue/Track00.cda");
    EXPECT_EQ(formatTrackPath("/dev/sr0/", 12), "/dev/sr0/Track12.cda");
    EXPECT_EQ(parseTrackPath("/dev/sr0/Track03.cda"), (TrackPath{"/dev/sr0", 3}));
    EXPECT_EQ(parseTrackPath("/music/My Album.cue/TRACK7.CDA"), (TrackPath{"/music/My Album.cue", 7}));
    EXPECT_EQ(parseTrackPath("/music/Album.cue/track99.cda"), (TrackPath{"/music/Album.cue", 99}));
    for (const auto& number : {1, 9, 10, 42, 99})
        EXPECT_EQ(parseTrackPath(formatTrackPath("/dev/sr1", number))->number, number);
}

TEST(TrackPath, OtherPathsAreNoTracks)
{
    for (const char* path : {"/music/song.flac", "/dev/sr0/Track.cda", "/dev/sr0/Track100.cda", "/dev/sr0/Track1a.cda",
                             "/dev/sr0/Song01.cda", "Track01.cda", "/Track01.cda", "/dev/sr0/Track01.cda.mp3"})
        EXPECT_FALSE(parseTrackPath(path)) << path;
    EXPECT_TRUE(isCueSheetPath("/music/Album.CUE"));
    EXPECT_FALSE(isCueSheetPath("/dev/sr0"));
}
