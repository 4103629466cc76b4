// Loudness measurement speed, against loudgain and the ffmpeg program's ebur128 filter, and the
// meter's cost beside decoding and beside a whole MP3 conversion.
//
// Makes 20 one-minute FLAC files (music-like, stereo, 44.1 kHz, 16 bits) in a temporary folder and
// measures them with `tunevale-cli loudness` (one file per core), `loudgain -q -O` (one file at a
// time, as it works) and `ffmpeg -af ebur128=peak=true` (two files at a time); wall-clock time and
// the processor time (user + system) of each, which varies less on a busy machine. Then decodes
// the same files in this process with and without the meter, and converts them to MP3 with
// `tunevale-cli convert -j 1` (decoding and lame) with the loudness measured in the pass and with
// --no-replaygain, to give the measuring's share of a conversion.
//
// Usage: loudness_bench [TUNEVALE-CLI]   (by default the tunevale-cli beside this program)

#include "BenchSupport.h"
#include "EngineFactory.h"
#include "InitAudioEngine.h"
#include "LoudnessMeter.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <vector>

namespace
{

using namespace tunevale;

constexpr int kFiles = 20;

struct Cost {
    double seconds = 0; // wall-clock
    double cpu = 0;     // user + system
    bool ok = true;
};

double cpuOf(const rusage& usage)
{
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// Runs the commands, at most parallel of them at once; the programs' processor time includes the
// children they waited for (lame under tunevale-cli convert).
Cost runAll(const std::vector<std::vector<std::string>>& commands, std::size_t parallel)
{
    Cost cost;
    const auto start = std::chrono::steady_clock::now();
    std::size_t next = 0, running = 0;
    while (next < commands.size() || running > 0) {
        while (running < parallel && next < commands.size()) {
            if (bench::startProgram(commands[next++], true) < 0)
                cost.ok = false;
            else
                ++running;
        }
        int status = 0;
        rusage usage{};
        if (::wait4(-1, &status, 0, &usage) < 0)
            break;
        --running;
        cost.cpu += cpuOf(usage);
        cost.ok = cost.ok && WIFEXITED(status) && WEXITSTATUS(status) == 0;
    }
    cost.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return cost;
}

double threadCpu()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

// Decodes every file in this thread, feeding a meter of that peak kind when asked; the thread's
// processor time.
double decodeAll(Engine& engine, const std::vector<std::string>& files, bool meter, PeakKind peakKind = PeakKind::True)
{
    std::vector<unsigned char> buffer(64 * 1024);
    const double start = threadCpu();
    for (const auto& file : files) {
        const EngineHandle handle = engine.StreamCreateFile(file, 0, 0, StreamFlag::DecodeOnly);
        ChannelInfo info;
        engine.ChannelGetInfo(handle, info);
        LoudnessMeter loudness({info.freq, info.chans, SampleType::Int16}, peakKind);
        while (engine.ChannelIsActive(handle)) {
            const std::int32_t got =
                engine.ChannelGetData(handle, buffer.data(), static_cast<std::uint32_t>(buffer.size()));
            if (got <= 0)
                break;
            if (meter)
                loudness.add(buffer.data(), static_cast<std::size_t>(got));
        }
        if (meter && !loudness.result().integrated())
            std::fprintf(stderr, "no loudness for %s\n", file.c_str());
        engine.StreamFree(handle);
    }
    return threadCpu() - start;
}

void print(const char* name, const Cost& cost, double files)
{
    std::printf("%-44s %8.2fs %8.2fs %8.3fs%s\n", name, cost.seconds, cost.cpu, cost.cpu / files,
                cost.ok ? "" : "  (failed)");
}

} // namespace

int main(int argc, char** argv)
{
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe");
    const std::string cli = argc > 1 ? argv[1] : (self.parent_path() / "tunevale-cli").string();
    char pattern[] = "/tmp/tunevale-loudness-bench-XXXXXX";
    if (!mkdtemp(pattern))
        return 1;
    const std::filesystem::path dir = pattern;
    // The conversion reads default settings and logs into the temporary folder, not the user's.
    ::setenv("XDG_CONFIG_HOME", (dir / "config").c_str(), 1);
    ::setenv("XDG_STATE_HOME", (dir / "state").c_str(), 1);
    ::setenv("XDG_CACHE_HOME", (dir / "cache").c_str(), 1);
    std::filesystem::create_directories(dir / "in");
    std::printf("making %d one-minute FLAC files in %s ...\n", kFiles, dir.c_str());
    std::fflush(stdout);
    std::vector<std::string> files;
    std::vector<std::vector<std::string>> making;
    for (int i = 0; i < kFiles; ++i) {
        files.push_back((dir / "in" / ("track" + std::to_string(i + 10) + ".flac")).string());
        const std::string f1 = std::to_string(110 + 7 * i), f2 = std::to_string(165 + 11 * i);
        making.push_back({"ffmpeg", "-nostdin", "-v", "error", "-y", "-f", "lavfi", "-i",
                          "sine=f=" + f1 + ":r=44100:d=60[a];sine=f=" + f2 +
                              ":r=44100:d=60[b];anoisesrc=color=pink:a=0.05:r=44100:d=60[c];"
                              "[a][b][c]amix=inputs=3,pan=stereo|c0=c0|c1=0.8*c0",
                          "-c:a", "flac", "-sample_fmt", "s16", files.back()});
    }
    if (!runAll(making, 2).ok) {
        std::fprintf(stderr, "ffmpeg could not make the files\n");
        std::filesystem::remove_all(dir);
        return 1;
    }

    std::printf("\n%-44s %9s %9s %9s\n", "measuring 20 one-minute FLAC files", "wall", "CPU", "CPU/file");
    print("tunevale-cli loudness (one file per core)", runAll({{cli, "loudness", (dir / "in").string()}}, 1), kFiles);
    std::vector<std::string> loudgain{"loudgain", "-q", "-O"};
    loudgain.insert(loudgain.end(), files.begin(), files.end());
    print("loudgain -q (one file at a time)", runAll({loudgain}, 1), kFiles);
    std::vector<std::vector<std::string>> ffmpegRuns;
    for (const auto& file : files)
        ffmpegRuns.push_back({"ffmpeg", "-nostdin", "-hide_banner", "-nostats", "-i", file, "-af", "ebur128=peak=true",
                              "-f", "null", "-"});
    print("ffmpeg -af ebur128=peak=true (two at a time)", runAll(ffmpegRuns, 2), kFiles);

    const auto engine = makeEngine();
    if (!engine->Init(0, 44100, 0))
        return 1;
    for (const char* plugin : enginePluginNames())
        engine->PluginLoad(plugin, 0);
    // Best of three: the machine is shared.
    double decode = 1e9, metered = 1e9, sampleMetered = 1e9;
    for (int round = 0; round < 3; ++round) {
        decode = std::min(decode, decodeAll(*engine, files, false));
        metered = std::min(metered, decodeAll(*engine, files, true));
        sampleMetered = std::min(sampleMetered, decodeAll(*engine, files, true, PeakKind::Sample));
    }
    engine->Free();
    // The conversion to MP3 with the loudness measured in the same pass (the default) and without
    // (--no-replaygain), paired in each round; processor time, the best of three rounds.
    const auto convertOnce = [&](bool measuring) {
        std::filesystem::remove_all(dir / "out");
        std::vector<std::string> argv{cli, "convert", "-j", "1", "-f", "mp3", "-o", (dir / "out").string()};
        if (!measuring)
            argv.push_back("--no-replaygain");
        argv.push_back((dir / "in").string());
        return runAll({argv}, 1);
    };
    Cost plain{1e9, 1e9, true}, measured{1e9, 1e9, true};
    for (int round = 0; round < 3; ++round) {
        const Cost without = convertOnce(false);
        const Cost with = convertOnce(true);
        plain.ok = plain.ok && without.ok;
        measured.ok = measured.ok && with.ok;
        plain.cpu = std::min(plain.cpu, without.cpu);
        plain.seconds = std::min(plain.seconds, without.seconds);
        measured.cpu = std::min(measured.cpu, with.cpu);
        measured.seconds = std::min(measured.seconds, with.seconds);
    }
    const double meter = metered - decode;
    std::printf("\n%-44s %9s\n", "processor time for the 20 files", "CPU");
    std::printf("%-44s %8.2fs\n", "decoding alone", decode);
    std::printf("%-44s %8.2fs  (+%.1f %% on decoding)\n", "decoding and the meter (true peak)", metered,
                100.0 * meter / decode);
    std::printf("%-44s %8.2fs  (+%.1f %% on decoding)\n", "decoding and the meter (sample peak)", sampleMetered,
                100.0 * (sampleMetered - decode) / decode);
    std::printf("%-44s %8.2fs  %6.2fs wall%s\n", "converting to MP3, --no-replaygain", plain.cpu, plain.seconds,
                plain.ok ? "" : "  (failed)");
    std::printf("%-44s %8.2fs  %6.2fs wall%s\n", "converting to MP3, measured in the pass", measured.cpu,
                measured.seconds, measured.ok ? "" : "  (failed)");
    std::printf("%-44s %8.1f %% CPU, %.1f %% wall\n", "measuring added to the conversion",
                100.0 * (measured.cpu - plain.cpu) / plain.cpu,
                100.0 * (measured.seconds - plain.seconds) / plain.seconds);
    std::printf("%-44s %8.1f %%\n", "the meter alone (sample peak) beside it",
                100.0 * (sampleMetered - decode) / plain.cpu);
    std::filesystem::remove_all(dir);
    return 0;
}
