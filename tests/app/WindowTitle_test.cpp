#include "WindowTitle.h"

#include <gtest/gtest.h>

namespace tunevale
{
namespace
{

TEST(RunWindowTitle, NamesTheFileOfTheRunWithAnEnDash)
{
    EXPECT_EQ(runWindowTitle(7, 20), "Tunevale \xE2\x80\x93 7 of 20");
    EXPECT_EQ(runWindowTitle(1, 1), "Tunevale \xE2\x80\x93 1 of 1");
    EXPECT_EQ(runWindowTitle(20, 20), "Tunevale \xE2\x80\x93 20 of 20");
}

TEST(RunWindowTitle, IsTheProductNameOutsideARun)
{
    for (auto [current, total] : {std::pair{0, 0}, {0, 5}, {6, 5}, {-1, 3}, {1, -1}})
        EXPECT_EQ(runWindowTitle(current, total), "Tunevale") << current << " of " << total;
}

} // namespace
} // namespace tunevale
