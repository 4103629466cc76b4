#include "GetWMABitRateFromQuality.h"

#include <gtest/gtest.h>

using namespace tunevale;

namespace
{

const std::vector<std::uint32_t> TenRates{320000, 192000, 160000, 128000, 96000, 80000, 64000, 48000, 40000, 32000, 0};

} // namespace

TEST(GetWMABitRateFromQuality, PicksByPositionWithHalvesToEven)
{
    struct Case {
        int quality;
        int entry;
    };
    // 50: k = 5; 5: 0.5 rounds to 0, so k = 1; 25: 2.5 rounds to 2; 15: 1.5 rounds to 2.
    for (const Case c : {Case{50, 5}, Case{5, 9}, Case{25, 8}, Case{15, 8}, Case{100, 0}, Case{0, 9}, Case{35, 6}}) {
        const WmaBitrateChoice choice = chooseWmaBitrate(TenRates, c.quality);
        EXPECT_EQ(choice.selected, c.entry) << "quality " << c.quality;
        EXPECT_EQ(choice.bitrate, static_cast<std::int32_t>(TenRates[c.entry])) << "quality " << c.quality;
    }
}

TEST(GetWMABitRateFromQuality, EntriesShowKilobitsAndKeepTheExactRate)
{
    const WmaBitrateChoice choice = chooseWmaBitrate({128000, 20500, 21500, 0, 999}, 0);
    ASSERT_EQ(choice.entries.size(), 3u); // the list ends at its 0 entry
    EXPECT_EQ(choice.entries[0].text, "128 Kbps");
    EXPECT_EQ(choice.entries[1].text, "20 Kbps");
    EXPECT_EQ(choice.entries[2].text, "22 Kbps");
    EXPECT_EQ(choice.entries[1].bitrate, 20500u);
    // The bitrate comes from the text shown, not the exact rate.
    EXPECT_EQ(choice.selected, 2);
    EXPECT_EQ(choice.bitrate, 22000);
}

TEST(GetWMABitRateFromQuality, NoListEmptyListAndQualityOutOfRange)
{
    EXPECT_EQ(chooseWmaBitrate({}, 50).bitrate, -1);
    const WmaBitrateChoice empty = chooseWmaBitrate({0}, 50);
    EXPECT_EQ(empty.bitrate, 0);
    EXPECT_EQ(empty.selected, -1);
    EXPECT_EQ(chooseWmaBitrate(TenRates, 150).bitrate, -1);
    EXPECT_EQ(chooseWmaBitrate(TenRates, -50).bitrate, -1);
}
