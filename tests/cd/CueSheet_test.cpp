#include "cd/CueSheet.h"
#include "cd/CueText.h"

#include <gtest/gtest.h>

using namespace tunevale;

namespace
{

CueSheet parsed(const std::string& text)
{
    CueSheet sheet;
    std::string error;
    EXPECT_TRUE(parseCueSheet(text, sheet, error)) << error;
    return sheet;
}

std::string damage(const std::string& text)
{
    CueSheet sheet;
    std::string error;
    EXPECT_FALSE(parseCueSheet(text, sheet, error)) << text;
    return error;
}

} // namespace

TEST(CueSheet, ReadsTheDiscsTextFilesTracksAndIndexes)
{
    const CueSheet sheet =
        parsed("\xEF\xBB\xBFREM GENRE \"Hard Rock\"\r\nREM DATE 1994\r\nREM COMMENT \"ExactAudioCopy v1.6\"\r\n"
               "REM DISCNUMBER 2\r\nREM TOTALDISCS 3\r\nCATALOG 0724384260927\r\n"
               "PERFORMER \"The Band\"\r\nTITLE \"The Album\"\r\nSONGWRITER \"Composer\"\r\n"
               "FILE \"Album Part 1.flac\" WAVE\r\n  TRACK 01 AUDIO\r\n    TITLE \"First\"\r\n"
               "    PERFORMER \"Guest\"\r\n    ISRC GBAYE9400001\r\n    FLAGS DCP\r\n"
               "    INDEX 01 00:00:00\r\n  track 02 audio\r\n    title Unquoted words\r\n"
               "    PREGAP 00:02:00\r\n    INDEX 01 03:10:74\r\nFILE part2.bin BINARY\r\n"
               "  TRACK 03 MODE1/2352\r\n    INDEX 00 00:00:00\r\n    INDEX 01 00:02:00\r\n"
               "    INDEX 02 00:04:00\r\n    POSTGAP 00:01:00\r\n");
    EXPECT_EQ(sheet.genre, "Hard Rock");
    EXPECT_EQ(sheet.date, "1994");
    EXPECT_EQ(sheet.comment, "ExactAudioCopy v1.6");
    EXPECT_EQ(sheet.discNumber, 2u);
    EXPECT_EQ(sheet.discTotal, 3u);
    EXPECT_EQ(sheet.catalog, "0724384260927");
    EXPECT_EQ(sheet.performer, "The Band");
    EXPECT_EQ(sheet.title, "The Album");
    EXPECT_EQ(sheet.songwriter, "Composer");
    ASSERT_EQ(sheet.files.size(), 2u);
    EXPECT_EQ(sheet.files[0].name, "Album Part 1.flac");
    EXPECT_EQ(sheet.files[0].type, CueFileType::Decoded);
    EXPECT_EQ(sheet.files[1].name, "part2.bin");
    EXPECT_EQ(sheet.files[1].type, CueFileType::Binary);
    ASSERT_EQ(sheet.tracks.size(), 3u);
    EXPECT_EQ(sheet.tracks[0].title, "First");
    EXPECT_EQ(sheet.tracks[0].performer, "Guest");
    EXPECT_EQ(sheet.tracks[0].isrc, "GBAYE9400001");
    EXPECT_EQ(sheet.tracks[1].title, "Unquoted words");
    EXPECT_EQ(sheet.tracks[1].pregapFrames, 150);
    EXPECT_EQ(sheet.tracks[1].start().frame, (3 * 60 + 10) * 75 + 74);
    EXPECT_EQ(sheet.tracks[1].start().file, 0u);
    EXPECT_FALSE(sheet.tracks[2].audio);
    EXPECT_EQ(sheet.tracks[2].indexes.size(), 3u);
    EXPECT_EQ(sheet.tracks[2].start().file, 1u);
    EXPECT_EQ(sheet.tracks[2].start().frame, 150);
    EXPECT_EQ(sheet.tracks[2].postgapFrames, 75);
}

TEST(CueSheet, TheOtherFileTypesAndLongImages)
{
    const CueSheet sheet = parsed("FILE \"a.aiff\" AIFF\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n"
                                  "FILE \"b.mp3\" MP3\n  TRACK 02 AUDIO\n    INDEX 01 00:00:00\n"
                                  "FILE \"c.raw\" MOTOROLA\n  TRACK 03 AUDIO\n    INDEX 01 125:00:00\n");
    EXPECT_EQ(sheet.files[0].type, CueFileType::Decoded);
    EXPECT_EQ(sheet.files[1].type, CueFileType::Decoded);
    EXPECT_EQ(sheet.files[2].type, CueFileType::Motorola);
    EXPECT_EQ(sheet.tracks[2].start().frame, 125 * 60 * 75);
}

