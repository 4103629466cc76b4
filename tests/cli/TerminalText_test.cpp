#include "TerminalText.h"

#include <gtest/gtest.h>

using namespace tunevale;

TEST(TerminalText, EscapesWhatWouldSteerATerminalAndKeepsLettersOfEveryScript)
{
    EXPECT_EQ(escapedText("plain name.flac"), "plain name.flac");
    EXPECT_EQ(escapedText("Björk – 東京.flac"), "Björk – 東京.flac");
    EXPECT_EQ(escapedText("a\tb\nc\rd\x1b[0m\x7f"), "a\\tb\\nc\\rd\\033[0m\\177");
    EXPECT_EQ(escapedText("back\\slash"), "back\\\\slash");
    EXPECT_EQ(escapedText(std::string("nul\0x", 5)), "nul\\000x");
    // C1 controls (U+009B is a CSI for some terminals), bytes that are not UTF-8, overlong forms.
    EXPECT_EQ(escapedText("\xc2\x9b"
                          "31m"),
              "\\302\\23331m");
    EXPECT_EQ(escapedText("bad\xff\xfe"), "bad\\377\\376");
    EXPECT_EQ(escapedText("\xc0\xaf"), "\\300\\257");
    EXPECT_EQ(escapedText("\xe6\x9d"), "\\346\\235") << "a sequence cut short";
}

TEST(TerminalText, TellsValidUtf8)
{
    EXPECT_TRUE(isValidUtf8("東京 \t\x1b"));
    EXPECT_FALSE(isValidUtf8("bad\xff"));
    EXPECT_FALSE(isValidUtf8("\xed\xa0\x80")) << "a surrogate";
    EXPECT_FALSE(isValidUtf8("\xf4\x90\x80\x80")) << "beyond U+10FFFF";
}
