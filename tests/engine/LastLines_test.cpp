#include "LastLines.h"

#include <gtest/gtest.h>

#include <string>

using namespace tunevale;

TEST(LastLines, KeepsTheLastLinesAsATerminalWouldShowThem)
{
    LastLines lines(3, 1024);
    EXPECT_EQ(lines.text(), "");
    lines.append("first\nsecond\r\n\n\nthird");
    EXPECT_EQ(lines.text(), "first\nsecond\nthird");
    // A progress display redraws its line after '\r': only its last state shows, and the message
    // written over it replaces it.
    lines.append("\r  1%\r 50%\r100%");
    EXPECT_EQ(lines.text(), "first\nsecond\n100%");
    lines.append("\rlame: error writing");
    lines.append(" the file\n");
    EXPECT_EQ(lines.text(), "first\nsecond\nlame: error writing the file");
    lines.append("no end");
    EXPECT_EQ(lines.text(), "second\nlame: error writing the file\nno end");
}

TEST(LastLines, StaysWithinItsBytesForEndlessOutput)
{
    LastLines lines(4, 64);
    for (int i = 0; i < 100'000; ++i)
        lines.append("x");
    EXPECT_EQ(lines.text(), std::string(64, 'x'));
    lines.append("\n" + std::string(500, 'y') + "z\nshort\n");
    // Both the long line and the whole text keep their ends.
    EXPECT_EQ(lines.text(), std::string(64 - 7, 'y') + "z\nshort");
}

TEST(LastLines, NeverStartsInsideAUtf8Sequence)
{
    LastLines lines(4, 5);
    lines.append("\xC3\xA4\xC3\xB6\xC3\xBC\n"); // äöü: six bytes
    EXPECT_EQ(lines.text(), "\xC3\xB6\xC3\xBC");
}
