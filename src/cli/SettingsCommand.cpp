#include "CRegister.h"
#include "CommandLine.h"
#include "OutputSettingsModel.h"
#include "SettingText.h"

#include <QString>

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

namespace tunevale
{

namespace
{

enum class Kind { Option, Check, Text, FormatIndex, Slider, Combo };

struct StoredSetting {
    const char* name;
    OutputControl control;
    Kind kind;
    int index = 0; // the member of an array control
};

// The stored output settings, in the order the window saves them.
std::vector<StoredSetting> storedSettings()
{
    std::vector<StoredSetting> settings{
        {"optOtherFolder", OutputControl::optOtherFolder, Kind::Option},
        {"optSameFolder", OutputControl::optSameFolder, Kind::Option},
        {"txtOutPath", OutputControl::txtOutPath, Kind::Text},
        {"optFileFormat", OutputControl::optFileFormat, Kind::FormatIndex},
        {"sliderWMA", OutputControl::sliderWMA, Kind::Slider},
        {"cmbMP3StereoMode", OutputControl::cmbMP3StereoMode, Kind::Combo},
        {"cmbMP3Freq", OutputControl::cmbMP3Freq, Kind::Combo},
        {"SliderMP3EncoderQuality", OutputControl::SliderMP3EncoderQuality, Kind::Slider},
        {"optMP3CBR", OutputControl::optMP3CBR, Kind::Option},
        {"optMP3ABR", OutputControl::optMP3ABR, Kind::Option},
        {"optMP3VBR", OutputControl::optMP3VBR, Kind::Option},
        {"SliderMP3VBR", OutputControl::SliderMP3VBR, Kind::Slider},
        {"cmbMP3CBitrate", OutputControl::cmbMP3CBitrate, Kind::Combo},
        {"cmbMP3ABitrate", OutputControl::cmbMP3ABitrate, Kind::Combo},
        {"sliderOGG", OutputControl::sliderOGG, Kind::Slider},
        {"optOGGCBR", OutputControl::optOGGCBR, Kind::Option},
        {"optOGGVBR", OutputControl::optOGGVBR, Kind::Option},
        {"cmbOGGCBitrate", OutputControl::cmbOGGCBitrate, Kind::Combo},
        {"cmbOGGVBitrate", OutputControl::cmbOGGVBitrate, Kind::Combo}};
    for (const OutputFormat* format : outputFormats())
        if (format->option)
            settings.push_back({format->option->storedKey, OutputControl::formatOption, Kind::Slider, format->index()});
    settings.push_back({"chkCarryTags", OutputControl::chkCarryTags, Kind::Check});
    settings.push_back({"sliderParallelJobs", OutputControl::sliderParallelJobs, Kind::Slider});
    return settings;
}

const std::vector<StoredSetting> kStoredSettings = storedSettings();

std::vector<std::string> formatCaptions()
{
    std::vector<std::string> captions;
    for (const OutputFormat* format : outputFormats())
        captions.emplace_back(format->caption);
    return captions;
}

const std::vector<std::string> kFormatCaptions = formatCaptions();

bool sameText(const std::string& a, const std::string& b)
{
    return QString::fromStdString(a).compare(QString::fromStdString(b), Qt::CaseInsensitive) == 0;
}

std::string shownValue(const OutputSettings& s, const StoredSetting& setting)
{
    switch (setting.kind) {
    case Kind::Option:
        return optionText(optionField(s, setting.control).value);
    case Kind::Check:
        return optionText(checkField(s, setting.control).value);
    case Kind::Text:
        return s.txtOutPath.text;
    case Kind::FormatIndex: {
        const auto format = s.chosenFormat();
        if (!format)
            return "(none)";
        const int index = static_cast<int>(*format);
        return std::to_string(index) + " (" + kFormatCaptions[static_cast<std::size_t>(index)] + ")";
    }
    case Kind::Slider:
        return std::to_string(sliderField(s, setting.control, setting.index).value);
    case Kind::Combo: {
        const ComboBox& box = comboField(s, setting.control);
        return std::to_string(box.listIndex) + " (" + box.text() + ")";
    }
    }
    return {};
}

// An index given as a number or as one of the shown texts.
std::optional<int> indexOf(const std::string& value, const std::vector<std::string>& texts)
{
    for (std::size_t i = 0; i < texts.size(); ++i)
        if (sameText(value, texts[i]))
            return static_cast<int>(i);
    const auto number = parseIntegerText(value);
    if (number && *number >= 0 && *number < static_cast<int>(texts.size()))
        return number;
    return std::nullopt;
}

std::string joined(const std::vector<std::string>& texts)
{
    std::string out;
    for (const auto& text : texts)
        out += (out.empty() ? "\"" : ", \"") + text + "\"";
    return out;
}

// Sets one control as the user would on the panel; an error text when the value does not fit.
std::optional<std::string> apply(OutputSettingsModel& model, const StoredSetting& setting, const std::string& value)
{
    switch (setting.kind) {
    case Kind::Option: {
        const auto on = parseOptionText(value);
        if (!on)
            return std::string("expects True or False");
        if (*on)
            model.clickOption(setting.control);
        else
            model.setOption(setting.control, false);
        return std::nullopt;
    }
    case Kind::Check: {
        const auto ticked = parseOptionText(value);
        if (!ticked)
            return std::string("expects True or False");
        model.clickCheck(setting.control, *ticked);
        return std::nullopt;
    }
    case Kind::Text:
        model.setText(setting.control, value);
        return std::nullopt;
    case Kind::FormatIndex: {
        const auto index = indexOf(value, kFormatCaptions);
        if (!index)
            return "expects 0 to " + std::to_string(kFileFormatCount - 1) + " or one of " + joined(kFormatCaptions);
        model.clickOption(OutputControl::optFileFormat, *index);
        return std::nullopt;
    }
    case Kind::Slider: {
        const auto number = parseIntegerText(value);
        if (!number)
            return std::string("expects a whole number");
        model.setSliderValue(setting.control, *number, setting.index);
        return std::nullopt;
    }
    case Kind::Combo: {
        const ComboBox& box = comboField(model.settings(), setting.control);
        const auto index = indexOf(value, box.list);
        if (!index)
            return "expects 0 to " + std::to_string(box.list.size() - 1) + " or one of " + joined(box.list);
        model.setComboIndex(setting.control, *index);
        return std::nullopt;
    }
    }
    return std::nullopt;
}

void print(const OutputSettingsModel& model)
{
    for (const StoredSetting& setting : kStoredSettings)
        std::printf("%s=%s\n", setting.name, shownValue(model.settings(), setting).c_str());
    std::printf("Format: %s\n", model.settings().lblFormat.c_str());
}

const CommandSyntax& settingsSyntax()
{
    static const CommandSyntax syntax{
        "settings",
        "[--reset] [NAME=VALUE...]",
        "Shows the stored output settings, one NAME=VALUE line each and the format summary. Given\n"
        "NAME=VALUE pairs, sets those controls as the format panel does and saves all settings as the\n"
        "window does at exit. A combo box takes its position or its text, an option True or False,\n"
        "optFileFormat 0 to 10 or its caption.",
        {QCommandLineOption(QStringLiteral("reset"),
                            QStringLiteral("Reset the settings to their defaults first, as the format panel's "
                                           "defaults button does."))},
        "  0  shown, reset or saved\n"
        "  1  the store could not be written\n"
        "  2  wrong arguments; nothing was changed\n"};
    return syntax;
}

} // namespace

// tunevale-cli settings [--reset] [NAME=VALUE...]
int SettingsCommand(const std::vector<std::string>& arguments)
{
    CommandLine line(settingsSyntax());
    if (const auto status = line.parse(arguments))
        return *status;
    const auto assignments = line.positionalArguments();
    const bool reset = line.isSet("reset");

    CRegister registry(CRegister::registryFile());
    OutputSettingsModel model(registry);
    if (assignments.empty() && !reset) {
        model.LoadSettings(false);
        print(model);
        return ExitStatus::Success;
    }

    // Every assignment is checked on a copy before anything is reset or written.
    std::vector<std::pair<const StoredSetting*, std::string>> changes;
    for (const std::string& argument : assignments) {
        const auto equals = argument.find('=');
        const std::string name = argument.substr(0, equals);
        const StoredSetting* setting = nullptr;
        for (const StoredSetting& candidate : kStoredSettings)
            if (sameText(name, candidate.name))
                setting = &candidate;
        if (equals == std::string::npos || setting == nullptr)
            return usageError("settings", "\"" + argument + "\" is not NAME=VALUE with a stored setting's name");
        changes.emplace_back(setting, argument.substr(equals + 1));
    }
    {
        OutputSettingsModel check(registry);
        check.LoadSettings(false);
        for (const auto& [setting, value] : changes)
            if (const auto error = apply(check, *setting, value))
                return usageError("settings", std::string(setting->name) + " " + *error);
    }

    if (reset)
        model.cmdDefaults();
    else
        model.LoadSettings();
    if (!changes.empty()) {
        for (const auto& [setting, value] : changes)
            apply(model, *setting, value);
        model.ShowFormatSummary();
        if (!model.SaveSettings()) {
            std::fprintf(stderr, "tunevale-cli settings: could not write %s\n", registry.storeFile().c_str());
            return ExitStatus::Failure;
        }
    }
    print(model);
    return ExitStatus::Success;
}

} // namespace tunevale
