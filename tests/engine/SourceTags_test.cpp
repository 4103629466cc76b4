#include "EngineTestSupport.h"
#include "SourceTagCollector.h"
#include "TagText.h"
#include "TaggedSources.h"

#include <gtest/gtest.h>

using namespace tunevale;
using namespace tunevale::test;

namespace
{

SourceTags collect(const std::vector<std::pair<std::string, std::string>>& entries)
{
    SourceTagCollector collector;
    for (const auto& [key, value] : entries)
        collector.add(key, value);
    return collector.tags();
}

TEST(SourceTagCollector, NumbersAloneOrWithTheirTotal)
{
    const auto pair = [](std::string_view text) {
        unsigned number = 99, total = 99;
        parseNumberPair(text, number, total);
        return std::make_pair(number, total);
    };
    EXPECT_EQ(pair("3/12"), std::make_pair(3u, 12u));
    EXPECT_EQ(pair(" 03 / 12 "), std::make_pair(3u, 12u));
    EXPECT_EQ(pair("7"), std::make_pair(7u, 0u));
    EXPECT_EQ(pair("/12"), std::make_pair(0u, 12u));
    EXPECT_EQ(pair("3/"), std::make_pair(3u, 0u));
    EXPECT_EQ(pair("A1"), std::make_pair(0u, 0u));
    EXPECT_EQ(pair("-2"), std::make_pair(0u, 0u));
    EXPECT_EQ(pair("99999999999/1"), std::make_pair(0u, 1u));
    EXPECT_EQ(pair(""), std::make_pair(0u, 0u));
}

TEST(SourceTagCollector, KeysOfEveryTagFamilyInAnyCase)
{
    const SourceTags tags = collect({{"TITLE", "t"},
                                     {"Author", "a"},
                                     {"WM/AlbumTitle", "al"},
                                     {"ALBUMARTIST", "aa"},
                                     {"TrackNumber", "4"},
                                     {"TOTALTRACKS", "9"},
                                     {"DISCNUMBER", "2"},
                                     {"totaldiscs", "3"},
                                     {"WM/Genre", "g"},
                                     {"DESCRIPTION", "c"},
                                     {"WM/Composer", "co"},
                                     {"encoder", "Lavf"}});
    SourceTags expected;
    expected.title = "t";
    expected.artist = "a";
    expected.album = "al";
    expected.albumArtist = "aa";
    expected.track = 4;
    expected.trackTotal = 9;
    expected.disc = 2;
    expected.discTotal = 3;
    expected.genre = "g";
    expected.comment = "c";
    expected.composer = "co";
    EXPECT_EQ(tags, expected);

    EXPECT_EQ(collect({{"TRACKTOTAL", "12"}, {"DISCTOTAL", "4"}}).trackTotal, 12u);
    EXPECT_EQ(collect({{"TRACKTOTAL", "12"}, {"DISCTOTAL", "4"}}).discTotal, 4u);
    EXPECT_TRUE(collect({{"encoder", "Lavf"}, {"language", "eng"}, {"title", "  "}}).empty());
}

TEST(SourceTagCollector, FirstValueWinsAndAFullDateBeatsAYear)
{
    const SourceTags tags = collect({{"title", "container"},
                                     {"TITLE", "stream"},
                                     {"track", "5/10"},
                                     {"TRACKTOTAL", "11"},
                                     {"year", "1999"},
                                     {"date", "1999-12-31"}});
    EXPECT_EQ(tags.title, "container");
    EXPECT_EQ(tags.trackTotal, 10u);
    EXPECT_EQ(tags.date, "1999-12-31");
    EXPECT_EQ(collect({{"WM/Year", "2003"}}).date, "2003");
    // A number that does not parse leaves the field to a later entry.
    EXPECT_EQ(collect({{"track", "side A"}, {"WM/TrackNumber", "2"}}).track, 2u);
}

TEST(SourceTagCollector, AFrontCoverBeatsOtherPictures)
{
    SourceTagCollector collector;
    collector.addPicture({"image/png", {1}}, false);
    collector.addPicture({"image/png", {2}}, false);
    EXPECT_EQ(collector.tags().frontCover.bytes, std::vector<unsigned char>{1});
    collector.addPicture({"image/jpeg", {3}}, true);
    collector.addPicture({"image/jpeg", {4}}, true);
    EXPECT_EQ(collector.tags().frontCover, (TagPicture{"image/jpeg", {3}}));
}

TEST(TagText, RepairsBrokenUtf8AndDropsControlCharacters)
{
    EXPECT_EQ(cleanTagText("Ünïcødé 标题 🎵"), "Ünïcødé 标题 🎵");
    EXPECT_EQ(cleanTagText("line\none\ttab\r"), "line\none\ttab\r");
    EXPECT_EQ(cleanTagText(std::string("a\0b\x01\x1b\x7F"
                                       "c",
                                       7)),
              "abc");
    EXPECT_EQ(cleanTagText("\xC2\x85x"), "x"); // a C1 control
    const std::string replacement = "\xEF\xBF\xBD";
    EXPECT_EQ(cleanTagText("a\xFF"
                           "b"),
              "a" + replacement + "b");
    EXPECT_EQ(cleanTagText("\xC3"), replacement);                   // cut short at the end
    EXPECT_EQ(cleanTagText("\xE6\xA0x"), replacement + "x");        // cut short before a letter
    EXPECT_EQ(cleanTagText("\xC0\xAF"), replacement + replacement); // overlong '/'
    EXPECT_EQ(cleanTagText("\xED\xA0\x80"), replacement);           // a UTF-16 surrogate
    EXPECT_EQ(cleanTagText("\xF4\x90\x80\x80"), replacement);       // beyond U+10FFFF
    // Five-byte forms do not exist: the lead and each stray continuation byte are replaced.
    std::string fiveReplacements;
    for (int i = 0; i < 5; ++i)
        fiveReplacements += replacement;
    EXPECT_EQ(cleanTagText("\xF8\x88\x80\x80\x80"), fiveReplacements);
}

// A FLAC picture block as a Vorbis comment carries it, base64-encoded.
std::string pictureBlockBase64(const TagPicture& picture)
{
    std::string block;
    const auto put32 = [&block](std::uint32_t value) {
        for (int shift = 24; shift >= 0; shift -= 8)
            block += static_cast<char>((value >> shift) & 0xFF);
    };
    put32(3); // front cover
    put32(static_cast<std::uint32_t>(picture.mimeType.size()));
    block += picture.mimeType;
    put32(0); // no description
    put32(32);
    put32(24);
    put32(24);
    put32(0);
    put32(static_cast<std::uint32_t>(picture.bytes.size()));
    block.append(picture.bytes.begin(), picture.bytes.end());
    static constexpr char Alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string encoded;
    for (std::size_t i = 0; i < block.size(); i += 3) {
        std::uint32_t group = static_cast<std::uint32_t>(static_cast<unsigned char>(block[i])) << 16;
        if (i + 1 < block.size())
            group |= static_cast<std::uint32_t>(static_cast<unsigned char>(block[i + 1])) << 8;
        if (i + 2 < block.size())
            group |= static_cast<unsigned char>(block[i + 2]);
        encoded += Alphabet[(group >> 18) & 63];
        encoded += Alphabet[(group >> 12) & 63];
        encoded += i + 1 < block.size() ? Alphabet[(group >> 6) & 63] : '=';
        encoded += i + 2 < block.size() ? Alphabet[group & 63] : '=';
    }
    return encoded;
}

class SourceTagsFromFiles : public ::testing::Test
{
protected:
    SourceTags read(const std::filesystem::path& file)
    {
        EngineHandle handle = m_engine->StreamCreateFile(file.string(), 0, 0, StreamFlag::DecodeOnly);
        if (!handle)
            handle = m_engine->MusicLoad(file.string(), 0, 0, StreamFlag::DecodeOnly, 0);
        EXPECT_NE(handle, 0u) << file << " code " << m_engine->ErrorGetCode();
        SourceTags tags;
        EXPECT_TRUE(m_engine->ChannelGetTags(handle, tags));
        // The tags stay readable while the stream decodes and match those read before.
        const std::string pcm = decodeAll(*m_engine, handle);
        EXPECT_FALSE(pcm.empty());
        SourceTags afterDecoding;
        EXPECT_TRUE(m_engine->ChannelGetTags(handle, afterDecoding));
        EXPECT_EQ(afterDecoding, tags);
        m_engine->StreamFree(handle);
        return tags;
    }

