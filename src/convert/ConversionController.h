#pragma once

#include "ConversionFlags.h"
#include "ConvertControls.h"

#include <array>

namespace tunevale
{

class BatchConverter;
class JobList;
class MessageBox;
class PowerOff;
struct OutputSettings;

// The two convert buttons, "Stop" and the close guard of the main window. A click while a stopped
// run is still unwinding is ignored, so a new run never starts inside the old one. UI thread.
class ConversionController
{
public:
    // powerOff ends the session after a run when chkShutdown is ticked; null where nothing may
    // power the machine off (the command-line program, where chkShutdown is never ticked).
    ConversionController(BatchConverter& converter, ConversionFlags& flags, const JobList& jobs,
                         const OutputSettings& settings, ConvertControls& controls, MessageBox& messages,
                         PowerOff* powerOff);

    void cmdConvert_Click();
    void cmdConvertSelected_Click();
    // The close button: false (after the warning) while a run is active, true when the window may close.
    bool cmdClose_Click();

    // The fourteen controls that could change the list, the preview or the output folder.
    void EnableControls(bool enabled);
    static const std::array<const char*, 14>& controlledControls();

    static constexpr const char* ConvertAllCaption = "Convert All";
    static constexpr const char* ConvertSelectedCaption = "Convert Selected";
    static constexpr const char* StopCaption = "Stop";
    static constexpr int PowerOffMode = 8;

private:
    void click(ConvertButton pressed, ConvertButton other, const char* caption, bool selectedOnly);

    BatchConverter& m_converter;
    ConversionFlags& m_flags;
    const JobList& m_jobs;
    const OutputSettings& m_settings;
    ConvertControls& m_controls;
    MessageBox& m_messages;
    PowerOff* m_powerOff;
};

} // namespace tunevale
