#pragma once

#include "BatchStatus.h"
#include "ConversionFlags.h"
#include "ConversionRun.h"
#include "ConvertControls.h"

#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace tunevale
{

class Engine;
class ErrorLog;
class JobList;
class MessageBox;
class PowerOff;
class WmaBitrateListView;
struct OutputSettings;

// The two convert buttons, "Stop" and the close guard of the main window. A click starts a run on
// worker threads and returns; the window calls tick() on a timer, which copies the jobs' progress
// into the list and, once every worker has ended, ends the run. A click while a stopped run is still
// unwinding is ignored, so a new run never starts before the old one has ended. UI thread.
class ConversionController
{
public:
    // What the controller works with; powerOff ends the session after a run when chkShutdown is
    // ticked, null where nothing may power the machine off.
    struct Services {
        Engine& engine;
        ErrorLog& log;
        JobList& jobs;
        const OutputSettings& settings;
        const std::array<std::string, 8>& wmaTagNames;
        ConvertControls& controls;
        MessageBox& messages;
        PowerOff* powerOff = nullptr;
        std::function<void()> stopPreview;
        WmaBitrateListView* bitrateView = nullptr;
    };

    ConversionController(Services services, ConversionFlags& flags);
    ~ConversionController();

    void cmdConvert_Click();
    void cmdConvertSelected_Click();
    // The close button: false (after the warning) while a run is active, true when the window may close.
    bool cmdClose_Click();

    // Starts a run over the waiting and cancelled jobs (only the ticked ones when bSelectedOnly);
    // false when it takes no job.
    bool ConvertFiles(bool bSelectedOnly);
    // Copies the running jobs' progress into the list; ends the run once its workers have ended.
    void tick();
    // Stops the running jobs and waits for the run to end, with no power-off: the window is closing.
    void stopAndWait();

    // How many jobs convert at once, 0 for one per core, in place of the stored choice.
    void setParallelJobs(unsigned count) { m_parallel = count; }
    // Told how each run that started a job ended, once its workers have; a window that is closing
    // stops its run without being told.
    std::function<void(const RunSummary& summary)> onRunEnded;
    const ConversionRun* run() const { return m_run.get(); }

    // The fourteen controls that could change the list, the preview or the output folder.
    void EnableControls(bool enabled);
    static const std::array<const char*, 14>& controlledControls();

    static constexpr const char* ConvertAllCaption = "Convert All";
    static constexpr const char* ConvertSelectedCaption = "Convert Selected";
    static constexpr const char* StopCaption = "Stop";
    static constexpr int PowerOffMode = 8;

private:
    void click(ConvertButton pressed, ConvertButton other, const char* caption, bool selectedOnly);
    void restoreButtons();
    // ranToItsEnd: the workers ended by themselves (or after "Stop"), not because the window closes.
    void endRun(bool ranToItsEnd);

    Services m_services;
    ConversionFlags& m_flags;
    std::optional<unsigned> m_parallel;
    std::unique_ptr<ConversionRun> m_run;
    // The buttons of the run that is going on, and whether their idle look is back already.
    ConvertButton m_pressed = ConvertButton::cmdConvert;
    const char* m_caption = ConvertAllCaption;
    bool m_buttonsRestored = true;
};

} // namespace tunevale
