#include "ConsoleStandIns.h"
// Times adding files to the job list (duplicate test, engine probe, size text) against a loop of
// `ffprobe -show_entries format=duration` over the same files, and shows how the cost per file
// grows with the length of the list.
//
//   add_files_bench [files] [--no-ffprobe]   (default 1000; half FLAC, half MP3, 2 to 6 seconds each)

#include "BenchSupport.h"
#include "DurationProbe.h"
#include "EngineFactory.h"
#include "InitAudioEngine.h"
#include "MessageBox.h"
#include "SelectionText.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

using namespace tunevale;
using namespace tunevale::bench;
namespace fs = std::filesystem;

namespace
{

template <typename Work> double seconds(Work work)
{
    const auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

class FixedDuration : public DurationSource
{
public:
    std::string GetDurationText(const std::string&) override { return "00:03"; }
};

// Adds the files to an empty list as one dialog choice; returns the seconds taken.
double addToEmptyList(DurationSource& durations, const std::vector<std::string>& files)
{
    ConsoleMessages messages;
    ConsoleJobList list(durations, messages);
    const JobList& jobs = list.jobs;
    const auto selectionText = tunevale::selectionText(files);
    const double taken = seconds([&] { list.adder.AddAudioFiles(selectionText); });
    if (jobs.rsJobs().size() != files.size()) {
        std::fprintf(stderr, "only %zu of %zu files were added\n", jobs.rsJobs().size(), files.size());
        std::exit(1);
    }
    return taken;
}

// Copies the sources round-robin to count files named as a music folder would hold them.
std::vector<std::string> makeFiles(const fs::path& folder, const std::vector<fs::path>& sources, std::size_t count)
{
    fs::create_directories(folder);
    std::vector<std::string> files;
    for (std::size_t i = 0; i < count; ++i) {
        const auto& source = sources[i % sources.size()];
        const auto file = folder / ("Track " + std::to_string(i) + source.extension().string());
        fs::copy_file(source, file, fs::copy_options::overwrite_existing);
        files.push_back(file.string());
    }
    return files;
}

} // namespace

int main(int argc, char** argv)
{
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    const std::size_t count = argc > 1 ? std::stoul(argv[1]) : 1000;
    std::random_device random;
    const auto folder = fs::temp_directory_path() / ("tunevale-add-bench-" + std::to_string(random()));
    fs::create_directories(folder / "sources");

    std::vector<fs::path> sources;
    for (int i = 0; i < 5; ++i) {
        const auto duration = std::to_string(2 + i);
        const auto flac = folder / "sources" / ("tone" + std::to_string(i) + ".flac");
        const auto mp3 = folder / "sources" / ("tone" + std::to_string(i) + ".mp3");
        const std::string sine = "sine=frequency=" + std::to_string(220 * (i + 1)) + ":duration=" + duration;
        if (!runProgram({"ffmpeg", "-y", "-f", "lavfi", "-i", sine, "-ac", "2", flac.string()}, true) ||
            !runProgram({"ffmpeg", "-y", "-f", "lavfi", "-i", sine, "-ac", "2", "-c:a", "libmp3lame", mp3.string()},
                        true)) {
            std::fprintf(stderr, "ffmpeg could not make the sources\n");
            return 1;
        }
        sources.push_back(flac);
        sources.push_back(mp3);
    }

    auto engine = makeEngine();
    if (!engine->Init(0, 44100, 0))
        return 1;
    for (const char* plugin : enginePluginNames())
        engine->PluginLoad(plugin, 0);
    DurationProbe probe(*engine, nullptr, folder / "CheckWMASupport.wma");

    const auto files = makeFiles(folder / "list", sources, count);
    const double added = addToEmptyList(probe, files);
    std::printf("%zu files (FLAC and MP3, 2-6 s each)\n", count);
    std::printf("  adding to an empty list: %8.3f s  (%.3f ms per file)\n", added, added * 1000 / count);
    if (argc <= 2 || std::string(argv[2]) != "--no-ffprobe") {
        const double probed = seconds([&] {
            for (const auto& file : files)
                runProgram({"ffprobe", "-v", "error", "-show_entries", "format=duration", "-of", "csv=p=0", file},
                           true);
        });
        std::printf("  ffprobe loop:            %8.3f s  (%.3f ms per file)\n", probed, probed * 1000 / count);
        std::printf("  adding is %.1f times faster\n", probed / added);
    }

    // Best of three runs each, so that other work on the machine disturbs the trend less.
    auto trend = [&](DurationSource& durations, const std::vector<std::size_t>& lengths, auto makeList) {
        for (const std::size_t n : lengths) {
            const auto some = makeList(n);
            double best = 1e9;
            for (int round = 0; round < 3; ++round)
                best = std::min(best, addToEmptyList(durations, some));
            std::printf("  %6zu files: %8.3f s  (%.4f ms per file)\n", n, best, best * 1000 / n);
        }
    };
    std::printf("cost per file by list length, engine probe (best of 3):\n");
    trend(probe, {100, 1000, 10000},
          [&](std::size_t n) { return makeFiles(folder / ("scale" + std::to_string(n)), sources, n); });
    // The list's own work (duplicate test, extension test, size, append) with a fixed duration.
    std::printf("cost per file by list length, list alone (fixed duration, 1-byte files, best of 3):\n");
    FixedDuration fixed;
    trend(fixed, {1000, 10000, 100000}, [&](std::size_t n) {
        std::vector<std::string> names;
        fs::create_directories(folder / "bytes");
        for (std::size_t i = 0; i < n; ++i) {
            const auto file = folder / "bytes" / ("Track " + std::to_string(i) + ".mp3");
            if (!fs::exists(file))
                std::ofstream(file) << 'x';
            names.push_back(file.string());
        }
        return names;
    });

    engine->Free();
    std::error_code error;
    fs::remove_all(folder, error);
    return 0;
}
