// Decoding speed and memory of the engine against the ffmpeg program.
//
// Makes a 10-minute FLAC and a 10-minute MP3 in a temporary folder, decodes each to PCM with the
// engine and with `ffmpeg -f s16le` (best of three runs each, both as separate processes so that
// start-up counts on both sides), and prints both times and their ratio: wall-clock time, and the
// processor time (user + system), which varies less on a busy machine. Then decodes a 1-minute
// and a 60-minute FLAC and prints the engine's peak memory for each. For the FLAC file it also
// prints the processor time of the engine's FFmpeg decoder alone (the road FLAC took before
// libFLAC) and of `flac -d`.
//
// Usage: decode_bench                   (the whole benchmark)
//        decode_bench --decode F        (decodes F, prints the byte count; used by the benchmark itself)
//        decode_bench --decode-ffmpeg F (the same through FfmpegDecoder alone)

#include "EngineFactory.h"
#include "FfmpegDecoder.h"
#include "InitAudioEngine.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <spawn.h>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <vector>

extern char** environ;

namespace
{

using namespace tunevale;

int decodeFile(const std::string& path)
{
    const auto engine = makeEngine();
    if (!engine->Init(0, 44100, 0))
        return 1;
    for (const char* plugin : enginePluginNames())
        engine->PluginLoad(plugin, 0);
    const EngineHandle handle = engine->StreamCreateFile(path, 0, 0, StreamFlag::DecodeOnly);
    if (!handle) {
        std::fprintf(stderr, "cannot open %s: %d\n", path.c_str(), engine->ErrorGetCode());
        return 1;
    }
    std::vector<char> buffer(256 * 1024);
    std::uint64_t total = 0;
    while (engine->ChannelIsActive(handle)) {
        const std::int32_t got =
            engine->ChannelGetData(handle, buffer.data(), static_cast<std::uint32_t>(buffer.size()));
        if (got <= 0)
            break;
        total += static_cast<std::uint64_t>(got);
    }
    std::printf("%llu\n", static_cast<unsigned long long>(total));
    engine->StreamFree(handle);
    engine->Free();
    return 0;
}

int decodeWithFfmpeg(const std::string& path)
{
    FormatFamilies every;
    every.set();
    int error = EngineCode::Ok;
    const auto decoder = FfmpegDecoder::open(path, every, error);
    if (!decoder) {
        std::fprintf(stderr, "cannot open %s: %d\n", path.c_str(), error);
        return 1;
    }
    std::vector<std::uint8_t> buffer(256 * 1024);
    std::uint64_t total = 0;
    while (!decoder->finished())
        total += decoder->read(buffer.data(), buffer.size());
    std::printf("%llu\n", static_cast<unsigned long long>(total));
    return decoder->damage() == SourceDamage::None ? 0 : 1;
}

struct Run {
    double seconds = 0; // wall-clock time
    double cpu = 0;     // user and system time of the child
    long peakKiB = 0;   // the child's peak resident memory
    bool ok = false;
};

// Runs a program with its output on /dev/null and measures it.
Run run(const std::vector<std::string>& argv)
{
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    std::vector<char*> args;
    for (const auto& arg : argv)
        args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);
    const auto start = std::chrono::steady_clock::now();
    pid_t pid = 0;
    Run result;
    if (posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ) == 0) {
        int status = 0;
        rusage usage{};
        wait4(pid, &status, 0, &usage);
        result.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
        result.peakKiB = usage.ru_maxrss;
        result.cpu = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                     static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    }
    posix_spawn_file_actions_destroy(&actions);
    result.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return result;
}

bool make(const std::vector<std::string>& ffmpegArguments)
{
    std::vector<std::string> argv{"ffmpeg", "-v", "error", "-y"};
    argv.insert(argv.end(), ffmpegArguments.begin(), ffmpegArguments.end());
    return run(argv).ok;
}

// Music-like input: a chord over quiet pink noise, stereo at 44.1 kHz (FLAC files at 16 bits, as
// from a CD).
std::vector<std::string> source(int seconds)
{
    const std::string duration = std::to_string(seconds);
    return {"-f",
            "lavfi",
            "-i",
            "sine=frequency=220:sample_rate=44100:duration=" + duration,
            "-f",
            "lavfi",
            "-i",
            "sine=frequency=331:sample_rate=44100:duration=" + duration,
            "-f",
            "lavfi",
            "-i",
            "anoisesrc=color=pink:amplitude=0.05:sample_rate=44100:duration=" + duration,
            "-filter_complex",
            "[0][1][2]amix=inputs=3,pan=stereo|c0=c0|c1=0.8*c0",
            "-ac",
            "2"};
}

