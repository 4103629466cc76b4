#include "NamePattern.h"
#include "OutputLayout.h"
#include "SafeFileName.h"

#include <gtest/gtest.h>

namespace tunevale
{
namespace
{

TEST(SafeFileName, ReplacesWhatFatAndNtfsRefuse)
{
    EXPECT_EQ(safeFileName("AC/DC: Live? \"Best\" <1|2> *\\", "mp3"), "AC_DC_ Live_ _Best_ _1_2_ __.mp3");
    EXPECT_EQ(safeFileName(std::string("tab\there\x01\x7f"), "ogg"), "tab_here__.ogg");
    EXPECT_EQ(safeFileName("Unicode Ünïcødé 日本", "mp3"), "Unicode Ünïcødé 日本.mp3");
}

TEST(SafeFileName, DropsTrailingDotsAndSpacesAndHidingDots)
{
    EXPECT_EQ(safeFileName("Vol. 2. . "), "Vol. 2");
    EXPECT_EQ(safeFileName("Mr. ", "mp3"), "Mr.mp3");
    EXPECT_EQ(safeFileName("  padded"), "padded");
    EXPECT_EQ(safeFileName(".hidden", "mp3"), "_hidden.mp3");
    EXPECT_EQ(safeFileName(".."), "_");
    EXPECT_EQ(safeFileName("."), "_");
    EXPECT_EQ(safeFileName(""), "_");
    EXPECT_EQ(safeFileName("   ", "mp3"), "_.mp3");
}

TEST(SafeFileName, RenamesReservedDeviceNames)
{
    EXPECT_EQ(safeFileName("CON", "mp3"), "CON_.mp3");
    EXPECT_EQ(safeFileName("nul"), "nul_");
    EXPECT_EQ(safeFileName("Com1", "ogg"), "Com1_.ogg");
    EXPECT_EQ(safeFileName("lpt9.live", "mp3"), "lpt9_.live.mp3");
    EXPECT_EQ(safeFileName("aux. "), "aux_");
    EXPECT_EQ(safeFileName("COM0", "mp3"), "COM0.mp3");
    EXPECT_EQ(safeFileName("CONSOLE", "mp3"), "CONSOLE.mp3");
    EXPECT_EQ(safeFileName("COM10", "mp3"), "COM10.mp3");
}

TEST(SafeFileName, CutsLongNamesAtACharacterKeepingTheExtension)
{
    const std::string longAscii(300, 'a');
    EXPECT_EQ(safeFileName(longAscii, "mp3"), std::string(251, 'a') + ".mp3");
    // "é" is two bytes: 251 bytes would split the 126th, so the name stops after 125 of them.
    std::string accents;
    for (int i = 0; i < 200; ++i)
        accents += "é";
    const auto cut = safeFileName(accents, "mp3");
    EXPECT_EQ(cut.size(), 250u + 4u);
    EXPECT_EQ(cut.substr(0, 250), accents.substr(0, 250));
    // A cut that ends on a space or dot is trimmed after cutting.
    EXPECT_EQ(safeFileName(std::string(250, 'b') + " ." + std::string(10, 'c'), "mp3"), std::string(250, 'b') + ".mp3");
    EXPECT_LE(safeFileName(std::string(400, 'x')).size(), MaxNameBytes);
}

TEST(SafeFileName, CutAtCharacterNeverSplitsAFourByteCharacter)
{
    const std::string text = "ab\xF0\x9F\x8E\xB5"; // "ab" and a musical note
    EXPECT_EQ(cutAtCharacter(text, 5), "ab");
    EXPECT_EQ(cutAtCharacter(text, 6), text);
    EXPECT_EQ(cutAtCharacter(text, 2), "ab");
}

NamePattern parsed(const std::string& text)
{
    std::string error;
    auto pattern = NamePattern::parse(text, error);
    EXPECT_TRUE(pattern) << error;
    return pattern ? *pattern : *NamePattern::parse("{name}", error);
}

SourceTags fullTags()
{
    SourceTags tags;
    tags.title = "Intro";
    tags.artist = "Band";
    tags.albumArtist = "Various";
    tags.album = "First";
    tags.track = 3;
    tags.disc = 2;
    tags.date = "2021-05-03";
    tags.genre = "Rock";
    return tags;
}

TEST(NamePattern, FillsEveryField)
{
    const PatternSource source{fullTags(), "03 intro", "Band/First"};
    EXPECT_EQ(parsed("{albumartist}/{album}/{track:02} {title}").render(source, "mp3"), "Various/First/03 Intro.mp3");
    EXPECT_EQ(parsed("{artist} - {year} - {genre} - d{disc}t{track:3} - {name}").render(source, "ogg"),
              "Band - 2021 - Rock - d2t003 - 03 intro.ogg");
    EXPECT_EQ(parsed("{folder}/{name}").render(source, "mp3"), "Band/First/03 intro.mp3");
    EXPECT_EQ(parsed("{{{title}}}").render(source, "mp3"), "{Intro}.mp3");
}

TEST(NamePattern, MissingFieldsFallBack)
{
    const PatternSource source{SourceTags{}, "track one", ""};
    EXPECT_EQ(parsed("{albumartist}/{album}/{track:02} {title}").render(source, "mp3"),
              "Unknown Artist/Unknown Album/track one.mp3");
    auto artistOnly = SourceTags{};
    artistOnly.artist = "Solo";
    EXPECT_EQ(parsed("{albumartist}/{title}").render({artistOnly, "x", ""}, "mp3"), "Solo/x.mp3");
    // An empty {folder} adds no level.
    EXPECT_EQ(parsed("{folder}/{name}").render(source, "mp3"), "track one.mp3");
}

TEST(NamePattern, TagsCannotAddLevelsOrEscape)
{
    auto tags = fullTags();
    tags.artist = "AC/DC";
    tags.albumArtist.clear();
    tags.album = "..";
    tags.title = "CON";
    EXPECT_EQ(parsed("{albumartist}/{album}/{title}").render({tags, "n", ""}, "mp3"), "AC_DC/_/CON_.mp3");
}

TEST(NamePattern, RefusesBadPatternsWithAMessage)
{
    for (const auto* bad :
         {"{artist", "{album}/{title", "title}", "{artsit}/{title}", "{title:02}", "{track:x}", "{track:}", "{}", ""}) {
        std::string error;
        EXPECT_FALSE(NamePattern::parse(bad, error)) << bad;
        EXPECT_FALSE(error.empty()) << bad;
    }
    std::string error;
    NamePattern::parse("{artsit}", error);
    EXPECT_NE(error.find("{artsit}"), std::string::npos) << error;
}

TEST(OutputLayout, KeepsSubFoldersMadeSafe)
{
    const OutputLayout keep;
    EXPECT_EQ(keep.outputPath("Artist/Album: Live?/01 Intro.flac", {}, "mp3"), "Artist/Album_ Live_/01 Intro.mp3");
    EXPECT_EQ(keep.outputPath("top.flac", {}, "ogg"), "top.ogg");
    EXPECT_EQ(keep.outputPath("a/live.2010.flac", {}, "mp3"), "a/live.2010.mp3");
    EXPECT_EQ(keep.outputPath("CON/AUX.flac", {}, "mp3"), "CON_/AUX_.mp3");
    EXPECT_FALSE(keep.usesTags());
    const OutputLayout byTags(parsed("{artist}/{title}"));
    EXPECT_TRUE(byTags.usesTags());
    EXPECT_EQ(byTags.outputPath("x/y/file.flac", fullTags(), "mp3"), "Band/Intro.mp3");
}

} // namespace
} // namespace tunevale
