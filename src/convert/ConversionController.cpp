#include "ConversionController.h"

#include "BatchConverter.h"
#include "JobList.h"
#include "MessageBox.h"
#include "OutputSettings.h"
#include "ShutdownWindows.h"

namespace tunevale
{

namespace
{

constexpr const char* ProductName = "Tunevale";

} // namespace

ConversionController::ConversionController(BatchConverter& converter, ConversionFlags& flags, const JobList& jobs,
                                           const OutputSettings& settings, ConvertControls& controls,
                                           MessageBox& messages, PowerOff* powerOff)
    : m_converter(converter), m_flags(flags), m_jobs(jobs), m_settings(settings), m_controls(controls),
      m_messages(messages), m_powerOff(powerOff)
{
}

const std::array<const char*, 14>& ConversionController::controlledControls()
{
    static constexpr std::array<const char*, 14> names{
        "cmdChangeFormat", "cmdRemove",   "cmdPlay",      "cmdPause",       "cmdStop",
        "cmdPlayPrev",     "cmdPlayNext", "cmdBrowse",    "optSameFolder",  "optOtherFolder",
        "chkSelectAll",    "cmdAddFile",  "cmdAddFolder", "cmdAddVideoFile"};
    return names;
}

void ConversionController::EnableControls(bool enabled)
{
    for (const char* name : controlledControls())
        m_controls.setControlEnabled(name, enabled);
}

void ConversionController::cmdConvert_Click()
{
    click(ConvertButton::cmdConvert, ConvertButton::cmdConvertSelected, ConvertAllCaption, false);
}

void ConversionController::cmdConvertSelected_Click()
{
    click(ConvertButton::cmdConvertSelected, ConvertButton::cmdConvert, ConvertSelectedCaption, true);
}

void ConversionController::click(ConvertButton pressed, ConvertButton other, const char* caption, bool selectedOnly)
{
    if (m_jobs.rsJobs().empty()) {
        m_messages.show("The list is empty, Please add Audio files from step 1", ProductName, MessageIcon::Information,
                        MessageButtons::Ok);
        return;
    }
    if (m_controls.caption(pressed) == StopCaption) {
        m_flags.bCancelConversion = true;
    } else {
        // "Stop" gives the buttons back at once while the stopped run still unwinds; a new run
        // must wait until that run has returned.
        if (m_flags.bConverting)
            return;
        m_controls.setCaption(pressed, StopCaption);
        m_flags.bCancelConversion = false;
        EnableControls(false);
        m_controls.setButtonEnabled(other, false);
        const bool started = m_converter.ConvertFiles(selectedOnly);
        if (started && m_settings.chkShutdown.value && m_powerOff)
            ShutdownWindows(PowerOffMode, *m_powerOff);
    }
    m_controls.setCaption(pressed, caption);
    EnableControls(true);
    m_controls.setButtonEnabled(other, true);
}

bool ConversionController::cmdClose_Click()
{
    if (!m_flags.bConverting)
        return true;
    m_messages.show("Please Stop Conversion first.", ProductName, MessageIcon::Exclamation, MessageButtons::Ok);
    return false;
}

} // namespace tunevale