TEST(CueSheet, DamagedSheetsAreRefusedNamingTheLine)
{
    const std::string head = "FILE \"a.wav\" WAVE\n  TRACK 01 AUDIO\n";
    EXPECT_EQ(damage(head + "    INDEX 01 00:60:00\n"), "line 3: INDEX is not \"INDEX nn mm:ss:ff\"");
    EXPECT_EQ(damage(head + "    INDEX 01 00:00:75\n"), "line 3: INDEX is not \"INDEX nn mm:ss:ff\"");
    EXPECT_EQ(damage(head + "    INDEX 01 0000\n"), "line 3: INDEX is not \"INDEX nn mm:ss:ff\"");
    EXPECT_EQ(damage(head + "    INDEX 01 -1:00:00\n"), "line 3: INDEX is not \"INDEX nn mm:ss:ff\"");
    EXPECT_EQ(damage("  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n"), "line 1: TRACK before any FILE");
    EXPECT_EQ(damage("FILE \"a.wav\" WAVE\n    INDEX 01 00:00:00\n"), "line 2: INDEX outside a TRACK");
    EXPECT_EQ(damage(head + "    INDEX 01 00:00:00\n  TRACK 03 AUDIO\n    INDEX 01 00:05:00\n"),
              "line 4: TRACK 03 does not follow track 1");
    EXPECT_EQ(damage(head + "    INDEX 01 00:09:00\n  TRACK 02 AUDIO\n    INDEX 01 00:05:00\n"),
              "line 5: INDEX 00:05:00 lies before the previous index");
    EXPECT_EQ(damage(head + "    INDEX 00 00:00:00\n  TRACK 02 AUDIO\n    INDEX 01 00:05:00\n"),
              "line 4: TRACK 1 has no INDEX 01");
    EXPECT_EQ(damage(head + "    INDEX 02 00:00:00\n"), "line 3: INDEX 02 comes before INDEX 01");
    EXPECT_EQ(damage(head + "    INDEX 01 00:00:00\n    INDEX 01 00:01:00\n"),
              "line 4: INDEX 01 does not follow index 1");
    EXPECT_EQ(damage(head), "TRACK 1 has no INDEX 01");
    EXPECT_EQ(damage("REM nothing here\n"), "the sheet has no track");
    EXPECT_EQ(damage("FILE \"a.wav WAVE\n"), "line 1: a quote is not closed");
    EXPECT_EQ(damage(head + "    INDEX 01 00:00:00\n\x01\x02\x03"), "line 4: the line holds bytes that are no text");
    EXPECT_EQ(damage("FILE \"a.bin\" BINARY\n  TRACK 01 VIDEO\n"), "line 2: TRACK has the unknown mode VIDEO");
    EXPECT_EQ(damage(head + "    PREGAP 2s\n"), "line 3: PREGAP is not \"PREGAP mm:ss:ff\"");
}

TEST(CueText, Utf8PassesAndLegacyEncodingsAreConverted)
{
    EXPECT_EQ(cueTextToUtf8("TITLE \"Bj\xC3\xB6rk\""), "TITLE \"Bj\xC3\xB6rk\"");
    EXPECT_EQ(cueTextToUtf8("\xEF\xBB\xBFTITLE x"), "TITLE x");
    // Latin-1 letters, and the typographic quote and dash of Windows-1252.
    EXPECT_EQ(cueTextToUtf8("Caf\xE9 M\xFCller"), "Caf\xC3\xA9 M\xC3\xBCller");
    EXPECT_EQ(cueTextToUtf8("Cr\xE8me br\xFBl\xE9\x65"), "Cr\xC3\xA8me br\xC3\xBBl\xC3\xA9\x65");
    EXPECT_EQ(cueTextToUtf8("Don\x92t \x96 Stop"), "Don\xE2\x80\x99t \xE2\x80\x93 Stop");
    // Shift-JIS: "東京事変" and the hiragana "ひらがな".
    EXPECT_EQ(cueTextToUtf8("TITLE \"\x93\x8C\x8B\x9E\x8E\x96\x95\xCF\""),
              "TITLE \"\xE6\x9D\xB1\xE4\xBA\xAC\xE4\xBA\x8B\xE5\xA4\x89\"");
    EXPECT_EQ(cueTextToUtf8("\x82\xD0\x82\xE7\x82\xAA\x82\xC8"), "\xE3\x81\xB2\xE3\x82\x89\xE3\x81\x8C\xE3\x81\xAA");
}

TEST(CueText, Utf8ValidityFollowsTheStandard)
{
    EXPECT_TRUE(isValidUtf8("plain \xE2\x82\xAC \xF0\x9F\x8E\xB5"));
    EXPECT_FALSE(isValidUtf8("\xC0\xAF"));         // overlong "/"
    EXPECT_FALSE(isValidUtf8("\xED\xA0\x80"));     // a surrogate
    EXPECT_FALSE(isValidUtf8("\xF4\x90\x80\x80")); // above U+10FFFF
    EXPECT_FALSE(isValidUtf8("\xE2\x82"));         // cut short
    EXPECT_FALSE(isValidUtf8("\xE9t\xE9"));
}
