#pragma once

#include "OutputFormat.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tunevale
{

// The controls of the format-options panel and the output-folder controls, as plain values.
// Each field is named after its control; the stored ones are also named so in the store.

struct OptionButton {
    bool value = false;
    bool enabled = true;
};

struct CheckBox {
    bool value = false; // ticked
    bool enabled = true;
};

struct TextBox {
    std::string text;
    bool enabled = true;
};

struct Button {
    bool enabled = true;
};

// A drop-down list: fixed texts, the chosen position (-1: none) and optional item data per entry.
struct ComboBox {
    std::vector<std::string> list;
    std::vector<std::int64_t> itemData;
    int listIndex = -1;
    bool enabled = true;

    // The shown text: the chosen entry's, or "" when none is chosen.
    std::string text() const;
    bool hasIndex(long long index) const { return index >= 0 && index < static_cast<long long>(list.size()); }
};

// An integer between min and max; like the slider control, a value outside is pulled to the nearer end.
struct SliderSetting {
    int value = 0;
    int min = 0;
    int max = 100;
    bool enabled = true;

    void setValue(int v);
};

inline constexpr int kWMATagCount = 8;

// The entries of cmbIfExists and cmbNormalize, by index.
enum class IfExistsChoice { Rename = 0, Skip = 1, Update = 2, Replace = 3 };
enum class NormalizeChoice { Off = 0, Track = 1, Album = 2 };

struct OutputSettings {
    // Output folder (main window).
    OptionButton optOtherFolder;
    OptionButton optSameFolder;
    TextBox txtOutPath;
    Button cmdBrowse;

    // Output format: the option array and the per-format panel in front.
    std::array<OptionButton, kFileFormatCount> optFileFormat;
    int frFormat = static_cast<int>(FileFormat::Ipod); // index of the frFormat panel in front

    // WMA.
    SliderSetting sliderWMA;
    ComboBox cmbWMAEncodingBitrate;
    CheckBox chkWMAFileTags;
    std::array<TextBox, kWMATagCount> txtWMATags;

    // MP3.
    ComboBox cmbMP3StereoMode;
    ComboBox cmbMP3Freq;
    SliderSetting SliderMP3EncoderQuality;
    OptionButton optMP3CBR;
    OptionButton optMP3ABR;
    OptionButton optMP3VBR;
    SliderSetting SliderMP3VBR;
    ComboBox cmbMP3CBitrate;
    ComboBox cmbMP3ABitrate;

    // OGG.
    SliderSetting sliderOGG;
    OptionButton optOGGCBR;
    OptionButton optOGGVBR;
    ComboBox cmbOGGCBitrate;
    ComboBox cmbOGGVBitrate;

    // The one option of each format that has one (the catalog's FormatOption: sliderFLACLevel,
    // sliderOpusBitrate, ...), by format; unused for the others.
    std::array<SliderSetting, kFileFormatCount> formatOption;

    // After the batch (never stored).
    CheckBox chkShutdown;

    // Whether outputs get the source's tags and cover (stored; no control on the panel).
    CheckBox chkCarryTags;
    // How many files convert at once; 0 for one per core (no control of its own).
    SliderSetting sliderParallelJobs;

    // "Add Folder..." takes the folder's sub-folders too.
    CheckBox chkIncludeSubFolders;
    // Where outputs go inside the output folder: each in its source's folder relative to the
    // folder it was added from; named from the source's tags by a pattern ("" keeps the source's
    // name); and what a job does when its output exists (IfExistsChoice by index).
    CheckBox chkKeepSubFolders;
    TextBox txtNamePattern;
    ComboBox cmbIfExists;

    // Loudness: ReplayGain tags measured while converting, true peak (else sample peak), and
    // normalising the audio (NormalizeChoice by index) to sliderTargetLufs.
    CheckBox chkReplayGain;
    CheckBox chkTruePeak;
    ComboBox cmbNormalize;
    SliderSetting sliderTargetLufs;

    // The one-line format summary on the main window.
    std::string lblFormat;

    // The first optFileFormat member that is on, in index order; none when no member is on.
    std::optional<FileFormat> chosenFormat() const;
};

// The controls as designed: the defaults of every stored value, with defaultOutPath as the folder.
OutputSettings designOutputSettings(const std::string& defaultOutPath);

// The default output folder: the user's home folder (homeFolder()) + "/Converted Files".
std::string defaultOutputFolder();

} // namespace tunevale
