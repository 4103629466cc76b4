#pragma once

#include "EncoderCommandLine.h"
#include "OutputSettings.h"

#include <array>
#include <optional>
#include <string>

namespace tunevale
{

// What the WMA writer takes from the settings panel.
struct WmaOptions {
    int quality = 50;                    // sliderWMA, 0 to 100
    bool setTags = false;                // chkWMAFileTags
    std::array<std::string, 8> tags;     // txtWMATags 0 to 7; an empty box writes no tag
    std::array<std::string, 8> tagNames; // WMATagNames: the Windows Media names of those tags
};

// Everything a run needs from the output settings, read once before it starts and not changed
// while it lasts, so that the workers never read the panel's controls or re-parse their texts.
struct ConversionOptions {
    std::optional<FileFormat> format; // the first chosen optFileFormat member; none: jobs are left as they are
    bool sameFolder = false;          // optSameFolder: each output beside its source
    std::string outPath;              // txtOutPath otherwise
    Mp3EncoderOptions mp3;
    OggEncoderOptions ogg;
    WmaOptions wma;
    // Each format's one option (FLAC level, Opus or AAC bitrate), by format; see FormatOption.
    std::array<int, kFileFormatCount> formatOption{};
    bool carryTags = true; // chkCarryTags: the sources' tags and covers go into the outputs

    // Where each output goes inside its folder and what happens when it exists.
    bool keepFolders = false; // chkKeepSubFolders: below the source's folder relative to its job's root
    std::string namePattern;  // txtNamePattern: "" keeps the source's base name
    IfExistsChoice ifExists = IfExistsChoice::Rename;

    // Loudness measured while converting.
    bool replayGain = true; // chkReplayGain: ReplayGain (and Opus R128) tags written
    bool truePeak = true;   // chkTruePeak: true peak, else sample peak
    NormalizeChoice normalize = NormalizeChoice::Off;
    double targetLufs = -18; // sliderTargetLufs: where normalising brings the audio
};

// The options of the settings as they stand, with the Windows Media names of the eight WMA tags.
ConversionOptions conversionOptions(const OutputSettings& settings, const std::array<std::string, 8>& wmaTagNames = {});

// The output extension of a format: "wav", "wma", "mp3", "ogg", "mp3" for "Ipod Default", "flac", ...
std::string outputExtension(FileFormat format);

// What the engine's in-process encoder is given for a job of a FileEncoder format; verification is
// asked for the lossless ones.
EncodeSetup encodeSetup(const ConversionOptions& options, FileFormat format);

// The encoder command of an MP3, "Ipod Default" or OGG job (MP3: constant, else average, else
// variable bitrate; OGG: variable, else constant bitrate); nothing for WAV and WMA.
std::optional<EncoderCommandLine> encoderCommand(const ConversionOptions& options, const std::string& outFile);

// The same for the settings as they stand.
std::optional<EncoderCommandLine> encoderCommandFromSettings(const OutputSettings& settings,
                                                             const std::string& outFile);

} // namespace tunevale
