#include "CRegister.h"
#include "CommandLine.h"
#include "ConsoleStandIns.h"
#include "ConversionOptions.h"
#include "ConvertOptions.h"
#include "DescriptorLimit.h"
#include "EngineFactory.h"
#include "EngineInspector.h"
#include "InitAudioEngine.h"
#include "InspectAhead.h"
#include "JobReporter.h"
#include "LibraryDatabase.h"
#include "LibraryLock.h"
#include "OutputOrigin.h"
#include "OutputSettingsModel.h"
#include "PlanText.h"
#include "SettingsFingerprint.h"
#include "SourceScan.h"
#include "StopSignals.h"
#include "SyncPlan.h"
#include "SyncRun.h"

#include <QStringList>

#include <algorithm>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <sstream>
#include <string>
#include <sys/xattr.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace tunevale
{

namespace
{

const CommandSyntax& syncSyntax()
{
    static const CommandSyntax syntax = [] {
        // convert's options but those of where outputs go and which files are taken: a sync decides those.
        auto options = convertCommandOptions();
        std::erase_if(options, [](const QCommandLineOption& option) {
            static const QStringList notForSync = {"output",    "same-folder",  "selected",
                                                   "recursive", "keep-folders", "if-exists"};
            return notForSync.contains(option.names().constLast());
        });
        const auto option = [](QStringList names, const char* description, const char* valueName = nullptr) {
            return QCommandLineOption(names, QString::fromUtf8(description),
                                      valueName ? QString::fromLatin1(valueName) : QString());
        };
        options.push_back(
            option({"dry-run"}, "Print the plan (each file with its action, then the counts); write nothing."));
        options.push_back(
            option({"copy"}, "Copy other files matching these patterns, e.g. \"*.jpg,*.png\".", "PATTERNS"));
        options.push_back(
            option({"delete"}, "Delete the outputs of sources that are gone (only files the sync made)."));
        options.push_back(option({"force"}, "Convert again over outputs that were changed since the sync made them."));
        return CommandSyntax{
            "sync", "[options] SOURCE DEST",
            "Mirrors the tree of SOURCE into DEST, converted with the stored output settings changed by the\n"
            "options, and keeps it in step on every later run: only new and changed sources are converted,\n"
            "re-tagged sources are re-tagged, moved ones moved. The state lies in DEST/.tunevale. Each\n"
            "action's end is printed as it happens: status, action, source and the output or the reason.\n"
            "Ctrl+C, SIGTERM and SIGHUP stop it between files; the next sync goes on from there.",
            options,
            "  0    the mirror is in step (or the plan was printed)\n"
            "  1    an action failed, a source could not be read, or SOURCE, the mirror's database or\n"
            "       its lock could not be had (another sync into DEST is running)\n"
            "  2    wrong arguments; nothing was done\n"
            "  130  stopped with Ctrl+C (143: SIGTERM, 129: SIGHUP)\n"};
    }();
    return syntax;
}

std::vector<std::string> copyPatterns(const std::string& text)
{
    std::vector<std::string> patterns;
    std::stringstream list(text);
    for (std::string pattern; std::getline(list, pattern, ',');)
        if (!pattern.empty())
            patterns.push_back(pattern);
    return patterns;
}

void fail(const std::string& message)
{
    std::fprintf(stderr, "tunevale-cli sync: %s\n", message.c_str());
}

// Whether the file system of the file at path keeps the extended attributes outputs record their origin in.
bool keepsRecords(const std::string& path)
{
    return ::setxattr(path.c_str(), "user.tunevale.probe", "1", 1, 0) == 0;
}

struct SyncRequest {
    std::string source, dest; // as given
    bool dryRun = false;
    const ConvertOptions& convert;
    SyncOptions options;
    std::string layoutText;
};

// Reads the mirror's state, plans the sync and (unless it is a dry run) carries the plan out.
int syncInto(SyncRequest request, const OutputSettings& settings, const ConversionServices& services)
{
    auto conversion = conversionOptions(settings, services.WMATagNames);
    if (!conversion.format)
        return usageError("sync", "no output format is chosen: give -f");
    conversion.carryTags = conversion.carryTags && request.convert.writeTags;
    // Each job's output is the plan's; the run's own layout and naming options do not apply.
    conversion.keepFolders = false;
    conversion.namePattern.clear();
    const std::string runFingerprint = outputSettingsFingerprint(conversion);
    SyncOptions& options = request.options;
    options.extension = outputExtension(*conversion.format);
    options.settings = runFingerprint + ";layout=" + request.layoutText;

    const std::string source = std::filesystem::absolute(request.source).lexically_normal().string();
    std::string dest = std::filesystem::absolute(request.dest).lexically_normal().string();
    while (dest.size() > 1 && dest.ends_with('/'))
        dest.pop_back();
    const std::string state = dest + "/.tunevale";
    options.madeFrom = [&dest, &runFingerprint](const std::string& output, const FileStamp& sourceStamp) {
        const std::string path = dest + '/' + output;
        const auto origin = readOutputOrigin(path);
        const auto stamp = fileStamp(path);
        return origin && stamp && origin->source == sourceStamp && origin->output == *stamp &&
               origin->settings == runFingerprint;
    };

    std::string error;
    std::unique_ptr<LibraryLock> lock;
    std::error_code sourceError;
    if (!std::filesystem::is_directory(source, sourceError)) {
        // Nothing is made in DEST for a source that is not there.
        fail(source + " cannot be read: " + (sourceError ? sourceError.message() : "it is not a folder"));
        return ExitStatus::Failure;
    }
    if (!request.dryRun) {
        std::error_code made;
        std::filesystem::create_directories(dest, made);
        lock = LibraryLock::acquire(state, error);
        if (!lock) {
            fail(error);
            return ExitStatus::Failure;
        }
    }
    auto database =
        LibraryDatabase::open(state + "/library.sqlite", error,
                              request.dryRun ? LibraryDatabase::Access::Read : LibraryDatabase::Access::Write);
    if (!database && !error.empty()) {
        fail(error);
        return ExitStatus::Failure;
    }
    std::vector<OutputRecord> outputs;
    std::vector<CopyRecord> copies;
    if (database) {
        auto storedOutputs = database->outputs();
        auto storedCopies = database->copies();
        if (!storedOutputs || !storedCopies) {
            fail(database->lastError());
            return ExitStatus::Failure;
        }
        outputs = std::move(*storedOutputs);
        copies = std::move(*storedCopies);
    }
    std::vector<ScannedFile> scan;
    if (!scanSourceTree(source, dest, scan, error)) {
        fail(error);
        return ExitStatus::Failure;
    }
    const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
    const auto inspect = inspectAhead(scan, outputs, options, engineInspector(services.engine, source), cores);
    const auto plan = planSync(scan, outputs, copies, options, inspect,
                               [&dest](const std::string& output) { return fileStamp(dest + '/' + output); });
    if (request.dryRun) {
        std::fputs(planText(plan).c_str(), stdout);
        return ExitStatus::Success;
    }

    // A sync that did not end cleanly leaves this mark, and may have left private folders anywhere in
    // the mirror; the next one removes them before it goes on.
    const std::string unfinished = state + "/unfinished";
    if (::access(unfinished.c_str(), F_OK) == 0)
        removeLeftoversBelow(dest);
    if (const int mark = ::open(unfinished.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644); mark >= 0)
        ::close(mark);

    JobReporter reporter(stdout, request.convert.json ? JobReporter::Style::Json : JobReporter::Style::Lines,
                         request.convert.quiet, ::isatty(STDOUT_FILENO) == 1);
    const int jobs = request.convert.jobs > 0 ? request.convert.jobs : settings.sliderParallelJobs.value;
    const unsigned wanted = jobs > 0 ? static_cast<unsigned>(jobs) : std::max(1u, std::thread::hardware_concurrency());
    const unsigned parallel = std::min(wanted, parallelJobsWithin(raiseDescriptorLimit()));
    const bool done = carryOutSync(
        plan, {source, dest, options, conversion, runFingerprint, parallel, outputs, keepsRecords(unfinished)},
        *database, services, reporter);
    reporter.finish();
    if (services.stopSignals.received())
        return ExitStatus::StoppedBy + services.stopSignals.received();
    ::unlink(unfinished.c_str());
    return done ? ExitStatus::Success : ExitStatus::Failure;
}
} // namespace

// tunevale-cli sync [options] SOURCE DEST
int SyncCommand(const std::vector<std::string>& arguments)
{
    const CommandSyntax& syntax = syncSyntax();
    CommandLine line(syntax);
    if (const auto status = line.parse(arguments))
        return *status;
    const auto given = line.positionalArguments();
    if (given.size() != 2)
        return usageError(syntax.name, "expects SOURCE and DEST");
    auto read = readConvertOptions(line);
    if (const auto* reason = std::get_if<std::string>(&read))
        return usageError(syntax.name, *reason);
    const ConvertOptions& convertOptions = std::get<ConvertOptions>(read);
    const bool dryRun = line.isSet("dry-run");

    SyncOptions options;
    std::string layoutText = "keep-folders";
    if (convertOptions.namePattern) {
        std::string error;
        options.layout = OutputLayout(*NamePattern::parse(*convertOptions.namePattern, error));
        layoutText = "pattern " + *convertOptions.namePattern;
    }
    options.copyPatterns = copyPatterns(line.value("copy"));
    options.deleteGone = line.isSet("delete");
    options.force = line.isSet("force");

    // The stored settings, read only, with the options applied in memory; the layout is the sync's.
    CRegister registry(CRegister::registryFile());
    OutputSettingsModel model(registry);
    model.LoadSettings(false);
    if (const auto reason = applyConvertOptions(convertOptions, model))
        return usageError(syntax.name, *reason);
    StopSignals stopSignals;
    auto engine = makeEngine();
    if (!engine->Init(0, 44100, 0)) {
        std::fprintf(stderr, "tunevale-cli sync: the audio engine could not be opened (code %d)\n",
                     engine->ErrorGetCode());
        return ExitStatus::Failure;
    }
    std::array<std::string, 8> WMATagNames;
    ConsoleMessages quiet(true);
    InitAudioEngine(*engine, quiet, WMATagNames);
    const auto status = syncInto({given[0], given[1], dryRun, convertOptions, std::move(options), layoutText},
                                 model.settings(), {*engine, WMATagNames, stopSignals});
    engine->Free();
    return status;
}

} // namespace tunevale
