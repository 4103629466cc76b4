#include "AccurateRipDatabase.h"
#include "LookupAnswers.h"

#include <gtest/gtest.h>

using namespace tunevale;
using namespace tunevale::test;

TEST(AccurateRipFile, EntriesAreReadAndCutOrEmptyFilesRefused)
{
    const AccurateRipDiscIds ids = accurateRipDiscIds(threeTrackToc());
    const std::string file =
        dbarEntry(ids, {{12, 0xAABBCCDD}, {200, 2}, {3, 3}}) + dbarEntry(ids, {{5, 7}, {6, 8}, {7, 9}});
    const auto entries = parseAccurateRipFile(file);
    ASSERT_TRUE(entries);
    ASSERT_EQ(entries->size(), 2u);
    EXPECT_EQ((*entries)[0].disc, ids);
    EXPECT_EQ((*entries)[0].tracks[0].confidence, 12);
    EXPECT_EQ((*entries)[0].tracks[0].checksum, 0xAABBCCDDu);
    EXPECT_EQ((*entries)[0].tracks[1].confidence, 200);
    EXPECT_EQ((*entries)[1].tracks[2].checksum, 9u);

    EXPECT_FALSE(parseAccurateRipFile(""));
    EXPECT_FALSE(parseAccurateRipFile(file.substr(0, file.size() - 1)));
    EXPECT_FALSE(parseAccurateRipFile(file.substr(0, 5)));
    EXPECT_FALSE(parseAccurateRipFile(std::string(13, '\0')));
}

TEST(AccurateRipFile, VerdictsOfAccurateMismatchAndAbsentTracks)
{
    const AccurateRipDiscIds ids = accurateRipDiscIds(threeTrackToc());
    AccurateRipDiscIds other = ids;
    other.id1 += 1;
    const auto entries = *parseAccurateRipFile(dbarEntry(ids, {{12, 100}, {4, 200}, {0, 300}}) +
                                               dbarEntry(ids, {{30, 101}, {9, 200}, {2, 301}}) +
                                               dbarEntry(other, {{99, 555}, {99, 555}, {99, 555}}));
    // v1 in one entry, v2 in the other: the better one counts.
    EXPECT_EQ(accurateRipVerdict(entries, ids, 0, 100, 101), "accurate (confidence 30)");
    EXPECT_EQ(accurateRipVerdict(entries, ids, 0, 100, 999), "accurate (confidence 12)");
    EXPECT_EQ(accurateRipVerdict(entries, ids, 1, 1, 200), "accurate (confidence 9)");
    // A checksum with no rip behind it agrees with nothing.
    EXPECT_EQ(accurateRipVerdict(entries, ids, 2, 300, 0), "mismatch");
    EXPECT_EQ(accurateRipVerdict(entries, ids, 2, 301, 0), "accurate (confidence 2)");
    EXPECT_EQ(accurateRipVerdict(entries, ids, 1, 555, 555), "mismatch");
    EXPECT_EQ(accurateRipVerdict(entries, ids, 3, 1, 1), "not in database");
    AccurateRipDiscIds unknown = ids;
    unknown.cddb ^= 1;
    EXPECT_EQ(accurateRipVerdict(entries, unknown, 0, 100, 101), "not in database");
}
