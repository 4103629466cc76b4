// Times the check that every finished output gets before it is kept (the engine opens it and reads
// its exact length) against lame encoding the minute it checks. The goal is under 1 % of the job:
// MP3, Ogg and WAV outputs are checked by their headers; WMA, and an MP3 without a Xing header
// (shown for comparison), are decoded once.
//
//   output_check_bench
//
// The source (one minute of pink noise, stereo 44.1 kHz) and the outputs are made with ffmpeg,
// lame and oggenc in a temporary folder.

#include "BenchSupport.h"
#include "EngineFactory.h"
#include "ErrorLog.h"
#include "InitAudioEngine.h"
#include "OutputCheck.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <unistd.h>
#include <vector>

using namespace tunevale;
using namespace tunevale::bench;
namespace fs = std::filesystem;

namespace
{

constexpr int Rounds = 7;

// The best wall time of the rounds: a busy machine only ever adds to it.
double bestSeconds(const std::function<bool()>& work)
{
    double best = 1e9;
    for (int round = 0; round < Rounds; ++round) {
        const auto start = std::chrono::steady_clock::now();
        if (!work()) {
            std::fprintf(stderr, "output_check_bench: a step failed\n");
            std::exit(1);
        }
        best = std::min(best, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
    return best;
}

} // namespace

int main()
{
    const fs::path folder = fs::temp_directory_path() / ("tunevale-output-check-bench-" + std::to_string(::getpid()));
    fs::create_directories(folder);
    const auto file = [&](const char* name) { return (folder / name).string(); };
    const std::string source = file("source.flac"), wav = file("source.wav");
    const auto ffmpeg = [](std::vector<std::string> arguments) {
        arguments.insert(arguments.begin(), {"ffmpeg", "-nostdin", "-v", "error", "-y"});
        return runProgram(arguments);
    };
    const std::vector<std::string> lame{"lame", "--silent", "--cbr", "-b", "128",          "-m",
                                        "j",    "-q",       "4",     wav,  file("out.mp3")};
    const bool made = ffmpeg({"-f", "lavfi", "-i", "anoisesrc=color=pink:duration=60:amplitude=0.5", "-ac", "2", "-ar",
                              "44100", "-c:a", "flac", source}) &&
                      ffmpeg({"-i", source, wav}) && runProgram(lame) &&
                      runProgram({"lame", "--silent", "-t", "--cbr", "-b", "128", wav, file("bare.mp3")}) &&
                      runProgram({"oggenc", "-Q", "--quality", "3", wav, "-o", file("out.ogg")}) &&
                      ffmpeg({"-i", wav, "-c:a", "wmav2", "-b:a", "128k", file("out.wma")});
    if (!made) {
        std::fprintf(stderr, "output_check_bench: the tools could not make the files\n");
        return 1;
    }
    const double encoding = bestSeconds([&] { return runProgram(lame); });

    const auto engine = makeEngine();
    engine->Init(0, 44100, 0);
    for (const char* plugin : enginePluginNames())
        engine->PluginLoad(plugin, 0);
    ErrorLog log(folder / "Errors.log");
    // The source as a writer leaves it: every byte delivered.
    const EngineHandle stream = engine->StreamCreateFile(source, 0, 0, StreamFlag::DecodeOnly);
    std::vector<char> buffer(1 << 18);
    while (stream && engine->ChannelIsActive(stream) != ChannelState::Stopped)
        if (engine->ChannelGetData(stream, buffer.data(), static_cast<std::uint32_t>(buffer.size())) <= 0)
            break;

    std::printf("one minute of audio, best of %d:\n  lame encoding (128 kbit/s): %8.2f ms\n", Rounds, encoding * 1000);
    for (const char* name : {"out.mp3", "out.ogg", "source.wav", "out.wma", "bare.mp3"}) {
        const double check = bestSeconds(
            [&] { return !checkOutput(*engine, stream, JobOutcome::Complete, file(name), source, log).has_value(); });
        std::printf("  check of %-10s            %8.2f ms (%.2f %% of the encoding)\n", name, check * 1000,
                    100 * check / encoding);
    }
    engine->StreamFree(stream);
    engine->Free();
    fs::remove_all(folder);
    return 0;
}
