#include "BatchConverter.h"
#include "CRegister.h"
#include "ConsoleStandIns.h"
#include "ConversionController.h"
#include "DurationProbe.h"
#include "EngineFactory.h"
#include "ErrorLog.h"
#include "EventPump.h"
#include "FormatWriters.h"
#include "InitAudioEngine.h"
#include "MessageBox.h"
#include "OutputSettingsModel.h"
#include "WmaSupport.h"

#include <csignal>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace tunevale
{

namespace
{

// The buttons of a window that is not there: captions are kept so that "Stop" works as in the window.
class ConsoleControls : public ConvertControls
{
public:
    std::string caption(ConvertButton button) const override { return m_captions.at(button); }
    void setCaption(ConvertButton button, const std::string& text) override { m_captions[button] = text; }
    void setButtonEnabled(ConvertButton, bool) override {}
    void setControlEnabled(const std::string&, bool) override {}

private:
    std::map<ConvertButton, std::string> m_captions{
        {ConvertButton::cmdConvert, ConversionController::ConvertAllCaption},
        {ConvertButton::cmdConvertSelected, ConversionController::ConvertSelectedCaption}};
};

// Ctrl+C is held pending (blocked and ignored, so that encoder processes started meanwhile
// inherit "ignore" and finish their files) and taken between chunks as a click on "Stop".
class InterruptPump : public EventPump
{
public:
    InterruptPump()
    {
        sigemptyset(&m_interrupt);
        sigaddset(&m_interrupt, SIGINT);
        std::signal(SIGINT, SIG_IGN);
        pthread_sigmask(SIG_BLOCK, &m_interrupt, nullptr);
    }

    void processEvents() override
    {
        const timespec now{0, 0};
        if (sigtimedwait(&m_interrupt, nullptr, &now) == SIGINT) {
            interrupted = true;
            if (onInterrupt)
                onInterrupt();
        }
    }

    std::function<void()> onInterrupt;
    bool interrupted = false;

private:
    sigset_t m_interrupt;
};

int usage()
{
    std::fprintf(stderr, "usage: tunevale-cli convert [--selected] FILE...\n");
    return 2;
}

} // namespace

// tunevale-cli convert [--selected] FILE...: adds the files to a list as the window does, converts
// them in one run with the stored output settings ("Convert All", or with --selected "Convert
// Selected" with the named files ticked) and prints each job's final Status and path. Ctrl+C is
// "Stop". Exit status: 0 when every job completed, 1 when a job ended "Error" or a file could not
// be converted at all, 130 when stopped, 2 for wrong arguments.
int ConvertCommand(const std::vector<std::string>& arguments)
{
    bool selectedOnly = false;
    std::vector<std::string> files;
    for (const std::string& argument : arguments) {
        if (argument == "--selected" && files.empty() && !selectedOnly)
            selectedOnly = true;
        else
            files.push_back(argument);
    }
    if (files.empty())
        return usage();

    // Before any thread exists, so that every thread keeps Ctrl+C pending for the pump.
    InterruptPump pump;

    auto engine = makeEngine();
    if (!engine->Init(0, 44100, 0)) {
        std::fprintf(stderr, "the audio engine could not be opened (code %d)\n", engine->ErrorGetCode());
        return 1;
    }
    // The engine is open without sound output; this loads the plug-ins and names the WMA tags.
    std::array<std::string, 8> WMATagNames;
    ConsoleMessages quiet(true);
    InitAudioEngine(*engine, quiet, WMATagNames);

    CRegister registry(CRegister::registryFile());
    OutputSettingsModel model(registry);
    model.LoadSettings(false);
    const OutputSettings& settings = model.settings();

    ConsoleMessages messages;
    DurationProbe probe(*engine, nullptr, wmaProbeFile());
    ConsoleJobList list(probe, messages);
    JobList& jobs = list.jobs;

    bool failed = false;
    for (const std::string& file : files) {
        std::string path = absolutePath(file);
        if (!list.adder.AddFile2Grid(path)) {
            std::fprintf(stderr, "%s: not added (already listed or not a supported file)\n", path.c_str());
            failed = true;
        } else if (selectedOnly) {
            jobs.rsJobs().setCheckBox(jobs.rsJobs().size() - 1, 1);
        }
    }
    if (jobs.rsJobs().empty())
        return 1;

    ErrorLog log(ErrorLog::defaultPath());
    FormatWriters writers(*engine, log, WMATagNames);
    ConversionFlags flags;
    BatchConverter converter(jobs, settings, writers, pump, flags, outputNamer(settings, messages), nullptr);
    ConsoleControls controls;
    // chkShutdown is never stored, so a run from here never powers the machine off.
    ConversionController controller(converter, flags, jobs, settings, controls, messages, nullptr);
    // The button that starts the run is the one whose "Stop" ends it.
    auto clickConvert = [&] {
        if (selectedOnly)
            controller.cmdConvertSelected_Click();
        else
            controller.cmdConvert_Click();
    };
    pump.onInterrupt = clickConvert;
    clickConvert();

    for (const Job& job : jobs.rsJobs().jobs()) {
        std::printf("%s\t%s\n", job.Status.c_str(), job.FilePath.c_str());
        if (job.Status == JobStatus::Error || job.Status == JobStatus::CodecNotSupported)
            failed = true;
    }
    std::fflush(stdout);
    engine->Free();
    if (failed)
        return 1;
    return pump.interrupted ? 130 : 0;
}

} // namespace tunevale
