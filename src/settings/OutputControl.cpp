#include "OutputControl.h"

#include <stdexcept>
#include <string>

namespace tunevale
{

namespace
{

[[noreturn]] void wrongControl(const char* what)
{
    throw std::logic_error(std::string("OutputSettings: not a ") + what);
}

std::size_t checkedIndex(int index, int count, const char* what)
{
    if (index < 0 || index >= count)
        wrongControl(what);
    return static_cast<std::size_t>(index);
}

} // namespace

OptionButton& optionField(OutputSettings& s, OutputControl control, int index)
{
    switch (control) {
    case OutputControl::optOtherFolder:
        return s.optOtherFolder;
    case OutputControl::optSameFolder:
        return s.optSameFolder;
    case OutputControl::optFileFormat:
        return s.optFileFormat[checkedIndex(index, kFileFormatCount, "format index")];
    case OutputControl::optMP3CBR:
        return s.optMP3CBR;
    case OutputControl::optMP3ABR:
        return s.optMP3ABR;
    case OutputControl::optMP3VBR:
        return s.optMP3VBR;
    case OutputControl::optOGGCBR:
        return s.optOGGCBR;
    case OutputControl::optOGGVBR:
        return s.optOGGVBR;
    default:
        wrongControl("option button");
    }
}

CheckBox& checkField(OutputSettings& s, OutputControl control)
{
    switch (control) {
    case OutputControl::chkWMAFileTags:
        return s.chkWMAFileTags;
    case OutputControl::chkShutdown:
        return s.chkShutdown;
    case OutputControl::chkCarryTags:
        return s.chkCarryTags;
    case OutputControl::chkIncludeSubFolders:
        return s.chkIncludeSubFolders;
    case OutputControl::chkKeepSubFolders:
        return s.chkKeepSubFolders;
    case OutputControl::chkReplayGain:
        return s.chkReplayGain;
    case OutputControl::chkTruePeak:
        return s.chkTruePeak;
    default:
        wrongControl("check box");
    }
}

TextBox& textField(OutputSettings& s, OutputControl control, int index)
{
    if (control == OutputControl::txtOutPath)
        return s.txtOutPath;
    if (control == OutputControl::txtNamePattern)
        return s.txtNamePattern;
    if (control == OutputControl::txtWMATags)
        return s.txtWMATags[checkedIndex(index, kWMATagCount, "tag index")];
    wrongControl("text box");
}

SliderSetting& sliderField(OutputSettings& s, OutputControl control, int index)
{
    switch (control) {
    case OutputControl::formatOption:
        return s.formatOption[checkedIndex(index, kFileFormatCount, "format index")];
    case OutputControl::sliderWMA:
        return s.sliderWMA;
    case OutputControl::SliderMP3EncoderQuality:
        return s.SliderMP3EncoderQuality;
    case OutputControl::SliderMP3VBR:
        return s.SliderMP3VBR;
    case OutputControl::sliderOGG:
        return s.sliderOGG;
    case OutputControl::sliderParallelJobs:
        return s.sliderParallelJobs;
    case OutputControl::sliderTargetLufs:
        return s.sliderTargetLufs;
    default:
        wrongControl("slider");
    }
}

ComboBox& comboField(OutputSettings& s, OutputControl control)
{
    switch (control) {
    case OutputControl::cmbWMAEncodingBitrate:
        return s.cmbWMAEncodingBitrate;
    case OutputControl::cmbMP3StereoMode:
        return s.cmbMP3StereoMode;
    case OutputControl::cmbMP3Freq:
        return s.cmbMP3Freq;
    case OutputControl::cmbMP3CBitrate:
        return s.cmbMP3CBitrate;
    case OutputControl::cmbMP3ABitrate:
        return s.cmbMP3ABitrate;
    case OutputControl::cmbOGGCBitrate:
        return s.cmbOGGCBitrate;
    case OutputControl::cmbOGGVBitrate:
        return s.cmbOGGVBitrate;
    case OutputControl::cmbIfExists:
        return s.cmbIfExists;
    case OutputControl::cmbNormalize:
        return s.cmbNormalize;
    default:
        wrongControl("drop-down list");
    }
}

// The read-only lookups are the same walk over the same record.
const OptionButton& optionField(const OutputSettings& s, OutputControl control, int index)
{
    return optionField(const_cast<OutputSettings&>(s), control, index);
}

const CheckBox& checkField(const OutputSettings& s, OutputControl control)
{
    return checkField(const_cast<OutputSettings&>(s), control);
}

const TextBox& textField(const OutputSettings& s, OutputControl control, int index)
{
    return textField(const_cast<OutputSettings&>(s), control, index);
}

const SliderSetting& sliderField(const OutputSettings& s, OutputControl control, int index)
{
    return sliderField(const_cast<OutputSettings&>(s), control, index);
}

const ComboBox& comboField(const OutputSettings& s, OutputControl control)
{
    return comboField(const_cast<OutputSettings&>(s), control);
}

} // namespace tunevale
