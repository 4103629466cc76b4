#include "EncodedOutputs.h"
#include "GainReadBack.h"
#include "OutputRewrite.h"
#include "OutputTags.h"
#include "TagReadBack.h"
#include "TaggedSources.h"

#include <taglib/aifffile.h>
#include <taglib/apeitem.h>
#include <taglib/apetag.h>
#include <taglib/attachedpictureframe.h>
#include <taglib/flacfile.h>
#include <taglib/id3v2tag.h>
#include <taglib/mp4coverart.h>
#include <taglib/mp4file.h>
#include <taglib/opusfile.h>
#include <taglib/wavpackfile.h>
#include <taglib/xiphcomment.h>

#include <gtest/gtest.h>

#include <sstream>

using namespace tunevale;
using namespace tunevale::test;

namespace
{

std::string bytesOf(const TagLib::ByteVector& data)
{
    return {data.data(), data.size()};
}

// The front cover's bytes as TagLib reads them from the container's own place for it.
std::string taglibCover(const std::filesystem::path& file, EncodedKind kind)
{
    const auto onlyPicture = [](const TagLib::List<TagLib::FLAC::Picture*>& pictures) {
        EXPECT_EQ(pictures.size(), 1u);
        return pictures.isEmpty() || pictures.front()->type() != TagLib::FLAC::Picture::FrontCover
                   ? std::string()
                   : bytesOf(pictures.front()->data());
    };
    switch (kind) {
    case EncodedKind::Flac: {
        TagLib::FLAC::File flac(file.c_str(), false);
        EXPECT_TRUE(flac.xiphComment() == nullptr || flac.xiphComment()->pictureList().isEmpty());
        return onlyPicture(flac.pictureList());
    }
    case EncodedKind::Opus: {
        TagLib::Ogg::Opus::File opus(file.c_str(), false);
        return onlyPicture(opus.tag()->pictureList());
    }
    case EncodedKind::Aac:
    case EncodedKind::Alac: {
        TagLib::MP4::File mp4(file.c_str(), false);
        const auto covers = mp4.tag()->item("covr").toCoverArtList();
        EXPECT_EQ(covers.size(), 1u);
        return covers.isEmpty() ? std::string() : bytesOf(covers.front().data());
    }
    case EncodedKind::WavPack: {
        TagLib::WavPack::File wv(file.c_str(), false);
        const TagLib::ByteVector value = wv.APETag()->itemListMap()["COVER ART (FRONT)"].binaryData();
        const int end = value.find('\0');
        return end < 0 ? std::string() : bytesOf(value.mid(static_cast<unsigned>(end) + 1));
    }
    case EncodedKind::Aiff: {
        TagLib::RIFF::AIFF::File aiff(file.c_str(), false);
        const auto frames = aiff.tag()->frameList("APIC");
        EXPECT_EQ(frames.size(), 1u);
        const auto* picture =
            frames.isEmpty() ? nullptr : dynamic_cast<TagLib::ID3v2::AttachedPictureFrame*>(frames.front());
        return picture && picture->type() == TagLib::ID3v2::AttachedPictureFrame::FrontCover
                   ? bytesOf(picture->picture())
                   : std::string();
    }
    default:
        ADD_FAILURE() << "no cover reader for " << nameOf(kind);
    }
    return {};
}

// The values of a field in TagLib's generic property map ("ARTIST", "TRACKNUMBER" ...).
std::vector<std::string> taglibValues(const std::filesystem::path& file, const char* key)
{
    TagLib::FileRef ref(file.c_str(), false);
    std::vector<std::string> values;
    if (ref.isNull()) {
        ADD_FAILURE() << "TagLib cannot read " << file;
        return values;
    }
    const TagLib::PropertyMap properties = ref.file()->properties();
    for (const TagLib::String& value : properties[key])
        values.push_back(value.to8Bit(true));
    return values;
}

// The format's own checker finds the tagged file sound, where the setup script installs one.
void expectValidStream(const std::filesystem::path& file, EncodedKind kind)
{
    std::vector<std::string> check;
    if (kind == EncodedKind::Flac)
        check = {"flac", "-t", "-s", file.string()};
    else if (kind == EncodedKind::Opus)
        check = {"opusinfo", file.string()};
    else if (kind == EncodedKind::WavPack)
        check = {"wvunpack", "-q", "-v", file.string()};
    if (check.empty())
        return;
    const ProgramResult result = runProgram(check);
    EXPECT_EQ(result.exitCode, 0) << result.output;
}

std::vector<std::string> one(const std::string& value)
{
    return {value};
}

// What players read for the gains above: R128 gains (-6.523 - 5 dB, -7.1 - 5 dB in 1/256 dB) in
// Opus, ReplayGain elsewhere.
GainMap measuredTexts(EncodedKind kind)
{
    if (kind == EncodedKind::Opus)
        return {{"R128_TRACK_GAIN", "-2950"}, {"R128_ALBUM_GAIN", "-3098"}};
    return {{"REPLAYGAIN_TRACK_GAIN", "-6.52 dB"},
            {"REPLAYGAIN_TRACK_PEAK", "0.988547"},
            {"REPLAYGAIN_ALBUM_GAIN", "-7.10 dB"},
            {"REPLAYGAIN_ALBUM_PEAK", "1.041200"}};
}

bool lossy(EncodedKind kind)
{
    return kind == EncodedKind::Opus || kind == EncodedKind::Aac;
}

class ContainerTags : public ::testing::TestWithParam<EncodedKind>
{
protected:
    OutputTagFormat format() const { return tagFormatOf(GetParam()); }

