#include "OutputSettings.h"

#include "UserFolder.h"

namespace tunevale
{

namespace
{

const std::vector<std::string> kMP3StereoModes{"Mono", "Stereo", "Joint Stereo", "Forced Joint Stereo",
                                               "Dual Channels"};
const std::vector<std::string> kMP3Frequencies{"Auto Sampling", "8 KHz",  "11.025 KHz", "12 KHz",   "16 KHz",
                                               "22.05 KHz",     "24 KHz", "32 KHz",     "44.1 KHz", "48 KHz"};
const std::vector<std::string> kMP3ConstantBitrates{"320 Kbps", "288 Kbps", "256 Kbps", "224 Kbps", "192 Kbps",
                                                    "160 Kbps", "128 Kbps", "96 Kbps",  "64 Kbps",  "32 Kbps"};
// The first average-bitrate entry really reads 310, unlike the constant-bitrate list.
const std::vector<std::string> kMP3AverageBitrates{"310 Kbps", "288 Kbps", "256 Kbps", "224 Kbps", "192 Kbps",
                                                   "160 Kbps", "128 Kbps", "96 Kbps",  "64 Kbps",  "32 Kbps"};
const std::vector<std::string> kOGGBitrates{"320 Kbps", "288 Kbps", "256 Kbps", "224 Kbps", "192 Kbps",
                                            "160 Kbps", "128 Kbps", "96 Kbps",  "64 Kbps"};
const std::array<const char*, kWMATagCount> kWMATagTexts{"Title",  "Artist",    "Album Title", "Description",
                                                         "Rating", "Copyright", "Genre",       "Year"};
const std::vector<std::string> kIfExistsChoices{"Rename", "Skip", "Update", "Replace"};
const std::vector<std::string> kNormalizeChoices{"Off", "Track", "Album"};

ComboBox combo(const std::vector<std::string>& list, int listIndex)
{
    ComboBox box;
    box.list = list;
    box.listIndex = listIndex;
    return box;
}

SliderSetting slider(int value, int min, int max)
{
    SliderSetting s;
    s.min = min;
    s.max = max;
    s.value = value;
    return s;
}

} // namespace

std::string ComboBox::text() const
{
    return hasIndex(listIndex) ? list[static_cast<std::size_t>(listIndex)] : std::string();
}

void SliderSetting::setValue(int v)
{
    if (v < min)
        v = min;
    if (v > max)
        v = max;
    value = v;
}

std::optional<FileFormat> OutputSettings::chosenFormat() const
{
    for (int i = 0; i < kFileFormatCount; ++i)
        if (optFileFormat[static_cast<std::size_t>(i)].value)
            return static_cast<FileFormat>(i);
    return std::nullopt;
}

OutputSettings designOutputSettings(const std::string& defaultOutPath)
{
    OutputSettings s;
    s.optOtherFolder.value = true;
    s.optSameFolder.value = false;
    s.txtOutPath.text = defaultOutPath;
    s.optFileFormat[static_cast<std::size_t>(FileFormat::Ipod)].value = true;
    s.frFormat = static_cast<int>(FileFormat::Ipod);

    s.sliderWMA = slider(50, 0, 100);
    // Tags are off until the user ticks the box; the boxes follow the box (see chkWMAFileTags).
    s.chkWMAFileTags.value = false;
    for (std::size_t i = 0; i < kWMATagCount; ++i) {
        s.txtWMATags[i].text = kWMATagTexts[i];
        s.txtWMATags[i].enabled = false;
    }

    s.cmbMP3StereoMode = combo(kMP3StereoModes, 2);
    s.cmbMP3Freq = combo(kMP3Frequencies, 0);
    s.SliderMP3EncoderQuality = slider(5, 0, 9);
    s.optMP3CBR.value = true;
    s.SliderMP3VBR = slider(5, 0, 9);
    s.SliderMP3VBR.enabled = false;
    s.cmbMP3CBitrate = combo(kMP3ConstantBitrates, 6);
    s.cmbMP3ABitrate = combo(kMP3AverageBitrates, 6);
    s.cmbMP3ABitrate.enabled = false;

    s.sliderOGG = slider(3, -2, 10);
    s.optOGGVBR.value = true;
    s.cmbOGGCBitrate = combo(kOGGBitrates, 6);
    s.cmbOGGCBitrate.enabled = false;
    s.cmbOGGVBitrate = combo(kOGGBitrates, 6);

    for (const OutputFormat* format : outputFormats())
        if (format->option)
            s.formatOption[static_cast<std::size_t>(format->index())] =
                slider(format->option->defaultValue, format->option->min, format->option->max);

    s.chkCarryTags.value = true;
    s.sliderParallelJobs = slider(0, 0, 64);

    s.cmbIfExists = combo(kIfExistsChoices, static_cast<int>(IfExistsChoice::Rename));
    s.chkReplayGain.value = true;
    s.chkTruePeak.value = true;
    s.cmbNormalize = combo(kNormalizeChoices, static_cast<int>(NormalizeChoice::Off));
    s.sliderTargetLufs = slider(-18, -30, -10);
    return s;
}

std::string defaultOutputFolder()
{
    return homeFolder().string() + "/Converted Files";
}

} // namespace tunevale
