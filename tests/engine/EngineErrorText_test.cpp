#include "Engine.h"
#include "EngineErrorText.h"

#include <gtest/gtest.h>

#include <set>

using namespace tunevale;

TEST(EngineErrorText, KnownCodes)
{
    EXPECT_EQ(EngineErrorText(0), "All is OK");
    EXPECT_EQ(EngineErrorText(2), "Can't Open the File");
    EXPECT_EQ(EngineErrorText(4), "The Sample Buffer Was Lost - Please Report This!");
    EXPECT_EQ(EngineErrorText(8), "BASS_Init Has Not Been Successfully Called");
    EXPECT_EQ(EngineErrorText(27), "The Stream is Not a File Stream (WAV/MP3)");
    EXPECT_EQ(EngineErrorText(38), "The channel is a 'decoding channel'");
    EXPECT_EQ(EngineErrorText(-1), "Some Other Mystery Error");
}

TEST(EngineErrorText, EncoderFailuresHaveTextsOfTheirOwn)
{
    EXPECT_EQ(EngineErrorText(EngineCode::EncoderStart), "The encoder could not be started");
    EXPECT_EQ(EngineErrorText(EngineCode::EncoderFailed), "The encoder ended with an error");
    EXPECT_EQ(EngineErrorText(99), "");
}

TEST(EngineErrorText, DamageBadOutputsAndTaggingFailuresHaveTextsOfTheirOwn)
{
    const int codes[] = {EngineCode::Truncated,   EngineCode::Corrupt,        EngineCode::OutputUnreadable,
                         EngineCode::OutputShort, EngineCode::TagsNotWritten, EngineCode::TagsLeftOut,
                         EngineCode::CdReadError, EngineCode::VerifyFailed};
    std::set<std::string> texts;
    for (const int code : codes) {
        EXPECT_NE(EngineErrorText(code), "") << code;
        texts.insert(EngineErrorText(code));
    }
    EXPECT_EQ(texts.size(), std::size(codes));
    EXPECT_EQ(EngineErrorText(EngineCode::TagsNotWritten), "The tags could not be written");
    EXPECT_EQ(EngineErrorText(110), "");
}

TEST(EngineErrorText, EveryCodeOfTheTableHasAText)
{
    for (int code :
         {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 14, 18, 19, 20, 21, 22, 23, 24, 25, 27, 29, 31, 32, 33, 34, 37, 38, -1})
        EXPECT_NE(EngineErrorText(code), "") << code;
}

TEST(EngineErrorText, UnlistedCodesGiveTheEmptyText)
{
    for (int code : {11, 15, 16, 26, 28, 30, 35, 36, 39, 40, 41, 1000, -2, -1000})
        EXPECT_EQ(EngineErrorText(code), "") << code;
}

TEST(EngineErrorText, CdFailuresUseTheCdTexts)
{
    EXPECT_EQ(EngineErrorText(EngineCode::CdInit), "Can't Initialize CD");
    EXPECT_EQ(EngineErrorText(EngineCode::NoCd), "No CD in drive");
    EXPECT_EQ(EngineErrorText(EngineCode::CdTrack), "Can't Play the Selected CD Track");
    EXPECT_EQ(EngineErrorText(EngineCode::NotAudio), "Not An Audio Track");
    EXPECT_EQ(EngineErrorText(EngineCode::CdReadError), "The CD track has sectors that could not be read");
}
