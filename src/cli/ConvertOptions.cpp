#include "ConvertOptions.h"

#include "AsciiCase.h"
#include "CommandLine.h"
#include "ConsoleStandIns.h"
#include "NamePattern.h"
#include "OutputSettingsModel.h"

#include <algorithm>
#include <utility>

namespace tunevale
{

namespace
{

template <typename T> using Words = std::vector<std::pair<const char*, T>>;

const Words<Mp3Mode> kMp3Modes{{"cbr", Mp3Mode::CBR}, {"abr", Mp3Mode::ABR}, {"vbr", Mp3Mode::VBR}};
const Words<IfExistsChoice> kIfExists{{"rename", IfExistsChoice::Rename},
                                      {"skip", IfExistsChoice::Skip},
                                      {"update", IfExistsChoice::Update},
                                      {"replace", IfExistsChoice::Replace}};
const Words<NormalizeChoice> kNormalize{
    {"off", NormalizeChoice::Off}, {"track", NormalizeChoice::Track}, {"album", NormalizeChoice::Album}};
// The channel mode entries by the word the command line uses.
const Words<const char*> kStereoModes{{"joint", "Joint Stereo"},
                                      {"stereo", "Stereo"},
                                      {"mono", "Mono"},
                                      {"forced", "Forced Joint Stereo"},
                                      {"dual", "Dual Channels"}};

template <typename T> std::string wordList(const Words<T>& words)
{
    std::string list;
    for (const auto& [word, value] : words)
        list += (list.empty() ? "" : ", ") + std::string(word);
    return list;
}

// "wav, wma, ..., ipod (MP3 at ...), flac ... or wavpack": the -f names, with their notes for the help.
std::string formatNames(const char* lastJoin, bool withNotes)
{
    std::string list;
    const auto formats = outputFormats();
    for (std::size_t i = 0; i < formats.size(); ++i) {
        if (i > 0)
            list += i + 1 == formats.size() ? lastJoin : ", ";
        list += formats[i]->cliName;
        if (withNotes && formats[i]->cliNote)
            list += std::string(" (") + formats[i]->cliNote + ")";
    }
    return list;
}

template <typename T> std::optional<T> lookUp(const Words<T>& words, const std::string& text)
{
    for (const auto& [word, value] : words)
        if (asciiLower(text) == word)
            return value;
    return std::nullopt;
}

struct NumberRange {
    const char* option;
    int min;
    int max;
};

// Reads an option's whole number within its range; false with the reason when it is not one.
bool readNumber(const CommandLine& line, const NumberRange& range, std::optional<int>& value, std::string& reason)
{
    if (!line.isSet(range.option))
        return true;
    const std::string text = line.value(range.option);
    const auto number = parseWholeNumber(text);
    if (!number || *number < range.min || *number > range.max) {
        reason = "--" + std::string(range.option) + " expects a whole number from " + std::to_string(range.min) +
                 " to " + std::to_string(range.max) + ", not \"" + text + "\"";
        return false;
    }
    value = number;
    return true;
}

// The entry of a drop-down list whose leading number is the number given, such as 128 for "128 Kbps".
std::optional<int> entryWithNumber(const ComboBox& box, const std::string& number, const char* unit)
{
    const std::string text = number + " " + unit;
    const auto found = std::find(box.list.begin(), box.list.end(), text);
    if (found == box.list.end())
        return std::nullopt;
    return static_cast<int>(found - box.list.begin());
}

std::string numbersOf(const ComboBox& box)
{
    std::string list;
    for (const auto& entry : box.list)
        list += (list.empty() ? "" : ", ") + entry.substr(0, entry.find(' '));
    return list;
}

// The bitrate list that the encoder reads for the chosen format and mode, as the encoder command chooses it.
std::optional<OutputControl> bitrateControl(const OutputSettings& s)
{
    const auto format = s.chosenFormat();
    if (format == FileFormat::MP3) {
        if (s.optMP3CBR.value)
            return OutputControl::cmbMP3CBitrate;
        if (s.optMP3ABR.value)
            return OutputControl::cmbMP3ABitrate;
        return std::nullopt;
    }
    if (format == FileFormat::OGG)
        return s.optOGGVBR.value ? OutputControl::cmbOGGVBitrate : OutputControl::cmbOGGCBitrate;
    return std::nullopt;
}

} // namespace

std::vector<QCommandLineOption> convertCommandOptions()
{
    const auto option = [](QStringList names, const char* description, const char* valueName = nullptr) {
        return QCommandLineOption(names, QString::fromUtf8(description),
                                  valueName ? QString::fromLatin1(valueName) : QString());
    };
    static const std::string formatHelp = "Output format: " + formatNames(" or ", true) + ".";
    std::vector<QCommandLineOption> options{
        option({"f", "format"}, formatHelp.c_str(), "FORMAT"),
        option({"o", "output"}, "Write the outputs into DIR (made when missing, one level).", "DIR"),
        option({"same-folder"}, "Write each output beside its source."),
        option({"mp3-mode"}, "MP3 encoding mode: cbr, abr or vbr.", "MODE"),
        option({"bitrate"}, "Bitrate from the chosen mode's list: MP3 cbr 320 to 32, abr 310 to 32, OGG 320 to 64.",
               "KBPS"),
        option({"vbr-quality"}, "MP3 VBR quality, 0 (smaller files) to 9 (best).", "0-9"),
        option({"encoder-quality"}, "MP3 encoder quality, 0 (faster) to 9 (slower, better).", "0-9"),
        option({"stereo"}, "MP3 channel mode: joint, stereo, mono, forced or dual.", "MODE"),
        option({"resample"}, "MP3 sampling rate: auto, 8, 11.025, 12, 16, 22.05, 24, 32, 44.1 or 48.", "KHZ"),
        option({"ogg-quality"}, "OGG quality, -2 to 10.", "Q"),
        option({"wma-quality"}, "WMA encoding quality, 0 to 100.", "Q")};
    for (const OutputFormat* format : outputFormats())
        if (format->option)
            options.push_back(option({format->option->cliOption}, format->option->help, "N"));
    options.insert(
        options.end(),
        {
            option({"j", "jobs"}, "Convert up to N files at once (at least 1; by default one per core).", "N"),
            option({"no-tags"}, "Do not copy tags into the outputs."),
            option({"no-replaygain"}, "Do not measure the loudness nor write ReplayGain (Opus: R128) gain tags."),
            option({"normalize"},
                   "Bring each file's audio (track) or each album's (album) to the target loudness, its true peak "
                   "kept at or below -1 dBTP; off (the default) leaves the audio as it is.",
                   "MODE"),
            option({"target-lufs"}, "The loudness --normalize aims at, -30 to -10 LUFS (default -18).", "N"),
            option({"r", "recursive"}, "Take the files of sub-folders too, depth first."),
            option({"keep-folders"}, "Write each output below the folders of its source inside the folder named."),
            option(
                {"name-pattern"},
                "Name the outputs from their tags, e.g. \"{albumartist}/{album}/{track:02} {title}\" (fields artist, "
                "albumartist, album, title, track, disc, year, genre, name, folder; \"/\" makes folders).",
                "PATTERN"),
            option(
                {"if-exists"},
                "When the output exists: rename (a new name, the default), skip, update (convert only when the source "
                "or the settings changed since it was made) or replace.",
                "CHOICE"),
            option({"selected"}, "Convert as \"Convert Selected\" does, with the named files ticked."),
            option({"json"},
                   "One JSON object per line per job: source, output, status, seconds, error, and "
                   "\"verified\": true for lossless outputs decoded back and compared, and the measured loudness."),
            option({"q", "quiet"}, "Print only the jobs that did not complete."),
        });
    return options;
}

std::variant<ConvertOptions, std::string> readConvertOptions(const CommandLine& line)
{
    ConvertOptions options;
    const auto value = [&](const char* name) { return line.value(name); };
    const auto isSet = [&](const char* name) { return line.isSet(name); };

    if (isSet("format")) {
        const OutputFormat* format = outputFormatNamed(value("format"));
        if (!format)
            return "-f expects one of " + formatNames(", ", false) + ", not \"" + value("format") + "\"";
        options.format = format->id;
    }
    if (isSet("output") && isSet("same-folder"))
        return std::string("-o and --same-folder exclude each other");
    if (isSet("output")) {
        if (value("output").empty())
            return std::string("-o expects a folder");
        options.outputFolder = absolutePath(value("output"));
    }
    options.sameFolder = isSet("same-folder");
    if (isSet("mp3-mode")) {
        options.mp3Mode = lookUp(kMp3Modes, value("mp3-mode"));
        if (!options.mp3Mode)
            return "--mp3-mode expects one of " + wordList(kMp3Modes) + ", not \"" + value("mp3-mode") + "\"";
    }
    if (isSet("stereo")) {
        const auto mode = lookUp(kStereoModes, value("stereo"));
        if (!mode)
            return "--stereo expects one of " + wordList(kStereoModes) + ", not \"" + value("stereo") + "\"";
        options.stereoMode = *mode;
    }
    if (isSet("resample")) {
        // Checked against the rate list when applied; "auto" is its first entry.
        options.resampleRate = asciiLower(value("resample")) == "auto" ? "Auto Sampling" : value("resample") + " KHz";
    }

    std::string reason;
    std::optional<int> jobs;
    const bool numbersRead = readNumber(line, {"bitrate", 1, 9999}, options.bitrate, reason) &&
                             readNumber(line, {"vbr-quality", 0, 9}, options.vbrQuality, reason) &&
                             readNumber(line, {"encoder-quality", 0, 9}, options.encoderQuality, reason) &&
                             readNumber(line, {"ogg-quality", -2, 10}, options.oggQuality, reason) &&
                             readNumber(line, {"wma-quality", 0, 100}, options.wmaQuality, reason) &&
                             readNumber(line, {"jobs", 1, 1024}, jobs, reason) &&
                             readNumber(line, {"target-lufs", -30, -10}, options.targetLufs, reason);
    if (!numbersRead)
        return reason;
    for (const OutputFormat* format : outputFormats())
        if (format->option && !readNumber(line, {format->option->cliOption, format->option->min, format->option->max},
                                          options.formatOption[static_cast<std::size_t>(format->index())], reason))
            return reason;
    options.jobs = jobs.value_or(0);

    options.writeTags = !isSet("no-tags");
    options.replayGain = !isSet("no-replaygain");
    if (isSet("normalize")) {
        options.normalize = lookUp(kNormalize, value("normalize"));
        if (!options.normalize)
            return "--normalize expects one of " + wordList(kNormalize) + ", not \"" + value("normalize") + "\"";
    }
    options.recursive = isSet("recursive");
    options.keepFolders = isSet("keep-folders");
    if (isSet("name-pattern")) {
        std::string error;
        if (!NamePattern::parse(value("name-pattern"), error))
            return "--name-pattern: " + error;
        options.namePattern = value("name-pattern");
    }
    if (isSet("if-exists")) {
        options.ifExists = lookUp(kIfExists, value("if-exists"));
        if (!options.ifExists)
            return "--if-exists expects one of " + wordList(kIfExists) + ", not \"" + value("if-exists") + "\"";
    }
    options.selectedOnly = isSet("selected");
    options.json = isSet("json");
    options.quiet = isSet("quiet");
    options.lookUp = !isSet("no-lookup");
    options.inputs = line.positionalArguments();
    if (options.inputs.empty())
        return std::string("no FILE or FOLDER given");
    return options;
}

std::optional<std::string> applyConvertOptions(const ConvertOptions& options, OutputSettingsModel& model)
{
    using C = OutputControl;
    const OutputSettings& s = model.settings();
    if (options.format)
        model.clickOption(C::optFileFormat, static_cast<int>(*options.format));
    if (options.outputFolder) {
        model.clickOption(C::optOtherFolder);
        model.setText(C::txtOutPath, *options.outputFolder);
    }
    if (options.sameFolder)
        model.clickOption(C::optSameFolder);
    if (options.keepFolders)
        model.setCheck(C::chkKeepSubFolders, true);
    if (!options.replayGain)
        model.setCheck(C::chkReplayGain, false);
    if (options.normalize)
        model.setComboIndex(C::cmbNormalize, static_cast<int>(*options.normalize));
    if (options.targetLufs)
        model.setSliderValue(C::sliderTargetLufs, *options.targetLufs);
    if (options.namePattern)
        model.setText(C::txtNamePattern, *options.namePattern);
    if (options.ifExists)
        model.setComboIndex(C::cmbIfExists, static_cast<int>(*options.ifExists));
    if (options.mp3Mode) {
        const C modes[] = {C::optMP3CBR, C::optMP3ABR, C::optMP3VBR};
        model.clickOption(modes[static_cast<int>(*options.mp3Mode)]);
    }
    if (options.stereoMode)
        model.setComboIndex(C::cmbMP3StereoMode,
                            static_cast<int>(std::find(s.cmbMP3StereoMode.list.begin(), s.cmbMP3StereoMode.list.end(),
                                                       *options.stereoMode) -
                                             s.cmbMP3StereoMode.list.begin()));
    if (options.resampleRate) {
        const auto& list = s.cmbMP3Freq.list;
        const auto entry = std::find(list.begin(), list.end(), *options.resampleRate);
        if (entry == list.end()) {
            std::string rates;
            for (const auto& rate : list)
                rates += (rates.empty() ? "" : ", ") + (rate == list.front() ? "auto" : rate.substr(0, rate.find(' ')));
            return "--resample expects one of " + rates;
        }
        model.setComboIndex(C::cmbMP3Freq, static_cast<int>(entry - list.begin()));
    }
    if (options.vbrQuality)
        model.setSliderValue(C::SliderMP3VBR, *options.vbrQuality);
    if (options.encoderQuality)
        model.setSliderValue(C::SliderMP3EncoderQuality, *options.encoderQuality);
    if (options.oggQuality)
        model.setSliderValue(C::sliderOGG, *options.oggQuality);
    if (options.wmaQuality)
        model.setSliderValue(C::sliderWMA, *options.wmaQuality);
    for (std::size_t i = 0; i < options.formatOption.size(); ++i)
        if (options.formatOption[i])
            model.setSliderValue(C::formatOption, *options.formatOption[i], static_cast<int>(i));
    if (options.bitrate) {
        const auto control = bitrateControl(s);
        if (!control)
            return std::string("--bitrate applies to MP3 with cbr or abr and to OGG only");
        const ComboBox& box = comboField(s, *control);
        const auto entry = entryWithNumber(box, std::to_string(*options.bitrate), "Kbps");
        if (!entry)
            return "--bitrate expects one of " + numbersOf(box) + " here, not " + std::to_string(*options.bitrate);
        model.setComboIndex(*control, *entry);
    }
    model.ShowFormatSummary();
    return std::nullopt;
}

} // namespace tunevale
