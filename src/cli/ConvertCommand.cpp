#include "AcceptedExtensions.h"
#include "CRegister.h"
#include "CdSettings.h"
#include "CommandLine.h"
#include "ConsoleLookup.h"
#include "ConsoleRun.h"
#include "ConsoleStandIns.h"
#include "ConvertOptions.h"
#include "DescriptorLimit.h"
#include "DurationProbe.h"
#include "EngineErrorText.h"
#include "EngineFactory.h"
#include "InitAudioEngine.h"
#include "InputFiles.h"
#include "JobReporter.h"
#include "LookedUpDiscsEngine.h"
#include "OutputSettingsModel.h"
#include "StopSignals.h"
#include "TerminalText.h"
#include "WmaSupport.h"
#include "cd/DiscListing.h"
#include "cd/TrackPath.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
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
        [] {
            auto options = convertCommandOptions();
            options.emplace_back(QStringList{"no-lookup"},
                                 "Do not look discs up online (tags from MusicBrainz, the AccurateRip check).");
            return options;
        }(),
        "  0    every job completed or its output was up to date\n"
        "  1    a job failed, was refused or was left waiting, or there was nothing to convert\n"
        "  2    wrong arguments; nothing was done\n"
        "  130  stopped with Ctrl+C (143: SIGTERM, 129: SIGHUP)\n"};
    return syntax;
}

// Why a file that the list refused was not added.
std::string refusalReason(const std::string& path, const JobList& jobs)
{
    std::error_code error;
    if (path.size() >= PATH_MAX)
        return "the path is longer than the system allows";
    if (jobs.FileInList(path))
        return "already listed";
    if (!hasAcceptedExtension(path))
        return "not a file type the list takes";
    if (!std::filesystem::exists(path, error))
        return error && error != std::errc::no_such_file_or_directory ? error.message() : "no such file";
    return "its size could not be read";
}

// Why the list took a file as "Codec Not Supported": the list's status says no more, but a file
// that cannot be read at all is no question of codecs.
// Looks a disc of the list up online for the run's engine, saying on standard error what was found.
void lookUpListedDisc(LookedUpDiscsEngine& engine, const std::string& disc)
{
    DiscListing listing;
    int error = 0;
    std::string message;
    if (!listDiscTracks(disc, decodingOpener(), listing, error, message))
        return;
    OnlineDisc online = lookUpDiscOnline(listing.toc);
    std::fprintf(stderr, "tunevale-cli convert: %s: %s\n", escapedText(disc).c_str(),
                 releaseLine(online.release).c_str());
    engine.addDisc(disc, listing.toc, std::move(online));
}

