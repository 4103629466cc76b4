#include "CommandLine.h"
#include "ConsoleStandIns.h"
#include "DurationProbe.h"
#include "EngineFactory.h"
#include "InitAudioEngine.h"
#include "InputFiles.h"
#include "MessageBox.h"
#include "TerminalText.h"
#include "WmaSupport.h"

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

namespace tunevale
{

namespace
{

const CommandSyntax& probeSyntax()
{
    static const CommandSyntax syntax{
        "probe",
        "[options] FILE|FOLDER...",
        "Shows what adding each file to the list would give it, one line per file: the path, then Status,\n"
        "Duration and FileSize separated by tabs, or \"refused\"; control characters in names are escaped\n"
        "as \"ls -b\" does. A folder stands for the files in it that the list takes; the files it leaves\n"
        "out are counted on standard error.",
        {QCommandLineOption({QStringLiteral("r"), QStringLiteral("recursive")},
                            QStringLiteral("Take the files of sub-folders too, depth first."))},
        "  0  every file would be added\n"
        "  1  a file would be refused (missing, not a file type the list takes, named twice), or a\n"
        "     folder could not be read\n"
        "  2  wrong arguments\n"};
    return syntax;
}

} // namespace

// tunevale-cli probe [-r] FILE|FOLDER...
int ProbeCommand(const std::vector<std::string>& arguments)
{
    CommandLine line(probeSyntax());
    if (const auto status = line.parse(arguments))
        return *status;
    const auto given = line.positionalArguments();
    if (given.empty())
        return usageError("probe", "no FILE or FOLDER given");

    auto engine = makeEngine();
    if (!engine->Init(0, 44100, 0)) {
        std::fprintf(stderr, "the audio engine could not be opened (code %d)\n", engine->ErrorGetCode());
        return ExitStatus::Failure;
    }
    for (const char* plugin : enginePluginNames())
        engine->PluginLoad(plugin, 0);

    ConsoleMessages messages;
    DurationProbe probe(*engine, nullptr, wmaProbeFile());
    ConsoleJobList list(probe, messages);
    JobList& jobs = list.jobs;

    const InputFiles inputs = expandInputs(given, line.isSet("recursive"));
    bool allAdded = inputs.unread.empty();
    for (const auto& folder : inputs.unread)
        std::fprintf(stderr, "tunevale-cli probe: %s\n", escapedText(folder).c_str());
    if (!inputs.leftOut.empty())
        std::fprintf(stderr, "tunevale-cli probe: %s\n", leftOutLine(inputs.leftOut).c_str());
    for (auto path : inputs.files) {
        const std::size_t firstRow = jobs.rsJobs().size();
        // A disc (a cue sheet, a drive) adds a line for each of its tracks.
        const bool disc = list.discs.isDisc(path);
        std::string discReason;
        if (disc ? list.adder.addDiscTracks(path, &discReason) : list.adder.AddFile2Grid(path)) {
            for (std::size_t row = firstRow; row < jobs.rsJobs().size(); ++row) {
                const Job& job = jobs.rsJobs().at(row);
                std::printf("%s\t%s\t%s\t%s\n", escapedText(job.FilePath).c_str(), statusText(job).c_str(),
                            job.Duration.c_str(), job.FileSize.c_str());
            }
        } else if (disc) {
            std::printf("%s\trefused\t%s\n", escapedText(path).c_str(), escapedText(discReason).c_str());
            allAdded = false;
        } else {
            std::printf("%s\trefused\n", escapedText(path).c_str());
            allAdded = false;
        }
    }
    engine->Free();
    return allAdded ? ExitStatus::Success : ExitStatus::Failure;
}

} // namespace tunevale
