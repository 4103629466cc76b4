#pragma once

#include "OutputSettings.h"

namespace tunevale
{

// Names the controls of the settings record, for change notification and for the generic setters.
enum class OutputControl {
    optOtherFolder,
    optSameFolder,
    txtOutPath,
    cmdBrowse,
    optFileFormat, // index: the FileFormat
    frFormat,      // index of the panel brought to the front
    sliderWMA,
    cmbWMAEncodingBitrate,
    chkWMAFileTags,
    txtWMATags, // index 0-7
    cmbMP3StereoMode,
    cmbMP3Freq,
    SliderMP3EncoderQuality,
    optMP3CBR,
    optMP3ABR,
    optMP3VBR,
    SliderMP3VBR,
    cmbMP3CBitrate,
    cmbMP3ABitrate,
    sliderOGG,
    optOGGCBR,
    optOGGVBR,
    cmbOGGCBitrate,
    cmbOGGVBitrate,
    chkShutdown,
    lblFormat,
    chkCarryTags,
    sliderParallelJobs,
    chkIncludeSubFolders,
    chkKeepSubFolders,
    txtNamePattern,
    cmbIfExists,
    chkReplayGain,
    chkTruePeak,
    cmbNormalize,
    sliderTargetLufs,
    formatOption, // index: the FileFormat whose option it is (sliderFLACLevel, ...)
};

// The field of the record that a control names (index: the member of an array). A control of
// another kind, or an index outside its array, throws std::logic_error.
OptionButton& optionField(OutputSettings& s, OutputControl control, int index = 0);
CheckBox& checkField(OutputSettings& s, OutputControl control);
TextBox& textField(OutputSettings& s, OutputControl control, int index = 0);
SliderSetting& sliderField(OutputSettings& s, OutputControl control, int index = 0);
ComboBox& comboField(OutputSettings& s, OutputControl control);

const OptionButton& optionField(const OutputSettings& s, OutputControl control, int index = 0);
const CheckBox& checkField(const OutputSettings& s, OutputControl control);
const TextBox& textField(const OutputSettings& s, OutputControl control, int index = 0);
const SliderSetting& sliderField(const OutputSettings& s, OutputControl control, int index = 0);
const ComboBox& comboField(const OutputSettings& s, OutputControl control);

} // namespace tunevale
