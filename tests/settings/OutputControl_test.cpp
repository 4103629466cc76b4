#include "OutputControl.h"

#include <gtest/gtest.h>

#include <set>
#include <stdexcept>

using namespace tunevale;
using C = OutputControl;

// Every control of a kind reaches its own field, and the read-only lookup reaches the same one.
TEST(OutputControlTest, EachControlNamesItsOwnField)
{
    OutputSettings s = designOutputSettings("/tmp/out");
    const OutputSettings& view = s;

    std::set<const void*> seen;
    const auto distinct = [&seen](const void* field) { return seen.insert(field).second; };
    for (C c :
         {C::optOtherFolder, C::optSameFolder, C::optMP3CBR, C::optMP3ABR, C::optMP3VBR, C::optOGGCBR, C::optOGGVBR}) {
        EXPECT_TRUE(distinct(&optionField(s, c)));
        EXPECT_EQ(&optionField(view, c), &optionField(s, c));
    }
    for (int i = 0; i < kFileFormatCount; ++i)
        EXPECT_EQ(&optionField(s, C::optFileFormat, i), &s.optFileFormat[i]);
    for (C c : {C::sliderWMA, C::SliderMP3EncoderQuality, C::SliderMP3VBR, C::sliderOGG})
        EXPECT_TRUE(distinct(&sliderField(s, c)));
    for (C c : {C::cmbWMAEncodingBitrate, C::cmbMP3StereoMode, C::cmbMP3Freq, C::cmbMP3CBitrate, C::cmbMP3ABitrate,
                C::cmbOGGCBitrate, C::cmbOGGVBitrate})
        EXPECT_TRUE(distinct(&comboField(s, c)));
    EXPECT_EQ(&sliderField(s, C::SliderMP3VBR), &s.SliderMP3VBR);
    EXPECT_EQ(&comboField(view, C::cmbOGGVBitrate), &s.cmbOGGVBitrate);
    EXPECT_EQ(&checkField(s, C::chkShutdown), &s.chkShutdown);
    EXPECT_EQ(&checkField(s, C::chkCarryTags), &s.chkCarryTags);
    EXPECT_EQ(&checkField(s, C::chkIncludeSubFolders), &s.chkIncludeSubFolders);
    EXPECT_EQ(&checkField(s, C::chkKeepSubFolders), &s.chkKeepSubFolders);
    EXPECT_EQ(&checkField(s, C::chkReplayGain), &s.chkReplayGain);
    EXPECT_EQ(&checkField(view, C::chkTruePeak), &s.chkTruePeak);
    EXPECT_EQ(&textField(s, C::txtNamePattern), &s.txtNamePattern);
    EXPECT_EQ(&comboField(s, C::cmbIfExists), &s.cmbIfExists);
    EXPECT_EQ(&comboField(view, C::cmbNormalize), &s.cmbNormalize);
    EXPECT_EQ(&sliderField(s, C::sliderTargetLufs), &s.sliderTargetLufs);
    EXPECT_EQ(&checkField(view, C::chkWMAFileTags), &s.chkWMAFileTags);
    EXPECT_EQ(&textField(s, C::txtOutPath), &s.txtOutPath);
    EXPECT_EQ(&textField(view, C::txtWMATags, 7), &s.txtWMATags[7]);
}

TEST(OutputControlTest, WrongKindsAndIndexesThrow)
{
    OutputSettings s = designOutputSettings("/tmp/out");
    EXPECT_THROW(optionField(s, C::sliderOGG), std::logic_error);
    EXPECT_THROW(optionField(s, C::optFileFormat, kFileFormatCount), std::logic_error);
    EXPECT_THROW(optionField(s, C::optFileFormat, -1), std::logic_error);
    EXPECT_THROW(checkField(s, C::optMP3CBR), std::logic_error);
    EXPECT_THROW(textField(s, C::txtWMATags, 8), std::logic_error);
    EXPECT_THROW(textField(s, C::lblFormat), std::logic_error);
    EXPECT_THROW(sliderField(s, C::cmbMP3Freq), std::logic_error);
    EXPECT_THROW(comboField(s, C::frFormat), std::logic_error);
}
