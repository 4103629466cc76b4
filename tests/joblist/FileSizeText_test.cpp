#include "FileSizeText.h"

#include <gtest/gtest.h>

#include <clocale>

namespace tunevale
{
namespace
{

TEST(FormatFileSize, UsesBytesBelowOneKilobyte)
{
    EXPECT_EQ(FormatFileSize(0, "."), "0 Bytes");
    EXPECT_EQ(FormatFileSize(512, "."), "512 Bytes");
    EXPECT_EQ(FormatFileSize(1023, "."), "1023 Bytes");
}

TEST(FormatFileSize, SwitchesUnitAtEachPowerOf1024)
{
    EXPECT_EQ(FormatFileSize(1024, "."), "1 KB");
    EXPECT_EQ(FormatFileSize(1536, "."), "1.5 KB");
    EXPECT_EQ(FormatFileSize(1048575, "."), "1024 KB"); // 1023.999 rounds up within the KB range
    EXPECT_EQ(FormatFileSize(1048576, "."), "1 MB");
    EXPECT_EQ(FormatFileSize(22408069, "."), "21.37 MB");
    EXPECT_EQ(FormatFileSize(1073741823, "."), "1024 MB");
    EXPECT_EQ(FormatFileSize(1073741824, "."), "1 GB");
}

TEST(FormatFileSize, RoundsToHundredthsWithHalvesToEven)
{
    EXPECT_EQ(FormatFileSize(1034, "."), "1.01 KB");
    EXPECT_EQ(FormatFileSize(1048576 + 5 * 10486, "."), "1.05 MB");
    // 2.125 KB = 2176 bytes is exact: nearest hundredth with halves to even gives 2.12.
    EXPECT_EQ(FormatFileSize(2176, "."), "2.12 KB");
    // 2.375 KB = 2432 bytes: halves to even gives 2.38.
    EXPECT_EQ(FormatFileSize(2432, "."), "2.38 KB");
    EXPECT_EQ(FormatFileSize(1126, "."), "1.1 KB"); // 1.0996... : no trailing zero
}

TEST(FormatFileSize, ShowsSizesBeyondTwoGibibytes)
{
    EXPECT_EQ(FormatFileSize(2147483648ULL, "."), "2 GB");
    EXPECT_EQ(FormatFileSize(4294967296ULL + 536870912ULL, "."), "4.5 GB");
    EXPECT_EQ(FormatFileSize(1099511627776ULL, "."), "1024 GB");
    EXPECT_EQ(FormatFileSize(UINT64_MAX, "."), "17179869184 GB");
}

TEST(FormatFileSize, UsesTheGivenOrTheLocaleDecimalSeparator)
{
    EXPECT_EQ(FormatFileSize(1536, ","), "1,5 KB");
    EXPECT_EQ(FormatFileSize(1024, ","), "1 KB");
    const std::string saved = std::setlocale(LC_NUMERIC, nullptr);
    if (std::setlocale(LC_NUMERIC, "de_DE.UTF-8")) {
        EXPECT_EQ(FormatFileSize(1536), "1,5 KB");
        std::setlocale(LC_NUMERIC, saved.c_str());
    }
    EXPECT_EQ(FormatFileSize(1536), "1.5 KB");
}

} // namespace
} // namespace tunevale