std::vector<std::string> with(std::vector<std::string> arguments, const std::vector<std::string>& more)
{
    arguments.insert(arguments.end(), more.begin(), more.end());
    return arguments;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc == 3 && std::string(argv[1]) == "--decode")
        return decodeFile(argv[2]);
    if (argc == 3 && std::string(argv[1]) == "--decode-ffmpeg")
        return decodeWithFfmpeg(argv[2]);

    const std::string self = std::filesystem::read_symlink("/proc/self/exe").string();
    char pattern[] = "/tmp/tunevale-decode-bench-XXXXXX";
    if (!mkdtemp(pattern))
        return 1;
    const std::filesystem::path dir = pattern;
    const std::string flac = (dir / "ten-minutes.flac").string();
    const std::string mp3 = (dir / "ten-minutes.mp3").string();
    std::printf("making the input files in %s ...\n", dir.c_str());
    std::fflush(stdout);
    if (!make(with(source(600), {"-c:a", "flac", "-sample_fmt", "s16", flac})) ||
        !make(with(source(600), {"-c:a", "libmp3lame", "-b:a", "192k", mp3}))) {
        std::fprintf(stderr, "ffmpeg could not make the input files\n");
        std::filesystem::remove_all(dir);
        return 1;
    }

    std::printf("%-18s %9s %9s %6s   %9s %9s %6s\n", "decoding to PCM", "Tunevale", "ffmpeg", "ratio", "CPU ours",
                "CPU ffmpeg", "ratio");
    for (const auto& file : {flac, mp3}) {
        Run best[2];
        for (int round = 0; round < 3; ++round) {
            const Run ours = run({self, "--decode", file});
            const Run theirs = run({"ffmpeg", "-v", "error", "-y", "-i", file, "-f", "s16le", "/dev/null"});
            if (!ours.ok || !theirs.ok) {
                std::fprintf(stderr, "decoding %s failed\n", file.c_str());
                std::filesystem::remove_all(dir);
                return 1;
            }
            if (round == 0 || ours.seconds < best[0].seconds)
                best[0].seconds = ours.seconds;
            if (round == 0 || theirs.seconds < best[1].seconds)
                best[1].seconds = theirs.seconds;
            if (round == 0 || ours.cpu < best[0].cpu)
                best[0].cpu = ours.cpu;
            if (round == 0 || theirs.cpu < best[1].cpu)
                best[1].cpu = theirs.cpu;
        }
        std::printf("%-18s %8.3fs %8.3fs %6.2f   %8.3fs %9.3fs %6.2f\n", std::filesystem::path(file).filename().c_str(),
                    best[0].seconds, best[1].seconds, best[0].seconds / best[1].seconds, best[0].cpu, best[1].cpu,
                    best[0].cpu / best[1].cpu);
    }

    std::printf("\n%-18s %14s %14s %10s %10s\n", "FLAC source, CPU", "engine", "FfmpegDecoder", "flac -d", "ffmpeg");
    const std::vector<std::vector<std::string>> flacRoads{
        {self, "--decode", flac},
        {self, "--decode-ffmpeg", flac},
        {"flac", "-s", "-d", "-f", "-o", "/dev/null", flac},
        {"ffmpeg", "-v", "error", "-y", "-i", flac, "-f", "s16le", "/dev/null"}};
    std::vector<double> bestCpu(flacRoads.size(), 0);
    for (int round = 0; round < 3; ++round)
        for (std::size_t i = 0; i < flacRoads.size(); ++i) {
            const Run road = run(flacRoads[i]);
            if (!road.ok) {
                std::fprintf(stderr, "%s failed on %s\n", flacRoads[i][0].c_str(), flac.c_str());
                std::filesystem::remove_all(dir);
                return 1;
            }
            if (round == 0 || road.cpu < bestCpu[i])
                bestCpu[i] = road.cpu;
        }
    std::printf("%-18s %13.3fs %13.3fs %9.3fs %9.3fs\n", std::filesystem::path(flac).filename().c_str(), bestCpu[0],
                bestCpu[1], bestCpu[2], bestCpu[3]);

    std::printf("\n%-22s %12s %10s\n", "peak memory", "file size", "peak RSS");
    for (int minutes : {1, 60}) {
        const std::string file = (dir / ("memory-" + std::to_string(minutes) + ".flac")).string();
        if (!make(with(source(minutes * 60), {"-c:a", "flac", "-sample_fmt", "s16", file}))) {
            std::fprintf(stderr, "ffmpeg could not make %s\n", file.c_str());
            break;
        }
        const Run ours = run({self, "--decode", file});
        std::printf("%-22s %10.1fMB %8.1fMB%s\n", (std::to_string(minutes) + "-minute FLAC").c_str(),
                    std::filesystem::file_size(file) / 1e6, ours.peakKiB / 1024.0, ours.ok ? "" : " (failed)");
        std::filesystem::remove(file);
    }
    std::filesystem::remove_all(dir);
    return 0;
}
