#pragma once

#include "CRegister.h"
#include "OutputControl.h"
#include "OutputSettings.h"

#include <functional>
#include <string>
#include <vector>

namespace tunevale
{

// The registry key of the output settings, below RegistryRoot::LocalMachine.
inline constexpr const char* SettingsKey = "Software\\Brindle Tunevale\\Settings";

// The output settings record with the behaviour of its panel: loading and saving through the
// registry store, the defaults button, the format summary and the click rules between controls.
// Every change of a value, list, enabled state, front panel or caption is announced to the change
// handlers with the control (and its index for the arrays). UI thread only.
class OutputSettingsModel
{
public:
    using ChangeHandler = std::function<void(OutputControl control, int index)>;

    // Starts with the controls as designed; defaultOutPath is the folder used when none is stored.
    explicit OutputSettingsModel(CRegister& registry, std::string defaultOutPath = defaultOutputFolder());

    const OutputSettings& settings() const { return m_settings; }
    const std::string& defaultOutPath() const { return m_defaultOutPath; }
    void addChangeHandler(ChangeHandler handler);

    // The window's start-up flag: true until LoadSettings has chosen the output format.
    bool bLoading() const { return m_bLoading; }
    void setLoading(bool loading) { m_bLoading = loading; }

    // writeBackFolder false reads only (for showing the stored settings without a window).
    void LoadSettings(bool writeBackFolder = true);
    // Writes the values this copy changed since it loaded them, and those the store lacks; a value
    // this copy left alone keeps what another running copy may have written since. True unless the
    // store could not be written; the window ignores a failed write and runs on.
    bool SaveSettings();
    void ShowFormatSummary();
    // The defaults button: deletes the whole settings key, then loads every default.
    void cmdDefaults();

    // What the user's clicks do to the other controls (the option is turned on first).
    void clickOption(OutputControl option, int index = 0);
    void clickCheck(OutputControl check, bool ticked);

    // Generic setters; option groups stay exclusive (turning one on turns the others off).
    void setOption(OutputControl option, bool on, int index = 0);
    void setCheck(OutputControl check, bool ticked);
    void setText(OutputControl textBox, const std::string& text, int index = 0);
    void setSliderValue(OutputControl slider, int value, int index = 0); // pulled into the slider's range
    bool setComboIndex(OutputControl combo, int listIndex);              // false (and no change) outside the list
    void setComboList(OutputControl combo, std::vector<std::string> list, std::vector<std::int64_t> itemData = {});
    void setEnabled(OutputControl control, bool enabled, int index = 0);
    void bringFormatToFront(int index);

private:
    bool& enabledFlag(OutputControl control, int index);
    void notify(OutputControl control, int index = 0);

    std::string read(const char* name, const std::string& defaultText) const;
    // Writes values in one replacement of the store, where they differ from what this copy read.
    // ownChanges: the user's changes, written over a newer value of another copy; otherwise each is
    // written only while the store holds what this copy read.
    bool write(const std::vector<std::pair<std::string, std::string>>& values, bool ownChanges);
    void loadOption(OutputControl control, const char* name, const char* defaultText);
    void loadCheck(OutputControl control, const char* name, const char* defaultText);
    void loadSlider(OutputControl control, const char* name, int defaultValue, int index = 0);
    void loadCombo(OutputControl control, const char* name, int defaultValue);

    CRegister& m_registry;
    std::string m_defaultOutPath;
    OutputSettings m_settings;
    bool m_bLoading = true;
    bool m_readStore = true; // false while the defaults button loads the defaults over a stuck store
    // The stored values as this copy last read or wrote them: what a save compares against.
    RegistryValues m_stored;
    std::vector<ChangeHandler> m_handlers;
};

} // namespace tunevale