    TempDir m_dir;
    std::unique_ptr<Engine> m_engine = decodingEngine();
    const SourceTags m_tags = unicodeTags();
};

TEST_F(SourceTagsFromFiles, FlacMp3AndM4aWithTheirCovers)
{
    SourceTags expected = m_tags;
    expected.frontCover = makeCover(m_dir / "cover.png");
    EXPECT_EQ(read(makeTaggedSource(m_dir / "a.flac", m_tags, m_dir / "cover.png", {"-c:a", "flac"})), expected);
    EXPECT_EQ(read(makeTaggedSource(m_dir / "a.m4a", m_tags, m_dir / "cover.png", {"-c:a", "aac"})), expected);

    expected.frontCover = makeCover(m_dir / "cover.jpg", "blue");
    EXPECT_EQ(read(makeTaggedSource(m_dir / "a.mp3", m_tags, m_dir / "cover.jpg",
                                    {"-c:a", "libmp3lame", "-id3v2_version", "3"})),
              expected);
    EXPECT_EQ(read(makeTaggedSource(m_dir / "v4.mp3", m_tags, m_dir / "cover.jpg",
                                    {"-c:a", "libmp3lame", "-id3v2_version", "4"})),
              expected);
}

TEST_F(SourceTagsFromFiles, OggWithAPictureCommentAndWmaWithout)
{
    SourceTags expected = m_tags;
    expected.frontCover = makeCover(m_dir / "cover.jpg");
    const auto ogg = makeTaggedSource(
        m_dir / "a.ogg", m_tags, {},
        {"-metadata", "METADATA_BLOCK_PICTURE=" + pictureBlockBase64(expected.frontCover), "-c:a", "libvorbis"});
    EXPECT_EQ(read(ogg), expected);

    expected.frontCover = {};
    EXPECT_EQ(read(makeTaggedSource(m_dir / "a.wma", m_tags, {}, {"-c:a", "wmav2"})), expected);
}

TEST_F(SourceTagsFromFiles, SeparateTotalsAndTheYear)
{
    makeTone(m_dir / "totals.flac", 0.5, 44100, 1,
             {"-metadata", "TRACKNUMBER=03", "-metadata", "TRACKTOTAL=12", "-metadata", "DISCNUMBER=2", "-metadata",
              "DISCTOTAL=5", "-metadata", "YEAR=1987", "-c:a", "flac"});
    const SourceTags tags = read(m_dir / "totals.flac");
    EXPECT_EQ(tags.track, 3u);
    EXPECT_EQ(tags.trackTotal, 12u);
    EXPECT_EQ(tags.disc, 2u);
    EXPECT_EQ(tags.discTotal, 5u);
    EXPECT_EQ(tags.date, "1987");
}

TEST_F(SourceTagsFromFiles, VideosCarryTheirTitle)
{
    for (const std::string name : {"v.mp4", "v.avi"}) {
        ffmpeg({"-f", "lavfi", "-i", "sine=duration=1", "-f", "lavfi", "-i", "testsrc=s=64x48:r=5:d=1", "-map", "0",
                "-map", "1", "-c:v", "mpeg4", "-metadata", "title=" + m_tags.title, "-metadata",
                "artist=" + m_tags.artist, (m_dir / name).string()});
        const SourceTags tags = read(m_dir / name);
        EXPECT_EQ(tags.title, m_tags.title) << name;
        EXPECT_EQ(tags.artist, m_tags.artist) << name;
        EXPECT_TRUE(tags.frontCover.empty()) << name; // the film's own pictures are no cover
    }
}

TEST_F(SourceTagsFromFiles, UntaggedFilesAndModules)
{
    EXPECT_TRUE(read(makeTone(m_dir / "plain.wav", 0.5)).empty());
    EXPECT_TRUE(read(makeTone(m_dir / "plain.flac", 0.5, 44100, 2, {"-c:a", "flac"})).empty());
    writeFile(m_dir / "tune.mod", squareWaveModule());
    const SourceTags module = read(m_dir / "tune.mod");
    EXPECT_EQ(module.title, "test");
    EXPECT_TRUE(module.comment.empty());
}

TEST_F(SourceTagsFromFiles, BrokenTextIsRepaired)
{
    // FLAC's Vorbis comments take the bytes as they are, broken UTF-8 and control characters too.
    makeTone(m_dir / "broken.flac", 0.5, 44100, 1,
             {"-metadata", "title=ok\xFF\xFE\x01 end", "-metadata", "artist=\xC3", "-c:a", "flac"});
    const SourceTags tags = read(m_dir / "broken.flac");
    EXPECT_EQ(tags.title, "ok\xEF\xBF\xBD\xEF\xBF\xBD end");
    EXPECT_EQ(tags.artist, "\xEF\xBF\xBD");
}

TEST_F(SourceTagsFromFiles, AnUnknownHandleIsAnError)
{
    SourceTags tags;
    tags.title = "kept";
    EXPECT_FALSE(m_engine->ChannelGetTags(12345, tags));
    EXPECT_EQ(m_engine->ErrorGetCode(), EngineCode::Handle);
    EXPECT_EQ(tags.title, "kept");
}

} // namespace
