#include "ConversionController.h"

#include "JobList.h"
#include "MessageBox.h"
#include "OutputSettings.h"
#include "RunPlan.h"
#include "ShutdownWindows.h"

namespace tunevale
{

namespace
{

constexpr const char* ProductName = "Tunevale";

ConvertButton otherButton(ConvertButton button)
{
    return button == ConvertButton::cmdConvert ? ConvertButton::cmdConvertSelected : ConvertButton::cmdConvert;
}

} // namespace

ConversionController::ConversionController(Services services, ConversionFlags& flags)
    : m_services(std::move(services)), m_flags(flags)
{
}

// A run still going is stopped by its own destructor, which waits for its workers.
ConversionController::~ConversionController() = default;

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
        m_services.controls.setControlEnabled(name, enabled);
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
    ConvertControls& controls = m_services.controls;
    if (m_services.jobs.rsJobs().empty()) {
        m_services.messages.show("The list is empty, Please add Audio files from step 1", ProductName,
                                 MessageIcon::Information, MessageButtons::Ok);
        return;
    }
    if (controls.caption(pressed) == StopCaption) {
        m_flags.bCancelConversion = true;
        if (m_run)
            m_run->requestStop();
        // The buttons come back at once; the stopped jobs end after their current chunk.
        restoreButtons();
        return;
    }
    // "Stop" gives the buttons back while the stopped run still unwinds; a new run must wait.
    if (m_flags.bConverting)
        return;
    m_pressed = pressed;
    m_caption = caption;
    m_buttonsRestored = false;
    controls.setCaption(pressed, StopCaption);
    m_flags.bCancelConversion = false;
    EnableControls(false);
    controls.setButtonEnabled(other, false);
    if (!ConvertFiles(selectedOnly))
        endRun(false);
}

bool ConversionController::ConvertFiles(bool bSelectedOnly)
{
    if (m_services.stopPreview)
        m_services.stopPreview();
    const ConversionOptions options = conversionOptions(m_services.settings, m_services.wmaTagNames);
    RunPlan plan = planRun(m_services.jobs.rsJobs(), bSelectedOnly, options);
    // Jobs whose folder cannot be made keep waiting; the user is told why, once a run.
    if (!plan.unmadeFolders.empty())
        m_services.messages.show("Output Folder is not exist and can not be created.", ProductName,
                                 MessageIcon::Critical, MessageButtons::Ok);
    if (plan.jobs.empty())
        return false;
    m_flags.bConverting = true;
    m_run = std::make_unique<ConversionRun>(
        m_services.engine, m_services.log, options, std::move(plan.jobs),
        m_parallel.value_or(static_cast<unsigned>(m_services.settings.sliderParallelJobs.value)),
        m_services.bitrateView);
    m_run->start();
    return true;
}

void ConversionController::tick()
{
    if (!m_run)
        return;
    // Asked before the statuses are read: a run that ends while they are read shows its last
    // job's end at the next tick, never leaves the job at its last progress.
    const bool finished = m_run->finished();
    showRunProgress(m_services.jobs.rsJobs(), *m_run);
    if (finished)
        endRun(true);
}

void ConversionController::stopAndWait()
{
    if (!m_run)
        return;
    m_flags.bCancelConversion = true;
    m_run->requestStop();
    while (!m_run->waitFor(std::chrono::milliseconds(100))) {
    }
    showRunProgress(m_services.jobs.rsJobs(), *m_run);
    endRun(false);
}

void ConversionController::endRun(bool ranToItsEnd)
{
    const bool started = m_run && m_run->startedCount() > 0;
    if (started && ranToItsEnd && onRunEnded) {
        const RunStanding standing = runStanding(*m_run);
        const ConversionOptions& options = m_run->options();
        const int ended = standing.completed + standing.failed + standing.cancelled + standing.upToDate;
        onRunEnded({standing.completed, standing.failed, standing.cancelled,
                    options.sameFolder ? std::string() : m_run->jobs().front().folder,
                    static_cast<int>(standing.total) - ended, standing.upToDate});
    }
    m_run.reset();
    m_flags.bConverting = false;
    m_flags.bCancelConversion = false;
    restoreButtons();
    if (ranToItsEnd && started && m_services.settings.chkShutdown.value && m_services.powerOff)
        ShutdownWindows(PowerOffMode, *m_services.powerOff);
}

void ConversionController::restoreButtons()
{
    if (m_buttonsRestored)
        return;
    m_buttonsRestored = true;
    m_services.controls.setCaption(m_pressed, m_caption);
    EnableControls(true);
    m_services.controls.setButtonEnabled(otherButton(m_pressed), true);
}

bool ConversionController::cmdClose_Click()
{
    if (!m_flags.bConverting)
        return true;
    m_services.messages.show("Please Stop Conversion first.", ProductName, MessageIcon::Exclamation,
                             MessageButtons::Ok);
    return false;
}

} // namespace tunevale
