#include "AcceptedExtensions.h"
#include "CRegister.h"
#include "CommandLine.h"
#include "ConsoleRun.h"
#include "ConsoleStandIns.h"
#include "ConvertOptions.h"
#include "DurationProbe.h"
#include "EngineFactory.h"
#include "InitAudioEngine.h"
#include "InputFiles.h"
#include "JobReporter.h"
#include "OutputSettingsModel.h"
#include "StopSignals.h"
#include "WmaSupport.h"

#include <cstdio>
#include <filesystem>
#include <string>
#include <unistd.h>
#include <vector>

namespace tunevale
{

namespace
{

const CommandSyntax& convertSyntax()
{
    static const CommandSyntax syntax{
        "convert", "[options] FILE|FOLDER...",
        "Adds the files (a folder stands for the files in it that the list takes) to a list as the window\n"
        "does and converts them in one run, with the stored output settings changed by the options for\n"
        "this run only: the stored settings are never written. Several files convert at once (-j). Each\n"
        "job's end is printed as it happens, in the list's order: status, source and the output file or\n"
        "the reason it failed, separated by tabs. On a terminal a status line shows the progress.\n"
        "Ctrl+C, SIGTERM and SIGHUP stop the run as the \"Stop\" button does.",
        convertCommandOptions(),
        "  0    every job completed\n"
        "  1    a job failed, was refused or was left waiting, or there was nothing to convert\n"
        "  2    wrong arguments; nothing was done\n"
        "  130  stopped with Ctrl+C (143: SIGTERM, 129: SIGHUP)\n"};
    return syntax;
}

// Why a file that the list refused was not added.
std::string refusalReason(const std::string& path, const JobList& jobs)
{
    std::error_code error;
    if (jobs.FileInList(path))
        return "already listed";
    if (!hasAcceptedExtension(path))
        return "not a file type the list takes";
    if (!std::filesystem::exists(path, error))
        return "no such file";
    return "its size could not be read";
}

} // namespace

// tunevale-cli convert [options] FILE|FOLDER...
int ConvertCommand(const std::vector<std::string>& arguments)
{
    const CommandSyntax& syntax = convertSyntax();
    CommandLine line(syntax);
    if (const auto status = line.parse(arguments))
        return *status;
    auto read = readConvertOptions(line);
    if (const auto* reason = std::get_if<std::string>(&read))
        return usageError(syntax.name, *reason);
    const ConvertOptions& options = std::get<ConvertOptions>(read);

    // The stored settings, read only, with the options applied in memory.
    CRegister registry(CRegister::registryFile());
    OutputSettingsModel model(registry);
    model.LoadSettings(false);
    if (const auto reason = applyConvertOptions(options, model))
        return usageError(syntax.name, *reason);

    StopSignals stopSignals;

    auto engine = makeEngine();
    if (!engine->Init(0, 44100, 0)) {
        std::fprintf(stderr, "tunevale-cli convert: the audio engine could not be opened (code %d)\n",
                     engine->ErrorGetCode());
        return ExitStatus::Failure;
    }
    // The engine is open without sound output; this loads the plug-ins and names the WMA tags.
    std::array<std::string, 8> WMATagNames;
    ConsoleMessages quiet(true);
    InitAudioEngine(*engine, quiet, WMATagNames);

    JobReporter reporter(stdout, options.json ? JobReporter::Style::Json : JobReporter::Style::Lines, options.quiet,
                         ::isatty(STDOUT_FILENO) == 1);
    DurationProbe probe(*engine, nullptr, wmaProbeFile());
    // The reasons for refusals are printed with the jobs, so the list's own message stays quiet.
    ConsoleJobList list(probe, quiet);
    JobList& jobs = list.jobs;

    std::vector<JobReport> refused;
    for (std::string path : expandInputs(options.inputs, options.recursive)) {
        const std::string given = path;
        if (!list.adder.AddFile2Grid(path)) {
            refused.push_back({given, "", JobReport::Outcome::Refused, 0, refusalReason(path, jobs), {}});
            reporter.jobEnded(refused.back());
            continue;
        }
        const std::size_t row = jobs.rsJobs().size() - 1;
        if (jobs.rsJobs().at(row).State == JobState::CodecNotSupported) {
            refused.push_back({path, "", JobReport::Outcome::Refused, 0, JobStatus::CodecNotSupported, {}});
            reporter.jobEnded(refused.back());
        } else if (options.selectedOnly) {
            jobs.rsJobs().setCheckBox(row, 1);
        }
    }

    const auto reports = runConversion({jobs, model.settings(), options.jobs, options.writeTags, options.selectedOnly},
                                       {*engine, WMATagNames, stopSignals}, reporter);
    reporter.finish();
    engine->Free();

    if (stopSignals.received())
        return ExitStatus::StoppedBy + stopSignals.received();
    if (reports.empty() && refused.empty()) {
        std::fprintf(stderr, "tunevale-cli convert: nothing to convert\n");
        return ExitStatus::Failure;
    }
    if (!refused.empty())
        return ExitStatus::Failure;
    for (const JobReport& report : reports)
        if (report.outcome != JobReport::Outcome::Complete)
            return ExitStatus::Failure;
    return ExitStatus::Success;
}

} // namespace tunevale
