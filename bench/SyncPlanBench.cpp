// Times a sync's look at a library in which nothing changed: scanning the source, reading the
// mirror's rows from its database and planning (which stats every output), against
// `find SOURCE -type f -printf '%s %T@\n'`, the cost of looking at every file once. The goal is at
// most 5x find and under 1 s.
//
//   sync_plan_bench [files=10000] [folders=1000]
//
// The library (one short FLAC made by ffmpeg, copied into every place) and its mirror, whose rows
// are those a first sync would have stored, are made in a temporary folder.

#include "BenchSupport.h"
#include "LibraryDatabase.h"
#include "SourceScan.h"
#include "SyncPlan.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <sys/stat.h>
#include <vector>

using namespace tunevale;
using namespace tunevale::bench;
namespace fs = std::filesystem;

namespace
{

double secondsOf(const std::function<void()>& work, int runs = 5)
{
    double best = 1e9;
    for (int i = 0; i < runs; ++i) {
        const auto start = std::chrono::steady_clock::now();
        work();
        best = std::min(best, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
    return best;
}

std::optional<FileStamp> stampOf(const fs::path& file)
{
    struct stat status {
    };
    if (::stat(file.c_str(), &status) != 0)
        return std::nullopt;
    return FileStamp{static_cast<std::uint64_t>(status.st_size),
                     status.st_mtim.tv_sec * 1'000'000'000LL + status.st_mtim.tv_nsec};
}

} // namespace

int main(int argc, char** argv)
{
    const int fileCount = argc > 1 ? std::atoi(argv[1]) : 10000;
    const int folderCount = argc > 2 ? std::atoi(argv[2]) : 1000;
    char pattern[] = "/tmp/sync-plan-bench-XXXXXX";
    const fs::path dir = ::mkdtemp(pattern);
    const auto source = dir / "source";
    const auto dest = dir / "dest";
    const auto tone = dir / "tone.flac";
    if (!runProgram({"ffmpeg", "-v", "error", "-f", "lavfi", "-i", "sine=duration=0.1", tone.string()}, true)) {
        std::fprintf(stderr, "ffmpeg failed\n");
        return 1;
    }
    std::string error;
    auto database = LibraryDatabase::open((dest / ".tunevale/library.sqlite").string(), error);
    if (!database) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }
    {
        LibraryDatabase::Transaction transaction(*database);
        for (int i = 0; i < fileCount; ++i) {
            const auto folder =
                "Artist " + std::to_string(i % folderCount / 10) + "/Album " + std::to_string(i % folderCount);
            const auto name = folder + "/" + std::to_string(i) + " Track.flac";
            const auto output = folder + "/" + std::to_string(i) + " Track.mp3";
            fs::create_directories(source / folder);
            fs::create_directories(dest / folder);
            fs::copy_file(tone, source / name);
            std::FILE* out = std::fopen((dest / output).c_str(), "w");
            std::fputs("mp3", out);
            std::fclose(out);
            database->putOutput({name, *stampOf(source / name), "packets:" + std::to_string(i), "tags", "mp3 192",
                                 output, *stampOf(dest / output), ""});
        }
        transaction.commit();
    }
    database.reset();

    SyncOptions options;
    options.extension = "mp3";
    options.settings = "mp3 192";
    std::size_t unchanged = 0;
    std::size_t opened = 0;
    const double plan = secondsOf([&] {
        std::string failure;
        auto db = LibraryDatabase::open((dest / ".tunevale/library.sqlite").string(), failure);
        std::vector<ScannedFile> scan;
        scanSourceTree(source.string(), dest.string(), scan, failure);
        const auto rows = db->outputs();
        const auto copies = db->copies();
        const InspectSource inspect = [&](const std::string&) -> std::optional<SourceFacts> {
            ++opened;
            return std::nullopt;
        };
        const StampInMirror inMirror = [&](const std::string& output) { return stampOf(dest / output); };
        const auto planned = planSync(scan, *rows, *copies, options, inspect, inMirror);
        unchanged = 0;
        for (const auto& entry : planned.outputs)
            unchanged += entry.action == SyncAction::Unchanged;
    });
    const double find = secondsOf([&] {
        runProgram({"sh", "-c", "find '" + source.string() + "' -type f -printf '%s %T@\\n' > /dev/null"});
    });
    std::printf("%d files in %d folders, nothing changed\n", fileCount, folderCount);
    std::printf("scan + database + plan: %.3f s (%zu unchanged, %zu opened)\n", plan, unchanged, opened);
    std::printf("find -printf:           %.3f s\n", find);
    std::printf("ratio: %.1fx (goal at most 5x and under 1 s)\n", plan / find);
    fs::remove_all(dir);
    return unchanged == static_cast<std::size_t>(fileCount) && opened == 0 ? 0 : 1;
}
