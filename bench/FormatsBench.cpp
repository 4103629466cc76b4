// Times a one-minute 16-bit FLAC source converted through the engine's in-process encoders to each
// of FLAC, Opus, AAC, ALAC, AIFF and WavPack, and five one-minute 24-bit/96 kHz FLAC sources to
// FLAC, beside the ffmpeg program with the same encoder and settings, one conversion at a time.
// Lossless outputs are verified as the run verifies them (decoded back and compared); the cost of
// that is shown on its own. The peak memory (maxrss) of a process converting one file, and of one
// converting two at once, follows each lossless format.
//
//   formats_bench [source.flac]

#include "BenchSupport.h"
#include "BenchTiming.h"
#include "Engine.h"
#include "EngineFactory.h"

#include <cstdio>
#include <filesystem>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

using namespace tunevale;
using namespace tunevale::bench;

namespace
{

constexpr int Rounds = 5;
constexpr int HiresFiles = 5;

struct Format {
    const char* name;
    OutputCodec codec;
    const char* extension;
    std::vector<std::string> ffmpegArguments; // the same encoder and settings for the ffmpeg program
};

const std::vector<Format> formats{
    {"FLAC level 5", OutputCodec::Flac, ".flac", {"-c:a", "flac", "-compression_level", "5"}},
    {"Opus 128 kbit/s VBR", OutputCodec::Opus, ".opus", {"-c:a", "libopus", "-b:a", "128k", "-vbr", "on"}},
    {"AAC-LC 192 kbit/s in M4A", OutputCodec::Aac, ".m4a", {"-c:a", "aac", "-b:a", "192k"}},
    {"ALAC in M4A", OutputCodec::Alac, ".m4a", {"-c:a", "alac"}},
    {"AIFF 16-bit", OutputCodec::AiffPcm, ".aiff", {"-c:a", "pcm_s16be"}},
    {"WavPack", OutputCodec::WavPack, ".wv", {"-c:a", "wavpack", "-compression_level", "1"}},
};

// The run's loop for these formats: a decode-only stream at the source's resolution (lossless
// outputs) pulled in 256 KiB chunks into the encoder.
bool engineEncode(Engine& engine, const std::string& source, const Format& format, bool verify, const std::string& out)
{
    const bool lossless = isLosslessCodec(format.codec);
    const EngineHandle stream =
        engine.StreamCreateFile(source, 0, 0, StreamFlag::DecodeOnly | (lossless ? StreamFlag::SourceResolution : 0));
    ChannelInfo info;
    if (!stream || !engine.ChannelGetInfo(stream, info))
        return false;
    EncodeSetup setup;
    setup.codec = format.codec;
    setup.container = defaultContainer(format.codec);
    setup.verify = verify && lossless;
    const EngineHandle encoder = engine.EncodeFileOpen(setup, info, {-1, out});
    if (!encoder)
        return false;
    std::vector<char> buffer(0x40000);
    bool ok = true;
    while (ok && engine.ChannelIsActive(stream)) {
        const std::int32_t got =
            engine.ChannelGetData(stream, buffer.data(), static_cast<std::uint32_t>(buffer.size()));
        ok = got > 0 && engine.EncodeFileWrite(encoder, buffer.data(), static_cast<std::uint32_t>(got));
    }
    ok = engine.EncodeFileClose(encoder) && ok;
    engine.StreamFree(stream);
    return ok;
}

// The peak memory, in KiB, of a child process that converts sources at once, one engine and
// thread each.
long peakKiB(const std::vector<std::string>& sources, const Format& format, const std::filesystem::path& folder)
{
    const pid_t child = ::fork();
    if (child == 0) {
        std::vector<std::thread> jobs;
        bool ok = true;
        for (std::size_t i = 0; i < sources.size(); ++i)
            jobs.emplace_back([&, i] {
                auto engine = makeEngine();
                engine->Init(0, 44100, 0);
                engine->PluginLoad("bassflac.dll", 0);
                const auto out = folder / ("peak" + std::to_string(i) + format.extension);
                if (!engineEncode(*engine, sources[i], format, true, out.string()))
                    ok = false;
                engine->Free();
            });
        for (auto& job : jobs)
            job.join();
        ::_exit(ok ? 0 : 1);
    }
    int status = 0;
    rusage usage{};
    if (child < 0 || ::wait4(child, &status, 0, &usage) != child || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return -1;
    return usage.ru_maxrss;
}

void reportPeak(const std::string& source, const Format& format, const std::filesystem::path& folder)
{
    std::printf("  peak memory (maxrss): one job %ld KiB, two at once %ld KiB\n", peakKiB({source}, format, folder),
                peakKiB({source, source}, format, folder));
    std::fflush(stdout);
}

} // namespace

int main(int argc, char** argv)
{
    const auto folder = std::filesystem::temp_directory_path() / ("tunevale-bench-" + std::to_string(getpid()));
    std::filesystem::create_directories(folder);
    std::string source = argc > 1 ? argv[1] : (folder / "source16.flac").string();
    std::vector<std::string> hiresSources;
    for (int i = 0; i < HiresFiles; ++i)
        hiresSources.push_back((folder / ("source24-" + std::to_string(i) + ".flac")).string());
    std::printf("making the one-minute FLAC sources...\n");
    bool made = argc > 1 || makeNoiseAndToneFlac(source, false, 0);
    for (int i = 0; i < HiresFiles; ++i)
        made = made && makeNoiseAndToneFlac(hiresSources[i], true, i + 1);
    if (!made) {
        std::fprintf(stderr, "ffmpeg could not make the sources\n");
        return 1;
    }

    auto engine = makeEngine();
    engine->Init(0, 44100, 0);
    engine->PluginLoad("bassflac.dll", 0);

    for (const auto& format : formats) {
        const auto ours = (folder / (std::string("ours") + format.extension)).string();
        const auto reference = (folder / (std::string("reference") + format.extension)).string();
        std::vector<std::string> ffmpegCommand{"ffmpeg", "-nostdin", "-v", "error", "-y", "-i", source};
        ffmpegCommand.insert(ffmpegCommand.end(), format.ffmpegArguments.begin(), format.ffmpegArguments.end());
        ffmpegCommand.push_back(reference);
        const bool lossless = isLosslessCodec(format.codec);
        const std::string title = std::string("16-bit FLAC -> ") + format.name + (lossless ? ", verified" : "");
        compare(
            title.c_str(), Rounds, 1.0, [&] { return engineEncode(*engine, source, format, true, ours); },
            [&] { return runProgram(ffmpegCommand); });
        if (lossless) {
            const std::string unverified =
                std::string("  the same unverified, against verified (goal <= 1.05 the other way)");
            compare(
                unverified.c_str(), Rounds, 1.0, [&] { return engineEncode(*engine, source, format, false, ours); },
                [&] { return engineEncode(*engine, source, format, true, ours); });
            reportPeak(source, format, folder);
        }
    }

    // The five 24-bit/96 kHz files to FLAC, one after another.
    const Format& flac = formats.front();
    const auto ours = (folder / "ours-hires.flac").string();
    const auto reference = (folder / "reference-hires.flac").string();
    const auto allFiles = [&](bool verify) {
        for (const auto& hires : hiresSources)
            if (!engineEncode(*engine, hires, flac, verify, ours))
                return false;
        return true;
    };
    const auto allFilesByFfmpeg = [&] {
        for (const auto& hires : hiresSources) {
            std::vector<std::string> command{"ffmpeg", "-nostdin", "-v", "error", "-y", "-i", hires};
            command.insert(command.end(), flac.ffmpegArguments.begin(), flac.ffmpegArguments.end());
            command.push_back(reference);
            if (!runProgram(command))
                return false;
        }
        return true;
    };
    compare(
        "5 x 24-bit/96 kHz FLAC -> FLAC level 5, verified", Rounds, 1.0, [&] { return allFiles(true); },
        allFilesByFfmpeg);
    compare(
        "  the same unverified, against verified (goal <= 1.05 the other way)", Rounds, 1.0,
        [&] { return allFiles(false); }, [&] { return allFiles(true); });
    reportPeak(hiresSources.front(), flac, folder);

    engine->Free();
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
    return 0;
}
