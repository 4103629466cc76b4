// Times tunevale-cli sync on a generated library of short FLAC files against the work it stands
// beside: the first sync against `convert -r --keep-folders` of the same files; a second sync with
// nothing changed against `find SOURCE -type f -printf '%s %T@\n'` (goal at most 5x find and under
// 1 s); a sync after re-tagging some files against converting those files again, among the short
// files and in a library of one-minute tracks (goal under 10 %).
//
//   sync_bench [files=10000] [folders=1000] [retagged=100]
//
// Everything lies in a temporary folder, with a home of its own for the stored settings.

#include "BenchSupport.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <unistd.h>
#include <vector>

using namespace tunevale::bench;
namespace fs = std::filesystem;

namespace
{

double timed(const std::function<bool()>& work, bool& ok)
{
    const auto start = std::chrono::steady_clock::now();
    ok = work() && ok;
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

double bestOf(int runs, const std::function<bool()>& work, bool& ok)
{
    double best = 1e9;
    for (int i = 0; i < runs; ++i)
        best = std::min(best, timed(work, ok));
    return best;
}

std::string trackPath(int i, int folderCount)
{
    return "Artist " + std::to_string(i % folderCount / 10) + "/Album " + std::to_string(i % folderCount) + "/" +
           std::to_string(i) + " Track.flac";
}

} // namespace

int main(int argc, char** argv)
{
    const int fileCount = argc > 1 ? std::atoi(argv[1]) : 10000;
    const int folderCount = argc > 2 ? std::atoi(argv[2]) : 1000;
    const int retagCount = argc > 3 ? std::atoi(argv[3]) : 100;
    const std::string cli = (fs::read_symlink("/proc/self/exe").parent_path() / "tunevale-cli").string();
    char pattern[] = "/tmp/sync-bench-XXXXXX";
    const fs::path dir = ::mkdtemp(pattern);
    ::setenv("HOME", dir.c_str(), 1);
    ::setenv("XDG_CONFIG_HOME", (dir / "config").c_str(), 1);
    ::setenv("XDG_STATE_HOME", (dir / "state").c_str(), 1);
    const auto source = dir / "source";
    const auto tone = dir / "tone.flac";
    if (!runProgram({"ffmpeg", "-v", "error", "-f", "lavfi", "-i", "sine=duration=0.1", "-metadata", "title=Tone",
                     "-metadata", "artist=Bench", tone.string()},
                    true)) {
        std::fprintf(stderr, "ffmpeg failed\n");
        return 1;
    }
    for (int i = 0; i < fileCount; ++i) {
        const auto file = source / trackPath(i, folderCount);
        fs::create_directories(file.parent_path());
        fs::copy_file(tone, file);
    }
    const std::vector<std::string> format{"-f", "mp3", "-j", "2", "-q"};
    const auto sync = [&] {
        std::vector<std::string> argv{cli, "sync"};
        argv.insert(argv.end(), format.begin(), format.end());
        argv.insert(argv.end(), {source.string(), (dir / "mirror").string()});
        return runProgram(argv, true);
    };

    bool ok = true;
    const double firstSync = timed(sync, ok);
    const double convertAll = timed(
        [&] {
            std::vector<std::string> argv{cli, "convert"};
            argv.insert(argv.end(), format.begin(), format.end());
            argv.insert(argv.end(), {"-r", "--keep-folders", "-o", (dir / "converted").string(), source.string()});
            return runProgram(argv, true);
        },
        ok);
    const double unchanged = bestOf(3, sync, ok);
    const double find = bestOf(
        3,
        [&] {
            return runProgram({"sh", "-c", "find '" + source.string() + "' -type f -printf '%s %T@\\n' >/dev/null"});
        },
        ok);

    // Re-tagging: once among the short files, once in a library of 100 one-minute tracks, whose
    // conversion costs what a real album's does.
    const auto retag = [&](const fs::path& file, int i) {
        const auto copy = file.parent_path() / "retag.flac";
        ok = runProgram({"ffmpeg", "-v", "error", "-i", file.string(), "-c", "copy", "-metadata",
                         "title=Retagged " + std::to_string(i), copy.string()},
                        true) &&
             ok;
        fs::rename(copy, file);
    };
    const auto convertFiles = [&](const std::vector<std::string>& files, const fs::path& into) {
        std::vector<std::string> argv{cli, "convert"};
        argv.insert(argv.end(), format.begin(), format.end());
        argv.insert(argv.end(), {"-o", into.string()});
        argv.insert(argv.end(), files.begin(), files.end());
        return runProgram(argv, true);
    };
    std::vector<std::string> retagged;
    for (int i = 0; i < retagCount; ++i) {
        const auto file = source / trackPath(i * (fileCount / retagCount), folderCount);
        retag(file, i);
        retagged.push_back(file.string());
    }
    const double retagSync = timed(sync, ok);
    const double convertRetagged = timed([&] { return convertFiles(retagged, dir / "again"); }, ok);

    const auto album = dir / "album";
    const auto minute = dir / "minute.flac";
    ok = runProgram({"ffmpeg", "-v", "error", "-f", "lavfi", "-i", "sine=duration=60", "-metadata", "title=Minute",
                     minute.string()},
                    true) &&
         ok;
    std::vector<std::string> tracks;
    for (int i = 0; i < retagCount; ++i) {
        const auto file = album / ("Album " + std::to_string(i / 10)) / (std::to_string(i) + " Track.flac");
        fs::create_directories(file.parent_path());
        fs::copy_file(minute, file);
        tracks.push_back(file.string());
    }
    const auto syncAlbum = [&] {
        std::vector<std::string> argv{cli, "sync"};
        argv.insert(argv.end(), format.begin(), format.end());
        argv.insert(argv.end(), {album.string(), (dir / "album-mirror").string()});
        return runProgram(argv, true);
    };
    timed(syncAlbum, ok);
    for (int i = 0; i < retagCount; ++i)
        retag(tracks[static_cast<std::size_t>(i)], i);
    const double retagAlbum = timed(syncAlbum, ok);
    const double convertAlbum = timed([&] { return convertFiles(tracks, dir / "album-again"); }, ok);

    std::printf("%d files in %d folders, MP3, 2 at once\n", fileCount, folderCount);
    std::printf("first sync:            %8.3f s\n", firstSync);
    std::printf("convert -r:            %8.3f s (sync/convert %.2f)\n", convertAll, firstSync / convertAll);
    std::printf("sync, nothing changed: %8.3f s\n", unchanged);
    std::printf("find -printf:          %8.3f s (ratio %.1fx; goal at most 5x and under 1 s)\n", find,
                unchanged / find);
    std::printf("sync, %d retagged:    %8.3f s\n", retagCount, retagSync);
    std::printf("convert those %d:     %8.3f s (ratio %.1f %%)\n", retagCount, convertRetagged,
                100 * retagSync / convertRetagged);
    std::printf("sync, %d one-minute tracks retagged: %8.3f s\n", retagCount, retagAlbum);
    std::printf("convert those %d:                    %8.3f s (ratio %.1f %%; goal under 10 %%)\n", retagCount,
                convertAlbum, 100 * retagAlbum / convertAlbum);
    fs::remove_all(dir);
    return ok ? 0 : 1;
}
