// Times one-minute 16-bit FLAC sources converted through the engine's in-process encoders to each
// of FLAC, Opus, AAC, ALAC, AIFF and WavPack, beside the ffmpeg program with the same encoder and
// settings, one conversion at a time. Lossless outputs are verified as the run verifies them
// (decoded back and compared); the cost of that is shown on its own.
//
//   formats_bench [source.flac]

#include "BenchSupport.h"
#include "BenchTiming.h"
#include "Engine.h"
#include "EngineFactory.h"

#include <cstdio>
#include <filesystem>
#include <string>
#include <unistd.h>
#include <vector>

using namespace tunevale;
using namespace tunevale::bench;

namespace
{

constexpr int Rounds = 5;

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

bool makeSource(const std::string& path)
{
    return runProgram({"ffmpeg",
                       "-nostdin",
                       "-v",
                       "error",
                       "-y",
                       "-f",
                       "lavfi",
                       "-i",
                       "anoisesrc=color=pink:amplitude=0.2:sample_rate=44100:duration=60",
                       "-f",
                       "lavfi",
                       "-i",
                       "sine=frequency=440:sample_rate=44100:duration=60",
                       "-filter_complex",
                       "amix=inputs=2:normalize=0",
                       "-ac",
                       "2",
                       "-sample_fmt",
                       "s16",
                       "-c:a",
                       "flac",
                       path});
}

} // namespace

int main(int argc, char** argv)
{
    const auto folder = std::filesystem::temp_directory_path() / ("tunevale-bench-" + std::to_string(getpid()));
    std::filesystem::create_directories(folder);
    std::string source = argc > 1 ? argv[1] : (folder / "source16.flac").string();
    if (argc <= 1) {
        std::printf("making a one-minute 16-bit FLAC source...\n");
        if (!makeSource(source)) {
            std::fprintf(stderr, "ffmpeg could not make the source\n");
            return 1;
        }
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
        }
    }

    engine->Free();
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
    return 0;
}
