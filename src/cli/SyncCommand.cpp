#include "CRegister.h"
#include "CommandLine.h"
#include "ConversionOptions.h"
#include "ConvertOptions.h"
#include "EngineFactory.h"
#include "EngineInspector.h"
#include "InitAudioEngine.h"
#include "LibraryDatabase.h"
#include "OutputSettingsModel.h"
#include "PlanText.h"
#include "SettingsFingerprint.h"
#include "SourceScan.h"
#include "SyncPlan.h"

#include <QStringList>

#include <cstdio>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

namespace tunevale
{

namespace
{

const CommandSyntax& syncSyntax()
{
    static const CommandSyntax syntax = [] {
        auto options = convertCommandOptions();
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
            "re-tagged sources are re-tagged, moved ones moved. The state lies in DEST/.tunevale.\n"
            "This version plans only: --dry-run prints what a sync would do.",
            options,
            "  0  the plan was printed\n"
            "  1  SOURCE or the mirror's database could not be read\n"
            "  2  wrong arguments; nothing was done\n"};
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

} // namespace

// tunevale-cli sync --dry-run [options] SOURCE DEST
int SyncCommand(const std::vector<std::string>& arguments)
{
    const CommandSyntax& syntax = syncSyntax();
    CommandLine line(syntax);
    if (const auto status = line.parse(arguments))
        return *status;
    for (const char* notForSync :
         {"output", "same-folder", "selected", "recursive", "json", "keep-folders", "if-exists"})
        if (line.isSet(notForSync))
            return usageError(syntax.name, std::string("--") + notForSync + " does not apply to a sync");
    if (!line.isSet("dry-run"))
        return usageError(syntax.name, "this version only plans a sync: give --dry-run");
    const auto given = line.positionalArguments();
    if (given.size() != 2)
        return usageError(syntax.name, "expects SOURCE and DEST");
    auto read = readConvertOptions(line);
    if (const auto* reason = std::get_if<std::string>(&read))
        return usageError(syntax.name, *reason);

    SyncOptions options;
    std::string layoutText = "keep-folders";
    if (line.isSet("name-pattern")) {
        std::string error;
        auto pattern = NamePattern::parse(line.value("name-pattern"), error);
        if (!pattern)
            return usageError(syntax.name, error);
        options.layout = OutputLayout(std::move(*pattern));
        layoutText = "pattern " + line.value("name-pattern");
    }
    options.copyPatterns = copyPatterns(line.value("copy"));
    options.deleteGone = line.isSet("delete");
    options.force = line.isSet("force");

    // The stored settings, read only, with the options applied in memory.
    CRegister registry(CRegister::registryFile());
    OutputSettingsModel model(registry);
    model.LoadSettings(false);
    if (const auto reason = applyConvertOptions(std::get<ConvertOptions>(read), model))
        return usageError(syntax.name, *reason);
    const auto conversion = conversionOptions(model.settings());
    if (!conversion.format)
        return usageError(syntax.name, "no output format is chosen: give -f");
    options.extension = outputExtension(*conversion.format);
    options.settings = outputSettingsFingerprint(conversion) + ";layout=" + layoutText;

    const std::string source = std::filesystem::absolute(given[0]).lexically_normal().string();
    const std::string dest = std::filesystem::absolute(given[1]).lexically_normal().string();
    std::string error;
    std::vector<OutputRecord> outputs;
    std::vector<CopyRecord> copies;
    if (auto database =
            LibraryDatabase::open(dest + "/.tunevale/library.sqlite", error, LibraryDatabase::Access::Read)) {
        auto storedOutputs = database->outputs();
        auto storedCopies = database->copies();
        if (!storedOutputs || !storedCopies) {
            std::fprintf(stderr, "tunevale-cli sync: %s\n", database->lastError().c_str());
            return ExitStatus::Failure;
        }
        outputs = std::move(*storedOutputs);
        copies = std::move(*storedCopies);
    } else if (!error.empty()) {
        std::fprintf(stderr, "tunevale-cli sync: %s\n", error.c_str());
        return ExitStatus::Failure;
    }
    std::vector<ScannedFile> scan;
    if (!scanSourceTree(source, dest, scan, error)) {
        std::fprintf(stderr, "tunevale-cli sync: %s\n", error.c_str());
        return ExitStatus::Failure;
    }

    auto engine = makeEngine();
    if (!engine->Init(0, 44100, 0)) {
        std::fprintf(stderr, "tunevale-cli sync: the audio engine could not be opened (code %d)\n",
                     engine->ErrorGetCode());
        return ExitStatus::Failure;
    }
    for (const char* plugin : enginePluginNames())
        engine->PluginLoad(plugin, 0);
    const auto plan = planSync(scan, outputs, copies, options, engineInspector(*engine, source),
                               [&dest](const std::string& output) { return fileStamp(dest + '/' + output); });
    std::fputs(planText(plan).c_str(), stdout);
    engine->Free();
    return ExitStatus::Success;
}

} // namespace tunevale
