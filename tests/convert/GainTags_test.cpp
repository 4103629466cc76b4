#include "EncodedOutputs.h"
#include "GainReadBack.h"
#include "OutputRewrite.h"
#include "OutputTags.h"
#include "TagReadBack.h"
#include "TaggedSources.h"

#include <gtest/gtest.h>

#include <unistd.h>

using namespace tunevale;
using namespace tunevale::test;

namespace
{

const GainMap measuredTexts{{"REPLAYGAIN_TRACK_GAIN", "-6.52 dB"},
                            {"REPLAYGAIN_TRACK_PEAK", "0.988547"},
                            {"REPLAYGAIN_ALBUM_GAIN", "-7.10 dB"},
                            {"REPLAYGAIN_ALBUM_PEAK", "1.041200"}};

class GainTagsTest : public ::testing::TestWithParam<EncodedKind>
{
protected:
    TempDir m_dir;
};

TEST_P(GainTagsTest, WrittenWithTheOtherTagsAndReadByEveryone)
{
    const auto out = encodedOutput(m_dir.path(), GetParam());
    const std::string audio = decodedAudio(out);
    const SourceTags tags = unicodeTags();
    const TagWriteResult result = WriteOutputTags(out.string(), tagFormatOf(GetParam()), tags, {}, measured());
    ASSERT_EQ(result.status, TagWriteStatus::Written) << result.error;

    EXPECT_EQ(probedGains(out), measuredTexts);
    EXPECT_EQ(taglibGains(out), measuredTexts);
    EXPECT_EQ(probed(probeTags(out), "title"), tags.title);
    EXPECT_EQ(decodedAudio(out), audio);
}

TEST_P(GainTagsTest, AnAlbumGainLaterChangesOnlyTheGains)
{
    const auto out = encodedOutput(m_dir.path(), GetParam());
    const SourceTags tags = unicodeTags();
    GainTags track;
    track.trackGain = 2.0;
    track.trackPeak = 0.5;
    track.albumGain = 9.0; // a stale album gain the album's end replaces
    ASSERT_EQ(WriteOutputTags(out.string(), tagFormatOf(GetParam()), tags, {}, track).status, TagWriteStatus::Written);
    ProbedTags before = probeTags(out);

    GainTags album;
    album.albumGain = -7.1;
    album.albumPeak = 1.0412;
    std::string error;
    ASSERT_TRUE(regainOutput(out.string(), tagFormatOf(GetParam()), album, std::nullopt, "", error)) << error;

    const GainMap expected{{"REPLAYGAIN_TRACK_GAIN", "+2.00 dB"},
                           {"REPLAYGAIN_TRACK_PEAK", "0.500000"},
                           {"REPLAYGAIN_ALBUM_GAIN", "-7.10 dB"},
                           {"REPLAYGAIN_ALBUM_PEAK", "1.041200"}};
    EXPECT_EQ(probedGains(out), expected);
    EXPECT_EQ(taglibGains(out), expected);
    ProbedTags after = probeTags(out);
    std::erase_if(before, [](const auto& entry) {
        return QString::fromStdString(entry.first).startsWith("replaygain", Qt::CaseInsensitive);
    });
    std::erase_if(after, [](const auto& entry) {
        return QString::fromStdString(entry.first).startsWith("replaygain", Qt::CaseInsensitive);
    });
    EXPECT_EQ(after, before);
}

TEST_P(GainTagsTest, TheSourcesOwnGainsDoNotReachALossyOutput)
{
    const std::vector<std::string> old{"REPLAYGAIN_TRACK_GAIN=+3.00 dB", "REPLAYGAIN_TRACK_PEAK=0.250000",
                                       "R128_TRACK_GAIN=-1280"};
    // Measured gains given: they replace the old ones.
    const auto measuredOut = encodedOutput(m_dir.path(), GetParam(), "measured", old);
    ASSERT_EQ(probedGains(measuredOut).size(), 3u) << "the encoder did not keep the tags";
    GainTags track;
    track.trackGain = -1.0;
    ASSERT_EQ(WriteOutputTags(measuredOut.string(), tagFormatOf(GetParam()), unicodeTags(), {}, track).status,
              TagWriteStatus::Written);
    EXPECT_EQ(probedGains(measuredOut), (GainMap{{"REPLAYGAIN_TRACK_GAIN", "-1.00 dB"}}));

    // No gains given: the audio is not the source's, so the old ones go all the same, also when the
    // source had no other tag.
    for (const SourceTags& tags : {unicodeTags(), SourceTags{}}) {
        const auto out = encodedOutput(m_dir.path(), GetParam(), tags.empty() ? "untagged" : "tagged", old);
        ASSERT_EQ(WriteOutputTags(out.string(), tagFormatOf(GetParam()), tags).status, TagWriteStatus::Written);
        EXPECT_TRUE(probedGains(out).empty());
        EXPECT_TRUE(taglibGains(out).empty());
    }
}

TEST_P(GainTagsTest, AFailureLeavesTheOutputAsItWas)
{
    const auto out = encodedOutput(m_dir.path(), GetParam());
    ASSERT_EQ(WriteOutputTags(out.string(), tagFormatOf(GetParam()), unicodeTags(), {}, measured()).status,
              TagWriteStatus::Written);
    const std::string bytes = readFile(out);
    std::string error;

    // The copy cannot be made in a folder that may not be written (root may write in any).
    std::filesystem::permissions(m_dir.path(), std::filesystem::perms::owner_write,
                                 std::filesystem::perm_options::remove);
    if (::access(m_dir.path().c_str(), W_OK) != 0) {
        EXPECT_FALSE(regainOutput(out.string(), tagFormatOf(GetParam()), measured(), std::nullopt, "", error));
        EXPECT_FALSE(error.empty());
        EXPECT_TRUE(sameContent(out, bytes));
    }
    std::filesystem::permissions(m_dir.path(), std::filesystem::perms::owner_write, std::filesystem::perm_options::add);

    // TagLib fails on the copy: the output is not of the format named.
    const OutputTagFormat other = GetParam() == EncodedKind::Ogg ? OutputTagFormat::Wma : OutputTagFormat::Ogg;
    error.clear();
    EXPECT_FALSE(regainOutput(out.string(), other, measured(), std::nullopt, "", error));
    EXPECT_FALSE(error.empty());
    EXPECT_TRUE(sameContent(out, bytes));

    // A damaged output: cut off after its first bytes.
    const std::string damaged = bytes.substr(0, 10);
    writeFile(out, damaged);
    error.clear();
    EXPECT_FALSE(regainOutput(out.string(), tagFormatOf(GetParam()), measured(), std::nullopt, "", error));
    EXPECT_FALSE(error.empty());
    EXPECT_TRUE(sameContent(out, damaged));
    EXPECT_EQ(namesIn(m_dir.path()).size(), 2u) << "no working copy stays behind";
}

INSTANTIATE_TEST_SUITE_P(LossyFormats, GainTagsTest,
                         ::testing::Values(EncodedKind::Mp3, EncodedKind::Ogg, EncodedKind::Wma), KindName());

TEST(GainTags, WavCarriesNoneAndIsNotRewrittenForThem)
{
    TempDir dir;
    const auto out = encodedOutput(dir.path(), EncodedKind::Wav);
    const std::string bytes = readFile(out);
    const TagWriteResult result = WriteOutputTags(out.string(), OutputTagFormat::Wav, SourceTags{}, {}, measured());
    EXPECT_EQ(result.status, TagWriteStatus::NothingToWrite);
    std::string error;
    EXPECT_TRUE(regainOutput(out.string(), OutputTagFormat::Wav, measured(), std::nullopt, "", error)) << error;
    EXPECT_TRUE(sameContent(out, bytes));
}

} // namespace
