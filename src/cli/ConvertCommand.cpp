#include "CRegister.h"
#include "ConsoleStandIns.h"
#include "ConversionRun.h"
#include "DurationProbe.h"
#include "EngineFactory.h"
#include "ErrorLog.h"
#include "InitAudioEngine.h"
#include "MessageBox.h"
#include "OutputSettingsModel.h"
#include "RunPlan.h"
#include "WmaSupport.h"

#include <chrono>
#include <csignal>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <string>
#include <vector>

namespace tunevale
{

namespace
{

// Ctrl+C, SIGTERM and SIGHUP are held pending (blocked, and ignored so that encoder processes
// started meanwhile inherit "ignore" and finish their files) and taken by the waiting main thread
// as a click on "Stop". Set up before any thread exists, so that every thread keeps them pending.
class StopSignals
{
public:
    StopSignals()
    {
        sigemptyset(&m_signals);
        for (int signal : {SIGINT, SIGTERM, SIGHUP}) {
            sigaddset(&m_signals, signal);
            std::signal(signal, SIG_IGN);
        }
        pthread_sigmask(SIG_BLOCK, &m_signals, nullptr);
    }

    // Waits up to the timeout for a stop signal; the signal, or 0.
    int wait(std::chrono::milliseconds timeout)
    {
        const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(timeout);
        const timespec limit{static_cast<time_t>(seconds.count()),
                             static_cast<long>(std::chrono::nanoseconds(timeout - seconds).count())};
        const int signal = sigtimedwait(&m_signals, nullptr, &limit);
        return signal > 0 ? signal : 0;
    }

private:
    sigset_t m_signals;
};

int usage()
{
    std::fprintf(stderr, "usage: tunevale-cli convert [--selected] FILE...\n");
    return 2;
}

} // namespace

// tunevale-cli convert [--selected] FILE...: adds the files to a list as the window does, converts
// them in one run with the stored output settings ("Convert All", or with --selected "Convert
// Selected" with the named files ticked) and prints each job's final Status and path. Ctrl+C,
// SIGTERM and SIGHUP are "Stop". Exit status: 0 when every job completed, 1 when a job did not
// (an error, a file that could not be added or converted), 128 + the signal when stopped, 2 for
// wrong arguments.
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

    StopSignals stopSignals;

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
    const ConversionOptions options = conversionOptions(settings, WMATagNames);
    RunPlan plan = planRun(jobs.rsJobs(), selectedOnly, options);
    if (plan.unmadeFolders > 0)
        messages.show("Output Folder is not exist and can not be created.", "Tunevale", MessageIcon::Critical,
                      MessageButtons::Ok);
    int stoppedBy = 0;
    if (!plan.jobs.empty()) {
        ConversionRun run(*engine, log, options, std::move(plan.jobs), 0);
        run.start();
        while (!run.finished()) {
            if (const int signal = stopSignals.wait(std::chrono::milliseconds(100)); signal && !stoppedBy) {
                stoppedBy = signal;
                run.requestStop();
            }
        }
        showRunProgress(jobs.rsJobs(), run);
    }

    for (const Job& job : jobs.rsJobs().jobs()) {
        std::printf("%s\t%s\n", statusText(job).c_str(), job.FilePath.c_str());
        if (job.State != JobState::Complete && !(stoppedBy && job.convertible()))
            failed = true;
    }
    std::fflush(stdout);
    engine->Free();
    if (stoppedBy)
        return 128 + stoppedBy;
    return failed ? 1 : 0;
}

} // namespace tunevale
