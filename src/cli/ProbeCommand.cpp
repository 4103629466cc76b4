#include "ConsoleStandIns.h"
#include "DurationProbe.h"
#include "EngineFactory.h"
#include "InitAudioEngine.h"
#include "MessageBox.h"
#include "WmaSupport.h"

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

namespace tunevale
{

// tunevale-cli probe FILE...: what adding each file to the list would give it, one line per file:
// the path, then Status, Duration and FileSize separated by tabs, or "refused".
int ProbeCommand(const std::vector<std::string>& arguments)
{
    if (arguments.empty()) {
        std::fprintf(stderr, "usage: tunevale-cli probe FILE...\n");
        return 2;
    }
    auto engine = makeEngine();
    if (!engine->Init(0, 44100, 0)) {
        std::fprintf(stderr, "the audio engine could not be opened (code %d)\n", engine->ErrorGetCode());
        return 1;
    }
    for (const char* plugin : enginePluginNames())
        engine->PluginLoad(plugin, 0);

    ConsoleMessages messages;
    DurationProbe probe(*engine, nullptr, wmaProbeFile());
    ConsoleJobList list(probe, messages);
    JobList& jobs = list.jobs;

    for (const auto& file : arguments) {
        std::string path = absolutePath(file);
        if (list.adder.AddFile2Grid(path)) {
            const Job& job = jobs.rsJobs().at(jobs.rsJobs().size() - 1);
            std::printf("%s\t%s\t%s\t%s\n", path.c_str(), statusText(job).c_str(), job.Duration.c_str(),
                        job.FileSize.c_str());
        } else {
            std::printf("%s\trefused\n", path.c_str());
        }
    }
    engine->Free();
    return 0;
}

} // namespace tunevale
