#include "OutputSettingsModel.h"

#include "SettingText.h"

#include <stdexcept>

namespace tunevale
{

namespace
{

constexpr RegistryRoot kRoot = RegistryRoot::LocalMachine;

const std::vector<OutputControl> kFolderGroup{OutputControl::optOtherFolder, OutputControl::optSameFolder};
const std::vector<OutputControl> kMP3ModeGroup{OutputControl::optMP3CBR, OutputControl::optMP3ABR,
                                               OutputControl::optMP3VBR};
const std::vector<OutputControl> kOGGModeGroup{OutputControl::optOGGCBR, OutputControl::optOGGVBR};

const std::vector<OutputControl>* groupOf(OutputControl option)
{
    for (const auto* group : {&kFolderGroup, &kMP3ModeGroup, &kOGGModeGroup})
        for (OutputControl member : *group)
            if (member == option)
                return group;
    return nullptr;
}

[[noreturn]] void notAModelControl(const char* what)
{
    throw std::logic_error(std::string("OutputSettingsModel: not a ") + what);
}

} // namespace

OutputSettingsModel::OutputSettingsModel(CRegister& registry, std::string defaultOutPath)
    : m_registry(registry), m_defaultOutPath(std::move(defaultOutPath)),
      m_settings(designOutputSettings(m_defaultOutPath))
{
}

void OutputSettingsModel::addChangeHandler(ChangeHandler handler)
{
    m_handlers.push_back(std::move(handler));
}

void OutputSettingsModel::notify(OutputControl control, int index)
{
    for (const auto& handler : m_handlers)
        handler(control, index);
}

bool& OutputSettingsModel::enabledFlag(OutputControl control, int index)
{
    switch (control) {
    case OutputControl::cmdBrowse:
        return m_settings.cmdBrowse.enabled;
    case OutputControl::txtOutPath:
    case OutputControl::txtWMATags:
        return textField(m_settings, control, index).enabled;
    case OutputControl::chkWMAFileTags:
    case OutputControl::chkShutdown:
    case OutputControl::chkCarryTags:
        return checkField(m_settings, control).enabled;
    case OutputControl::sliderWMA:
    case OutputControl::SliderMP3EncoderQuality:
    case OutputControl::SliderMP3VBR:
    case OutputControl::sliderOGG:
    case OutputControl::sliderParallelJobs:
    case OutputControl::formatOption:
        return sliderField(m_settings, control, index).enabled;
    case OutputControl::cmbWMAEncodingBitrate:
    case OutputControl::cmbMP3StereoMode:
    case OutputControl::cmbMP3Freq:
    case OutputControl::cmbMP3CBitrate:
    case OutputControl::cmbMP3ABitrate:
    case OutputControl::cmbOGGCBitrate:
    case OutputControl::cmbOGGVBitrate:
        return comboField(m_settings, control).enabled;
    case OutputControl::frFormat:
    case OutputControl::lblFormat:
        notAModelControl("control with an enabled state");
    default:
        return optionField(m_settings, control, index).enabled;
    }
}

void OutputSettingsModel::setOption(OutputControl control, bool on, int index)
{
    OptionButton& button = optionField(m_settings, control, index);
    if (on) {
        // The other members of the group go off first, as a group of option buttons does.
        if (control == OutputControl::optFileFormat) {
            for (int i = 0; i < kFileFormatCount; ++i)
                if (i != index && m_settings.optFileFormat[static_cast<std::size_t>(i)].value) {
                    m_settings.optFileFormat[static_cast<std::size_t>(i)].value = false;
                    notify(OutputControl::optFileFormat, i);
                }
        } else if (const auto* group = groupOf(control)) {
            for (OutputControl member : *group)
                if (member != control && optionField(m_settings, member, 0).value) {
                    optionField(m_settings, member, 0).value = false;
                    notify(member);
                }
        }
    }
    if (button.value != on) {
        button.value = on;
        notify(control, index);
    }
}

void OutputSettingsModel::setCheck(OutputControl control, bool ticked)
{
    CheckBox& box = checkField(m_settings, control);
    if (box.value != ticked) {
        box.value = ticked;
        notify(control);
    }
}

void OutputSettingsModel::setText(OutputControl control, const std::string& text, int index)
{
    TextBox& box = textField(m_settings, control, index);
    if (box.text != text) {
        box.text = text;
        notify(control, index);
    }
}

void OutputSettingsModel::setSliderValue(OutputControl control, int value, int index)
{
    SliderSetting& s = sliderField(m_settings, control, index);
    const int before = s.value;
    s.setValue(value);
    if (s.value != before)
        notify(control, index);
}

bool OutputSettingsModel::setComboIndex(OutputControl control, int listIndex)
{
    ComboBox& box = comboField(m_settings, control);
    if (!box.hasIndex(listIndex))
        return false;
    if (box.listIndex != listIndex) {
        box.listIndex = listIndex;
        notify(control);
    }
    return true;
}

void OutputSettingsModel::setComboList(OutputControl control, std::vector<std::string> list,
                                       std::vector<std::int64_t> itemData)
{
    ComboBox& box = comboField(m_settings, control);
    itemData.resize(list.size(), 0);
    box.list = std::move(list);
    box.itemData = std::move(itemData);
    box.listIndex = -1;
    notify(control);
}

void OutputSettingsModel::setEnabled(OutputControl control, bool enabled, int index)
{
    bool& flag = enabledFlag(control, index);
    if (flag != enabled) {
        flag = enabled;
        notify(control, index);
    }
}

void OutputSettingsModel::bringFormatToFront(int index)
{
    if (index < 0 || index >= kFileFormatCount)
        notAModelControl("format panel index");
    if (m_settings.frFormat != index) {
        m_settings.frFormat = index;
        notify(OutputControl::frFormat, index);
    }
}

void OutputSettingsModel::clickOption(OutputControl control, int index)
{
    setOption(control, true, index);
    switch (control) {
    case OutputControl::optFileFormat:
        bringFormatToFront(index);
        break;
    case OutputControl::optOtherFolder:
    case OutputControl::optSameFolder:
        setEnabled(OutputControl::txtOutPath, control == OutputControl::optOtherFolder);
        setEnabled(OutputControl::cmdBrowse, control == OutputControl::optOtherFolder);
        break;
    case OutputControl::optMP3CBR:
    case OutputControl::optMP3ABR:
    case OutputControl::optMP3VBR:
        setEnabled(OutputControl::cmbMP3CBitrate, control == OutputControl::optMP3CBR);
        setEnabled(OutputControl::cmbMP3ABitrate, control == OutputControl::optMP3ABR);
        setEnabled(OutputControl::SliderMP3VBR, control == OutputControl::optMP3VBR);
        break;
    case OutputControl::optOGGCBR:
    case OutputControl::optOGGVBR:
        setEnabled(OutputControl::cmbOGGCBitrate, control == OutputControl::optOGGCBR);
        setEnabled(OutputControl::cmbOGGVBitrate, control == OutputControl::optOGGVBR);
        break;
    default:
        break;
    }
}

void OutputSettingsModel::clickCheck(OutputControl control, bool ticked)
{
    setCheck(control, ticked);
    if (control == OutputControl::chkWMAFileTags)
        for (int i = 0; i < kWMATagCount; ++i)
            setEnabled(OutputControl::txtWMATags, ticked, i);
}

std::string OutputSettingsModel::read(const char* name, const std::string& defaultText) const
{
    return m_stored.find(name).value_or(defaultText);
}

bool OutputSettingsModel::write(const std::vector<std::pair<std::string, std::string>>& values, bool ownChanges)
{
    std::vector<RegistryWrite> writes;
    for (const auto& [name, value] : values) {
        const auto before = m_stored.find(name);
        if (before == value)
            continue;
        // A gap is filled only while it is one: another copy may have filled it meanwhile.
        if (ownChanges && before)
            writes.push_back({name, value, std::nullopt});
        else
            writes.push_back({name, value, before.value_or(std::string())});
    }
    if (!m_registry.REGMergeSettings(kRoot, SettingsKey, writes))
        return false;
    for (const RegistryWrite& written : writes)
        m_stored.set(written.name, written.value);
    return true;
}

void OutputSettingsModel::loadOption(OutputControl control, const char* name, const char* defaultText)
{
    if (const auto on = parseOptionText(read(name, defaultText)))
        setOption(control, *on);
}

void OutputSettingsModel::loadCheck(OutputControl control, const char* name, const char* defaultText)
{
    if (const auto ticked = parseOptionText(read(name, defaultText)))
        setCheck(control, *ticked);
}

void OutputSettingsModel::loadSlider(OutputControl control, const char* name, int defaultValue, int index)
{
    if (const auto value = parseIntegerText(read(name, std::to_string(defaultValue))))
        setSliderValue(control, *value, index);
}

void OutputSettingsModel::loadCombo(OutputControl control, const char* name, int defaultValue)
{
    if (const auto index = parseIntegerText(read(name, std::to_string(defaultValue))))
        setComboIndex(control, *index);
}

void OutputSettingsModel::LoadSettings(bool writeBackFolder)
{
    using C = OutputControl;
    // One reading of the store for every value.
    m_stored = m_readStore ? m_registry.REGGetSettings(kRoot, SettingsKey) : RegistryValues();
    loadOption(C::optOtherFolder, "optOtherFolder", "True");
    loadOption(C::optSameFolder, "optSameFolder", "False");
    setText(C::txtOutPath, read("txtOutPath", m_defaultOutPath));

    // The folder controls follow the option that is on (clicking the other-folder option enables them).
    const bool sameFolder = m_settings.optSameFolder.value;
    setEnabled(C::txtOutPath, !sameFolder);
    setEnabled(C::cmdBrowse, !sameFolder);

    if (writeBackFolder)
        write({{"optSameFolder", optionText(sameFolder)}, {"txtOutPath", m_settings.txtOutPath.text}}, false);

    if (const auto format = parseIntegerText(read("optFileFormat", "4"));
        format && *format >= 0 && *format < kFileFormatCount) {
        setOption(C::optFileFormat, true, *format);
        bringFormatToFront(*format);
    }

    m_bLoading = false;

    loadSlider(C::sliderWMA, "sliderWMA", 50);
    loadCombo(C::cmbMP3StereoMode, "cmbMP3StereoMode", 2);
    loadCombo(C::cmbMP3Freq, "cmbMP3Freq", 0);
    loadOption(C::optMP3CBR, "optMP3CBR", "True");
    loadOption(C::optMP3ABR, "optMP3ABR", "False");
    loadOption(C::optMP3VBR, "optMP3VBR", "False");
    loadSlider(C::SliderMP3EncoderQuality, "SliderMP3EncoderQuality", 5);
    loadSlider(C::SliderMP3VBR, "SliderMP3VBR", 5);
    loadCombo(C::cmbMP3CBitrate, "cmbMP3CBitrate", 6);
    loadCombo(C::cmbMP3ABitrate, "cmbMP3ABitrate", 6);

    setEnabled(C::cmbMP3CBitrate, m_settings.optMP3CBR.value);
    setEnabled(C::cmbMP3ABitrate, m_settings.optMP3ABR.value);
    setEnabled(C::SliderMP3VBR, m_settings.optMP3VBR.value);

    loadSlider(C::sliderOGG, "sliderOGG", 3);
    loadSlider(C::sliderParallelJobs, "sliderParallelJobs", 0);
    loadOption(C::optOGGCBR, "optOGGCBR", "0");
    loadOption(C::optOGGVBR, "optOGGVBR", "1");
    loadCombo(C::cmbOGGCBitrate, "cmbOGGCBitrate", 6);
    // Saved as "cmbOGGvBitrate": the store compares names without regard to case.
    loadCombo(C::cmbOGGVBitrate, "cmbOGGVBitrate", 6);

    setEnabled(C::cmbOGGCBitrate, m_settings.optOGGCBR.value);
    setEnabled(C::cmbOGGVBitrate, !m_settings.optOGGCBR.value);

    for (const OutputFormat* format : outputFormats())
        if (format->option)
            loadSlider(C::formatOption, format->option->storedKey, format->option->defaultValue, format->index());

    loadCheck(C::chkCarryTags, "chkCarryTags", "True");
    loadCheck(C::chkIncludeSubFolders, "chkIncludeSubFolders", "False");
    loadCheck(C::chkKeepSubFolders, "chkKeepSubFolders", "False");
    setText(C::txtNamePattern, read("txtNamePattern", ""));
    loadCombo(C::cmbIfExists, "cmbIfExists", static_cast<int>(IfExistsChoice::Rename));
    loadCheck(C::chkReplayGain, "chkReplayGain", "True");
    loadCheck(C::chkTruePeak, "chkTruePeak", "True");
    loadCombo(C::cmbNormalize, "cmbNormalize", static_cast<int>(NormalizeChoice::Off));
    loadSlider(C::sliderTargetLufs, "sliderTargetLufs", -18);

    ShowFormatSummary();
}

bool OutputSettingsModel::SaveSettings()
{
    const auto& s = m_settings;
    std::vector<std::pair<std::string, std::string>> values;
    values.emplace_back("optOtherFolder", optionText(s.optOtherFolder.value));
    values.emplace_back("optSameFolder", optionText(s.optSameFolder.value));
    values.emplace_back("txtOutPath", s.txtOutPath.text);
    // With no member on there is no index to store; the stored one stays.
    if (const auto format = s.chosenFormat())
        values.emplace_back("optFileFormat", std::to_string(static_cast<int>(*format)));
    values.emplace_back("sliderWMA", std::to_string(s.sliderWMA.value));
    values.emplace_back("cmbMP3StereoMode", std::to_string(s.cmbMP3StereoMode.listIndex));
    values.emplace_back("cmbMP3Freq", std::to_string(s.cmbMP3Freq.listIndex));
    values.emplace_back("SliderMP3EncoderQuality", std::to_string(s.SliderMP3EncoderQuality.value));
    values.emplace_back("optMP3CBR", optionText(s.optMP3CBR.value));
    values.emplace_back("optMP3ABR", optionText(s.optMP3ABR.value));
    values.emplace_back("optMP3VBR", optionText(s.optMP3VBR.value));
    values.emplace_back("SliderMP3VBR", std::to_string(s.SliderMP3VBR.value));
    values.emplace_back("cmbMP3CBitrate", std::to_string(s.cmbMP3CBitrate.listIndex));
    values.emplace_back("cmbMP3ABitrate", std::to_string(s.cmbMP3ABitrate.listIndex));
    values.emplace_back("sliderOGG", std::to_string(s.sliderOGG.value));
    values.emplace_back("optOGGCBR", optionText(s.optOGGCBR.value));
    values.emplace_back("optOGGVBR", optionText(s.optOGGVBR.value));
    values.emplace_back("cmbOGGCBitrate", std::to_string(s.cmbOGGCBitrate.listIndex));
    values.emplace_back("cmbOGGvBitrate", std::to_string(s.cmbOGGVBitrate.listIndex));
    for (const OutputFormat* format : outputFormats())
        if (format->option)
            values.emplace_back(format->option->storedKey,
                                std::to_string(s.formatOption[static_cast<std::size_t>(format->index())].value));
    values.emplace_back("chkCarryTags", optionText(s.chkCarryTags.value));
    values.emplace_back("sliderParallelJobs", std::to_string(s.sliderParallelJobs.value));
    values.emplace_back("chkIncludeSubFolders", optionText(s.chkIncludeSubFolders.value));
    values.emplace_back("chkKeepSubFolders", optionText(s.chkKeepSubFolders.value));
    values.emplace_back("txtNamePattern", s.txtNamePattern.text);
    values.emplace_back("cmbIfExists", std::to_string(s.cmbIfExists.listIndex));
    values.emplace_back("chkReplayGain", optionText(s.chkReplayGain.value));
    values.emplace_back("chkTruePeak", optionText(s.chkTruePeak.value));
    values.emplace_back("cmbNormalize", std::to_string(s.cmbNormalize.listIndex));
    values.emplace_back("sliderTargetLufs", std::to_string(s.sliderTargetLufs.value));
    // One replacement of the store, quick at exit; values this copy did not change stay as another
    // running copy may have saved them.
    return write(values, true);
}

void OutputSettingsModel::ShowFormatSummary()
{
    const auto& s = m_settings;
    const auto format = s.chosenFormat();
    if (!format)
        return;
    std::string caption;
    // WMA, MP3 and OGG tell their own controls; the others their catalog summary.
    switch (*format) {
    case FileFormat::WMA:
        caption = "WMA,Encoding Quality= " + std::to_string(s.sliderWMA.value);
        break;
    case FileFormat::MP3: {
        const std::string head = "MP3," + s.cmbMP3StereoMode.text() + "," + s.cmbMP3Freq.text();
        if (s.optMP3CBR.value)
            caption = head + ",Constant Bitrate " + s.cmbMP3CBitrate.text();
        else if (s.optMP3ABR.value)
            caption = head + ",Average Bitrate " + s.cmbMP3ABitrate.text();
        else if (s.optMP3VBR.value)
            caption = head + ",VBR Quality=" + std::to_string(s.SliderMP3VBR.value);
        else
            return;
        break;
    }
    case FileFormat::OGG:
        if (s.optOGGCBR.value)
            caption = "OGG,Constant Bitrate " + s.cmbOGGCBitrate.text();
        else
            caption = "OGG,Variable Bitrate " + s.cmbOGGVBitrate.text();
        caption += ",Quality=" + std::to_string(s.sliderOGG.value);
        break;
    default: {
        const OutputFormat& described = outputFormat(*format);
        caption = formatSummary(described, s.formatOption[static_cast<std::size_t>(described.index())].value);
        break;
    }
    }
    if (m_settings.lblFormat != caption) {
        m_settings.lblFormat = caption;
        notify(OutputControl::lblFormat);
    }
}

void OutputSettingsModel::cmdDefaults()
{
    m_registry.REGDeleteSetting(kRoot, SettingsKey, "");
    // Loads the defaults themselves, so that a store whose key could not be deleted (read-only)
    // still gives every control its default.
    m_readStore = false;
    LoadSettings();
    m_readStore = true;
}

} // namespace tunevale
