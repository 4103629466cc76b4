// Times the engine's FLAC encoder (FFmpeg's) against libFLAC's stream encoder, the encoder of the
// `flac` program and of GStreamer's flacenc, at the same compression levels on the same PCM held
// in memory, each writing its file: one-minute 16-bit/44.1 kHz and 24-bit/96 kHz stereo sources.
// A ratio below 1 has the engine faster. Sizes show that the levels compress alike.
//
//   flac_encoder_bench

#include "BenchSupport.h"
#include "BenchTiming.h"
#include "Engine.h"
#include "EngineFactory.h"

#include <FLAC/stream_encoder.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <unistd.h>
#include <vector>

using namespace tunevale;
using namespace tunevale::bench;

namespace
{

constexpr int Rounds = 5;
constexpr std::uint32_t ChunkFrames = 4096;

struct Pcm {
    ChannelInfo info;
    std::vector<char> bytes; // interleaved, at the source's resolution
};

std::uint32_t sampleBits(const ChannelInfo& info)
{
    return info.flags & StreamFlag::Sample24Bits ? 24 : (info.flags & StreamFlag::Sample32Bits ? 32 : 16);
}

bool decodeSource(Engine& engine, const std::string& source, Pcm& pcm)
{
    const EngineHandle stream =
        engine.StreamCreateFile(source, 0, 0, StreamFlag::DecodeOnly | StreamFlag::SourceResolution);
    if (!stream || !engine.ChannelGetInfo(stream, pcm.info))
        return false;
    std::vector<char> buffer(0x40000);
    while (engine.ChannelIsActive(stream)) {
        const std::int32_t got =
            engine.ChannelGetData(stream, buffer.data(), static_cast<std::uint32_t>(buffer.size()));
        if (got <= 0)
            break;
        pcm.bytes.insert(pcm.bytes.end(), buffer.begin(), buffer.begin() + got);
    }
    engine.StreamFree(stream);
    return !pcm.bytes.empty();
}

bool engineEncode(Engine& engine, const Pcm& pcm, int level, const std::string& out)
{
    EncodeSetup setup;
    setup.compressionLevel = level;
    const EngineHandle encoder = engine.EncodeFileOpen(setup, pcm.info, {-1, out});
    if (!encoder)
        return false;
    bool ok = true;
    for (std::size_t done = 0; ok && done < pcm.bytes.size(); done += 0x40000)
        ok =
            engine.EncodeFileWrite(encoder, pcm.bytes.data() + done,
                                   static_cast<std::uint32_t>(std::min<std::size_t>(0x40000, pcm.bytes.size() - done)));
    return engine.EncodeFileClose(encoder) && ok;
}

struct EncoderDeleter {
    void operator()(FLAC__StreamEncoder* encoder) const { FLAC__stream_encoder_delete(encoder); }
};

// libFLAC from the same bytes: it takes 32-bit integers, so the samples are widened chunk by chunk.
bool libflacEncode(const Pcm& pcm, int level, const std::string& out)
{
    const std::unique_ptr<FLAC__StreamEncoder, EncoderDeleter> encoder(FLAC__stream_encoder_new());
    const std::uint32_t bits = sampleBits(pcm.info), width = bits / 8;
    if (!encoder || !FLAC__stream_encoder_set_channels(encoder.get(), pcm.info.chans) ||
        !FLAC__stream_encoder_set_bits_per_sample(encoder.get(), bits) ||
        !FLAC__stream_encoder_set_sample_rate(encoder.get(), pcm.info.freq) ||
        !FLAC__stream_encoder_set_compression_level(encoder.get(), static_cast<std::uint32_t>(level)) ||
        FLAC__stream_encoder_init_file(encoder.get(), out.c_str(), nullptr, nullptr) !=
            FLAC__STREAM_ENCODER_INIT_STATUS_OK)
        return false;
    const std::size_t frameBytes = std::size_t{pcm.info.chans} * width;
    const std::size_t frames = pcm.bytes.size() / frameBytes;
    std::vector<FLAC__int32> wide(ChunkFrames * pcm.info.chans);
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(pcm.bytes.data());
    bool ok = true;
    for (std::size_t done = 0; ok && done < frames; done += ChunkFrames) {
        const std::size_t count = std::min<std::size_t>(ChunkFrames, frames - done);
        const std::uint8_t* in = bytes + done * frameBytes;
        for (std::size_t i = 0; i < count * pcm.info.chans; ++i, in += width) {
            std::uint32_t value = 0;
            for (std::uint32_t b = 0; b < width; ++b)
                value |= std::uint32_t{in[b]} << (8 * b);
            wide[i] = static_cast<FLAC__int32>(value << (32 - bits)) >> (32 - bits);
        }
        ok = FLAC__stream_encoder_process_interleaved(encoder.get(), wide.data(), static_cast<std::uint32_t>(count));
    }
    return FLAC__stream_encoder_finish(encoder.get()) && ok;
}

} // namespace

int main()
{
    const auto folder = std::filesystem::temp_directory_path() / ("tunevale-bench-" + std::to_string(getpid()));
    std::filesystem::create_directories(folder);
    auto engine = makeEngine();
    engine->Init(0, 44100, 0);
    engine->PluginLoad("bassflac.dll", 0);

    for (const bool hires : {false, true}) {
        const auto source = (folder / "source.flac").string();
        Pcm pcm;
        if (!makeNoiseAndToneFlac(source, hires, 0) || !decodeSource(*engine, source, pcm)) {
            std::fprintf(stderr, "the source could not be made or decoded\n");
            return 1;
        }
        const auto ours = (folder / "ours.flac").string(), reference = (folder / "libflac.flac").string();
        for (const int level : {0, 5, 8}) {
            const std::string title = std::string(hires ? "24-bit/96 kHz" : "16-bit/44.1 kHz") + ", level " +
                                      std::to_string(level) + ": the engine (FFmpeg) against libFLAC";
            compare(
                title.c_str(), Rounds, 1.0, [&] { return engineEncode(*engine, pcm, level, ours); },
                [&] { return libflacEncode(pcm, level, reference); });
            std::printf("  size: engine %ju bytes, libFLAC %ju bytes\n",
                        static_cast<std::uintmax_t>(std::filesystem::file_size(ours)),
                        static_cast<std::uintmax_t>(std::filesystem::file_size(reference)));
        }
    }

    engine->Free();
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
    return 0;
}