    TempDir m_dir;
};

TEST_P(ContainerTags, TagsCoverAndGainsAreReadBackByFfprobeAndTagLib)
{
    SourceTags tags = unicodeTags();
    tags.frontCover = makeCover(m_dir / "cover.jpg");
    const auto out = encodedOutput(m_dir.path(), GetParam());
    const std::string audio = decodedAudio(out);
    const TagWriteResult result = WriteOutputTags(out.string(), format(), tags, {}, measured());
    ASSERT_EQ(result.status, TagWriteStatus::Written) << result.error;
    EXPECT_TRUE(result.leftOut.empty());
    EXPECT_TRUE(result.dropped.empty());
    EXPECT_EQ(decodedAudio(out), audio);

    const ProbedTags probe = probeTags(out);
    // FFmpeg shows APEv2 items under their own names.
    const bool ape = GetParam() == EncodedKind::WavPack;
    EXPECT_EQ(probed(probe, "title"), tags.title);
    EXPECT_EQ(probed(probe, "artist"), tags.artist);
    EXPECT_EQ(probed(probe, "album"), tags.album);
    EXPECT_EQ(probed(probe, ape ? "Album Artist" : "album_artist"), tags.albumArtist);
    EXPECT_EQ(probed(probe, ape ? "Year" : "date"), tags.date);
    EXPECT_EQ(probed(probe, "genre"), tags.genre);
    EXPECT_EQ(probed(probe, "comment"), tags.comment);
    EXPECT_EQ(probed(probe, "composer"), tags.composer);
    const bool vorbis = GetParam() == EncodedKind::Flac || GetParam() == EncodedKind::Opus;
    EXPECT_EQ(probed(probe, "track"), vorbis ? "3" : "3/12");
    EXPECT_EQ(probed(probe, "disc"), vorbis ? "1" : "1/2");
    if (vorbis) {
        EXPECT_EQ(probed(probe, "TRACKTOTAL"), "12");
        EXPECT_EQ(probed(probe, "DISCTOTAL"), "2");
    }
    EXPECT_TRUE(sameBytes(probedCover(out), tags.frontCover));
    EXPECT_EQ(probedGains(out), measuredTexts(GetParam()));

    EXPECT_EQ(taglibValues(out, "TITLE"), one(tags.title));
    EXPECT_EQ(taglibValues(out, "ARTIST"), one(tags.artist));
    EXPECT_EQ(taglibValues(out, "ALBUM"), one(tags.album));
    EXPECT_EQ(taglibValues(out, "ALBUMARTIST"), one(tags.albumArtist));
    EXPECT_EQ(taglibValues(out, "TRACKNUMBER"), one(vorbis ? "3" : "3/12"));
    EXPECT_EQ(taglibValues(out, "DISCNUMBER"), one(vorbis ? "1" : "1/2"));
    EXPECT_EQ(taglibValues(out, "DATE"), one(tags.date));
    EXPECT_EQ(taglibValues(out, "GENRE"), one(tags.genre));
    EXPECT_EQ(taglibValues(out, "COMMENT"), one(tags.comment));
    EXPECT_EQ(taglibValues(out, "COMPOSER"), one(tags.composer));
    EXPECT_TRUE(sameBytes(taglibCover(out, GetParam()), tags.frontCover));
    EXPECT_EQ(taglibGains(out), measuredTexts(GetParam()));
    expectValidStream(out, GetParam());
}

TEST_P(ContainerTags, SeveralArtistsStaySeveralWhereTheLayoutHoldsThem)
{
    SourceTags tags;
    tags.title = "Duet";
    tags.artist = "Alice;Bob"; // as FFmpeg reads two ARTIST comments
    tags.genre = "Jazz; Soul";
    const auto out = encodedOutput(m_dir.path(), GetParam());
    ASSERT_EQ(WriteOutputTags(out.string(), format(), tags).status, TagWriteStatus::Written);

    // Vorbis comments and APEv2 hold several values; an MP4 atom and an ID3v2.3 frame hold one
    // text as most players read them, which keeps both names.
    const bool several =
        GetParam() != EncodedKind::Aac && GetParam() != EncodedKind::Alac && GetParam() != EncodedKind::Aiff;
    using Values = std::vector<std::string>;
    EXPECT_EQ(taglibValues(out, "ARTIST"), (several ? Values{"Alice", "Bob"} : Values{"Alice;Bob"}));
    EXPECT_EQ(taglibValues(out, "GENRE"), (several ? Values{"Jazz", "Soul"} : Values{"Jazz; Soul"}));
    if (GetParam() != EncodedKind::WavPack) { // FFmpeg reads an APE item's first value only
        EXPECT_EQ(probed(probeTags(out), "artist"), "Alice;Bob");
    }
}

TEST_P(ContainerTags, AnAlbumGainLaterChangesOnlyTheGains)
{
    SourceTags tags = unicodeTags();
    tags.frontCover = makeCover(m_dir / "cover.png");
    const auto out = encodedOutput(m_dir.path(), GetParam());
    GainTags track;
    track.trackGain = 2.0;
    track.trackPeak = 0.5;
    ASSERT_EQ(WriteOutputTags(out.string(), format(), tags, {}, track).status, TagWriteStatus::Written);
    const std::string audio = decodedAudio(out);
    ProbedTags before = probeTags(out);

    GainTags album;
    album.albumGain = -7.1;
    album.albumPeak = 1.0412;
    std::string error;
    ASSERT_TRUE(regainOutput(out.string(), format(), album, std::nullopt, "", error)) << error;

    const GainMap expected = GetParam() == EncodedKind::Opus
                                 ? GainMap{{"R128_TRACK_GAIN", "-768"}, {"R128_ALBUM_GAIN", "-3098"}}
                                 : GainMap{{"REPLAYGAIN_TRACK_GAIN", "+2.00 dB"},
                                           {"REPLAYGAIN_TRACK_PEAK", "0.500000"},
                                           {"REPLAYGAIN_ALBUM_GAIN", "-7.10 dB"},
                                           {"REPLAYGAIN_ALBUM_PEAK", "1.041200"}};
    EXPECT_EQ(probedGains(out), expected);
    EXPECT_EQ(taglibGains(out), expected);
    ProbedTags after = probeTags(out);
    const auto gain = [](const auto& entry) {
        return isGainName(QString::fromStdString(entry.first).toUpper().toStdString());
    };
    std::erase_if(before, gain);
    std::erase_if(after, gain);
    EXPECT_EQ(after, before);
    EXPECT_TRUE(sameBytes(taglibCover(out, GetParam()), tags.frontCover));
    EXPECT_EQ(decodedAudio(out), audio);
}

TEST_P(ContainerTags, TheSourcesOwnGainsStayOnlyInLosslessAudioWithoutMeasuredOnes)
{
    const std::vector<std::string> old{"REPLAYGAIN_TRACK_GAIN=+3.00 dB", "REPLAYGAIN_TRACK_PEAK=0.250000",
                                       "R128_TRACK_GAIN=-1280"};
    const auto kept = encodedOutput(m_dir.path(), GetParam(), "kept", old);
    ASSERT_EQ(probedGains(kept).size(), 3u) << "the encoder did not keep the tags";
    ASSERT_EQ(WriteOutputTags(kept.string(), format(), unicodeTags()).status, TagWriteStatus::Written);
    EXPECT_EQ(probedGains(kept).size(), lossy(GetParam()) ? 0u : 3u);

    // Also when the source had no other tag.
    const auto untagged = encodedOutput(m_dir.path(), GetParam(), "untagged", old);
    const TagWriteResult result = WriteOutputTags(untagged.string(), format(), SourceTags{});
    EXPECT_EQ(result.status, lossy(GetParam()) ? TagWriteStatus::Written : TagWriteStatus::NothingToWrite);
    EXPECT_EQ(probedGains(untagged).size(), lossy(GetParam()) ? 0u : 3u);

    // Measured gains replace them all.
    const auto replaced = encodedOutput(m_dir.path(), GetParam(), "replaced", old);
    ASSERT_EQ(WriteOutputTags(replaced.string(), format(), unicodeTags(), {}, measured()).status,
              TagWriteStatus::Written);
    EXPECT_EQ(probedGains(replaced), measuredTexts(GetParam()));
}

TEST_P(ContainerTags, AFailureLeavesTheOutputAsItWas)
{
    const auto out = encodedOutput(m_dir.path(), GetParam());
    const std::string bytes = readFile(out);
    // Not of the layout named: TagLib refuses the copy.
    const OutputTagFormat other = format() == OutputTagFormat::Flac ? OutputTagFormat::Mp4 : OutputTagFormat::Flac;
    EXPECT_TRUE(WriteOutputTags(out.string(), other, unicodeTags(), {}, measured()).failed());
    std::string error;
    EXPECT_FALSE(regainOutput(out.string(), other, measured(), std::nullopt, "", error));
    EXPECT_FALSE(error.empty());
    EXPECT_TRUE(sameContent(out, bytes));

    // Cut off after its first bytes.
    const std::string damaged = bytes.substr(0, 12);
    writeFile(out, damaged);
    EXPECT_TRUE(WriteOutputTags(out.string(), format(), unicodeTags(), {}, measured()).failed());
    EXPECT_FALSE(regainOutput(out.string(), format(), measured(), std::nullopt, "", error));
    EXPECT_TRUE(sameContent(out, damaged));
    EXPECT_EQ(namesIn(m_dir.path()).size(), 2u) << "no working copy stays behind";
}

INSTANTIATE_TEST_SUITE_P(Containers, ContainerTags,
                         ::testing::Values(EncodedKind::Flac, EncodedKind::Opus, EncodedKind::Aac, EncodedKind::Alac,
                                           EncodedKind::WavPack, EncodedKind::Aiff),
                         KindName());

TEST(ContainerTagsMp4, ACoverOfATypeMp4HasNoCodeForIsNamedAsLeftOut)
{
    TempDir dir;
    SourceTags tags;
    tags.title = "Webp";
    const std::string webp = "RIFF\x10\0\0\0WEBPVP8 ";
    tags.frontCover = {"image/webp", {webp.begin(), webp.end()}};
    const auto out = encodedOutput(dir.path(), EncodedKind::Alac);
    const TagWriteResult result = WriteOutputTags(out.string(), OutputTagFormat::Mp4, tags);
    ASSERT_EQ(result.status, TagWriteStatus::Written) << result.error;
    EXPECT_EQ(result.dropped, std::vector<std::string>{"Cover (image/webp, a type M4A files have no place for)"});
    EXPECT_EQ(probed(probeTags(out), "title"), "Webp");
}

// The gapless note's fields after its leading zero word: delay, padding and length, in hex.
std::vector<unsigned long long> gaplessFields(const std::filesystem::path& m4a)
{
    TagLib::MP4::File file(m4a.c_str(), false);
    const TagLib::StringList note = file.tag()->item("----:com.apple.iTunes:iTunSMPB").toStringList();
    std::vector<unsigned long long> fields;
    if (note.isEmpty())
        return fields;
    std::istringstream words(note.front().to8Bit());
    std::string word;
    words >> word; // always zero
    while (fields.size() < 3 && words >> word)
        fields.push_back(std::stoull(word, nullptr, 16));
    return fields;
}

TEST(ContainerTagsMp4, AacGetsTheGaplessNoteOfItsOwnEncodingAndAlacNone)
{
    TempDir dir;
    SourceTags tags;
    tags.title = "Gapless";
    // Made by ffmpeg's encoder, a foreign note already in it, as an AAC source's tags might bring.
    const auto aac =
        encodedOutput(dir.path(), EncodedKind::Aac, "aac", {"iTunSMPB= 00000000 00000840 00000000 0000000000000001"});
    ASSERT_EQ(WriteOutputTags(aac.string(), OutputTagFormat::Mp4, tags).status, TagWriteStatus::Written);
    const auto fields = gaplessFields(aac);
    ASSERT_EQ(fields.size(), 3u);
    // One second at 44.1 kHz, behind the encoder's delay of one frame, in whole frames of 1024.
    const unsigned long long frames = std::stoull(ffprobe(aac, "stream=nb_frames"));
    EXPECT_EQ(fields[0], 1024u);
    EXPECT_EQ(fields[2], 44100u);
    EXPECT_EQ(fields[0] + fields[1] + fields[2], frames * 1024);
    EXPECT_EQ(std::stoull(ffprobe(aac, "stream=duration_ts")), fields[2]) << "the edit list says the same";

    const auto alac = encodedOutput(dir.path(), EncodedKind::Alac, "alac");
    ASSERT_EQ(WriteOutputTags(alac.string(), OutputTagFormat::Mp4, tags).status, TagWriteStatus::Written);
    EXPECT_TRUE(gaplessFields(alac).empty()) << "ALAC has neither delay nor padding";
}

TEST(ContainerTagsMp4, ADamagedSampleTableGivesNoNoteAndNoCrash)
{
    TempDir dir;
    const auto aac = encodedOutput(dir.path(), EncodedKind::Aac, "aac");
    // The stts box claims more entries than it holds.
    std::string bytes = readFile(aac);
    const auto stts = bytes.find("stts");
    ASSERT_NE(stts, std::string::npos);
    bytes.replace(stts + 8, 4, "\x7f\xff\xff\xff");
    writeFile(aac, bytes);
    SourceTags tags;
    tags.title = "Damaged";
    WriteOutputTags(aac.string(), OutputTagFormat::Mp4, tags);
    EXPECT_TRUE(gaplessFields(aac).empty());
}

} // namespace