std::string unsupportedReason(Engine& engine, const std::string& path)
{
    // A CD track is no file: the engine says why it does not open ("Not An Audio Track", ...).
    if (parseTrackPath(path)) {
        if (const EngineHandle stream = engine.StreamCreateFile(path, 0, 0, StreamFlag::DecodeOnly)) {
            engine.StreamFree(stream);
            return JobStatus::CodecNotSupported;
        }
        std::string reason = EngineErrorText(engine.ErrorGetCode());
        if (const std::string said = engine.ErrorGetMessage(); !said.empty())
            reason += ": " + said;
        return reason;
    }
    if (::access(path.c_str(), R_OK) != 0)
        return std::string(JobStatus::CodecNotSupported) + ": the file cannot be read (" + std::strerror(errno) + ")";
    return JobStatus::CodecNotSupported;
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
    const std::uint64_t descriptorLimit = raiseDescriptorLimit();

    // Discs looked up online lend their tracks the release's tags through this engine.
    const auto engine = std::make_unique<LookedUpDiscsEngine>(makeEngine());
    const bool lookUp = options.lookUp && loadCdSettings(registry).onlineLookup;
    if (!engine->Init(0, 44100, 0)) {
        std::fprintf(stderr, "tunevale-cli convert: the audio engine could not be opened (code %d)\n",
                     engine->ErrorGetCode());
        return ExitStatus::Failure;
    }
    // The engine is open without sound output; this loads the plug-ins and names the WMA tags.
    std::array<std::string, 8> WMATagNames;
    ConsoleMessages quiet(true);
    InitAudioEngine(*engine, quiet, WMATagNames);
    engine->SetConfig(EngineConfig::CdReadOffset, static_cast<std::uint32_t>(loadCdSettings(registry).readOffset));

    JobReporter reporter(stdout, options.json ? JobReporter::Style::Json : JobReporter::Style::Lines, options.quiet,
                         ::isatty(STDOUT_FILENO) == 1);
    DurationProbe probe(*engine, nullptr, wmaProbeFile());
    // The reasons for refusals are printed with the jobs, so the list's own message stays quiet.
    ConsoleJobList list(probe, quiet);
    JobList& jobs = list.jobs;

    const InputFiles inputs = expandInputs(options.inputs, options.recursive);
    for (const auto& folder : inputs.unread)
        std::fprintf(stderr, "tunevale-cli convert: %s\n", escapedText(folder).c_str());
    // Files of a folder that the list does not take are no failure of the run, but are said.
    if (!inputs.leftOut.empty()) {
        std::fprintf(stderr, "tunevale-cli convert: %s\n", leftOutLine(inputs.leftOut).c_str());
        if (options.json)
            for (const auto& path : inputs.leftOut)
                reporter.jobEnded({path, "", JobReport::Outcome::Refused, 0, "not a file type the list takes", {}});
    }
    std::vector<JobReport> refused;
    {
        StopWhileAdding stopGuard(stopSignals);
        for (std::size_t i = 0; i < inputs.files.size(); ++i) {
            if (stopGuard.stopped())
                break;
            std::string path = inputs.files[i];
            const std::string given = path;
            const std::size_t firstRow = jobs.rsJobs().size();
            // A disc (a cue sheet, a drive) adds its tracks, named after the disc alone.
            const bool disc = list.discs.isDisc(path);
            std::string discReason;
            if (!(disc ? list.adder.addDiscTracks(path, &discReason) : list.adder.AddFile2Grid(path))) {
                refused.push_back(
                    {given, "", JobReport::Outcome::Refused, 0, disc ? discReason : refusalReason(path, jobs), {}});
                reporter.jobEnded(refused.back());
                continue;
            }
            if (disc && lookUp)
                lookUpListedDisc(*engine, path);
            for (std::size_t row = firstRow; row < jobs.rsJobs().size(); ++row) {
                jobs.rsJobs().setRoot(row, disc ? path : inputs.roots[i]);
                const std::string added = jobs.rsJobs().at(row).FilePath;
                if (jobs.rsJobs().at(row).State == JobState::CodecNotSupported) {
                    refused.push_back(
                        {added, "", JobReport::Outcome::Refused, 0, unsupportedReason(*engine, added), {}});
                    reporter.jobEnded(refused.back());
                } else if (options.selectedOnly) {
                    jobs.rsJobs().setCheckBox(row, 1);
                }
            }
        }
    }
    if (stopSignals.received()) {
        reporter.finish();
        engine->Free();
        return ExitStatus::StoppedBy + stopSignals.received();
    }

    const auto reports =
        runConversion({jobs, model.settings(), options.jobs, options.writeTags, options.selectedOnly, descriptorLimit},
                      {*engine, WMATagNames, stopSignals,
                       [&engine](const std::string& source) { return engine->accurateRipVerdict(source); }},
                      reporter);
    reporter.finish();
    engine->Free();

    if (stopSignals.received())
        return ExitStatus::StoppedBy + stopSignals.received();
    if (reports.empty() && refused.empty()) {
        std::fprintf(stderr, "tunevale-cli convert: nothing to convert\n");
        return ExitStatus::Failure;
    }
    if (!refused.empty() || !inputs.unread.empty())
        return ExitStatus::Failure;
    for (const JobReport& report : reports)
        if (report.outcome != JobReport::Outcome::Complete && report.outcome != JobReport::Outcome::UpToDate)
            return ExitStatus::Failure;
    return ExitStatus::Success;
}

} // namespace tunevale
