#include "DiscLookup.h"
#include "LookupAnswers.h"
#include "MusicBrainzRelease.h"

#include <gtest/gtest.h>

using namespace tunevale;
using namespace tunevale::test;

TEST(MusicBrainzRelease, TheReleaseCarryingTheDiscIdGivesArtistAlbumDateAndTitles)
{
    const auto release = parseDiscIdAnswer(discIdAnswer("abcDisc-"), "abcDisc-", 1);
    ASSERT_TRUE(release);
    EXPECT_EQ(release->id, "5b7f4a7e-2c3e-4e6a-9f0b-7d1a2e3c4b5a");
    EXPECT_EQ(release->artist, "Anna Lind & The Fjords");
    EXPECT_EQ(release->album, "Späte Lieder");
    EXPECT_EQ(release->date, "2004-05-17");
    EXPECT_EQ(release->titles, (std::map<int, std::string>{{1, "Erstes Licht"}, {2, "Mittag"}, {3, "Nacht"}}));
    EXPECT_EQ(release->trackArtists, (std::map<int, std::string>{{3, "Guest Singer"}}));
}

TEST(MusicBrainzRelease, WithoutTheDiscIdAMediumOfTheTrackCountIsTakenElseNothing)
{
    const auto byCount = parseDiscIdAnswer(discIdAnswer("abc"), "fuzzy", 1);
    ASSERT_TRUE(byCount);
    EXPECT_EQ(byCount->album, "Other Single");
    EXPECT_FALSE(parseDiscIdAnswer(discIdAnswer("abc"), "fuzzy", 7));
    EXPECT_FALSE(parseDiscIdAnswer(R"({"releases":[]})", "abc", 1));
    EXPECT_FALSE(parseDiscIdAnswer(discIdAnswer("abc").substr(0, 300), "abc", 3));
    EXPECT_FALSE(parseDiscIdAnswer("<html>busy</html>", "abc", 3));
    EXPECT_FALSE(parseDiscIdAnswer(R"([1,2])", "abc", 3));
}

TEST(MusicBrainzRelease, TagsTakeTheReleaseOverTheDiscsOwnAndFallBackToTrackNumbers)
{
    const DiscRelease release = *parseDiscIdAnswer(discIdAnswer("d"), "d", 3);
    SourceTags cdText;
    cdText.title = "ERSTES LICHT";
    cdText.artist = "A. Lind";
    cdText.genre = "Folk";
    const SourceTags first = tagsWithRelease(cdText, &release, 1);
    EXPECT_EQ(first.title, "Erstes Licht");
    EXPECT_EQ(first.artist, "Anna Lind & The Fjords");
    EXPECT_EQ(first.albumArtist, "Anna Lind & The Fjords");
    EXPECT_EQ(first.album, "Späte Lieder");
    EXPECT_EQ(first.date, "2004-05-17");
    EXPECT_EQ(first.genre, "Folk");
    EXPECT_EQ(tagsWithRelease({}, &release, 3).artist, "Guest Singer");
    // A track MusicBrainz does not list keeps what the disc said, or its number.
    EXPECT_EQ(tagsWithRelease(cdText, &release, 9).title, "ERSTES LICHT");
    EXPECT_EQ(tagsWithRelease({}, &release, 9).title, "Track 09");
    EXPECT_EQ(tagsWithRelease(cdText, nullptr, 4), cdText);
    EXPECT_EQ(tagsWithRelease({}, nullptr, 4).title, "Track 04");
    EXPECT_TRUE(tagsWithRelease({}, nullptr, 4).album.empty());
}
