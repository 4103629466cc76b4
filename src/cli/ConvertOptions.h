#pragma once

#include "OutputSettings.h"

#include <QCommandLineOption>

#include <array>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace tunevale
{

class CommandLine;
class OutputSettingsModel;

enum class Mp3Mode { CBR, ABR, VBR };

// What one convert run is asked to do. Unset values leave the stored setting as it is.
struct ConvertOptions {
    std::optional<FileFormat> format;
    std::optional<std::string> outputFolder; // absolute
    bool sameFolder = false;
    std::optional<Mp3Mode> mp3Mode;
    std::optional<int> bitrate; // kbps
    std::optional<int> vbrQuality;
    std::optional<int> encoderQuality;
    std::optional<std::string> stereoMode;   // the text of the channel mode entry, "Joint Stereo"
    std::optional<std::string> resampleRate; // the text of the sampling rate entry, "44.1 KHz"
    std::optional<int> oggQuality;
    std::optional<int> wmaQuality;
    // Each format's one option (--flac-level, --opus-bitrate, ...), by format.
    std::array<std::optional<int>, kFileFormatCount> formatOption;
    int jobs = 0; // conversions at once; 0 for the stored choice (one per core unless set)
    bool writeTags = true;
    bool replayGain = true; // false: no loudness measured, no gain tags written
    std::optional<NormalizeChoice> normalize;
    std::optional<int> targetLufs;
    bool recursive = false;
    bool keepFolders = false;
    std::optional<std::string> namePattern;
    std::optional<IfExistsChoice> ifExists;
    bool selectedOnly = false;
    bool json = false;
    bool quiet = false;
    bool lookUp = true;              // discs looked up online (unless --no-lookup or the stored setting says not)
    std::vector<std::string> inputs; // files and folders as given
};

// The options of the convert command, for its parser and help.
std::vector<QCommandLineOption> convertCommandOptions();

// The options of a parsed command line, or the reason they cannot be taken.
std::variant<ConvertOptions, std::string> readConvertOptions(const CommandLine& line);

// Sets the format panel's controls in memory as a user setting them would (nothing is saved), then
// redraws the format summary. The reason, and the model partly changed, when a value is not one the
// control can take or an option does not apply to the chosen format.
std::optional<std::string> applyConvertOptions(const ConvertOptions& options, OutputSettingsModel& model);

} // namespace tunevale
