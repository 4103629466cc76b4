// Times conversions through the engine's encoder bridge and WMA encoder against the same work done
// by the ffmpeg and lame programs alone, on 10-minute FLAC sources.
//
//   encoder_bench [source.flac]
//
// Without a source, two are made with ffmpeg in a temporary folder: a 16-bit one (CD rips, the
// usual case: the engine passes it bit-exactly) and a 24-bit one. The engine reduces 24-bit audio
// to 16 bits with triangular dither, and lame takes longer over that noise than over plain rounding,
// so the 24-bit case is timed against ffmpeg dithering the same way and, for comparison, rounding.

#include "BenchSupport.h"
#include "BenchTiming.h"
#include "Engine.h"
#include "EngineFactory.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <sys/resource.h>
#include <unistd.h>
#include <vector>

using namespace tunevale;
using namespace tunevale::bench;

namespace
{

constexpr int Rounds = 5;

// The MP3 writer's loop: a decode-only stream pulled in 256 KiB chunks into lame.
bool bridgeMp3(Engine& engine, const std::string& source, const std::vector<std::string>& lameArguments)
{
    const EngineHandle stream = engine.StreamCreateFile(source, 0, 0, StreamFlag::DecodeOnly | StreamFlag::Unicode);
    if (!stream || !engine.EncodeStart(stream, {"lame", lameArguments}, 0))
        return false;
    std::vector<char> buffer(0x40000);
    bool ok = true;
    while (ok && engine.ChannelIsActive(stream))
        ok = engine.ChannelGetData(stream, buffer.data(), static_cast<std::uint32_t>(buffer.size())) > 0;
    ok = engine.EncodeStop(stream) && ok;
    engine.StreamFree(stream);
    return ok;
}

// The WMA writer's loop: 20,000-byte chunks handed to the WMA encoder.
bool engineWma(Engine& engine, const std::string& source, const std::string& out)
{
    const EngineHandle stream = engine.StreamCreateFile(source, 0, 0, StreamFlag::DecodeOnly | StreamFlag::Unicode);
    ChannelInfo info;
    if (!stream || !engine.ChannelGetInfo(stream, info))
        return false;
    const EngineHandle encoder = engine.WMAEncodeOpenFile(info.freq, info.chans, WmaEncodeFlags, 128000, out);
    if (!encoder)
        return false;
    engine.WMAEncodeSetTag(encoder, "", "", 0);
    std::vector<char> buffer(20000);
    bool ok = true;
    while (ok && engine.ChannelIsActive(stream)) {
        const std::int32_t got =
            engine.ChannelGetData(stream, buffer.data(), static_cast<std::uint32_t>(buffer.size()));
        ok = got > 0 && engine.WMAEncodeWrite(encoder, buffer.data(), static_cast<std::uint32_t>(got));
    }
    ok = engine.WMAEncodeClose(encoder) && ok;
    engine.StreamFree(stream);
    return ok;
}

std::string shellQuoted(const std::string& text)
{
    return "'" + text + "'"; // the bench's own temporary names hold no quote
}

// Runs both sides Rounds times, taking turns at going first.
template <typename Ours, typename Reference> void compare(const char* what, Ours ours, Reference reference)
{
    bench::compare(what, Rounds, 1.05, ours, reference);
}

bool makeSource(const std::string& path, const char* sampleFormat)
{
    return runProgram({"ffmpeg",
                       "-nostdin",
                       "-v",
                       "error",
                       "-y",
                       "-f",
                       "lavfi",
                       "-i",
                       "anoisesrc=color=pink:amplitude=0.2:sample_rate=44100:duration=600",
                       "-f",
                       "lavfi",
                       "-i",
                       "sine=frequency=440:sample_rate=44100:duration=600",
                       "-filter_complex",
                       "amix=inputs=2:normalize=0",
                       "-ac",
                       "2",
                       "-sample_fmt",
                       sampleFormat,
                       "-c:a",
                       "flac",
                       path});
}

// MP3 at 128 kbit/s constant bitrate with the settings' defaults otherwise; the reference pipes
// ffmpeg's WAV, made with the given extra ffmpeg arguments, into lame with the same arguments.
void compareMp3(const char* what, Engine& engine, const std::string& source, const std::filesystem::path& folder,
                const std::string& ffmpegExtra)
{
    const auto ours = (folder / "ours.mp3").string();
    const auto reference = (folder / "reference.mp3").string();
    const std::vector<std::string> lameArguments{"--cbr", "-b", "128", "-m", "j", "--resample", "0", "-q", "4", "-"};
    std::string lameLine;
    for (const auto& argument : lameArguments)
        lameLine += " " + argument;
    auto withOutput = lameArguments;
    withOutput.push_back(ours);
    compare(
        what, [&] { return bridgeMp3(engine, source, withOutput); },
        [&] {
            return runProgram({"/bin/sh", "-c",
                               "ffmpeg -nostdin -v error -i " + shellQuoted(source) + ffmpegExtra +
                                   " -f wav - | lame --quiet" + lameLine + " " + shellQuoted(reference) +
                                   " 2>/dev/null"});
        });
}

void compareWma(const char* what, Engine& engine, const std::string& source, const std::filesystem::path& folder)
{
    const auto ours = (folder / "ours.wma").string();
    const auto reference = (folder / "reference.wma").string();
    compare(
        what, [&] { return engineWma(engine, source, ours); },
        [&] {
            return runProgram(
                {"ffmpeg", "-nostdin", "-v", "error", "-y", "-i", source, "-c:a", "wmav2", "-b:a", "128k", reference});
        });
}

} // namespace

int main(int argc, char** argv)
{
    const auto folder = std::filesystem::temp_directory_path() / ("tunevale-bench-" + std::to_string(getpid()));
    std::filesystem::create_directories(folder);
    const auto source16 = (folder / "source16.flac").string();
    const auto source24 = (folder / "source24.flac").string();
    if (argc <= 1) {
        std::printf("making 10-minute 16-bit and 24-bit FLAC sources...\n");
        if (!makeSource(source16, "s16") || !makeSource(source24, "s32")) {
            std::fprintf(stderr, "ffmpeg could not make the sources\n");
            return 1;
        }
    }

    auto engine = makeEngine();
    engine->Init(0, 44100, 0);
    engine->PluginLoad("bassflac.dll", 0);
    engine->PluginLoad("basswma.dll", 0);

    if (argc > 1) {
        compareMp3("FLAC -> MP3 128 kbit/s CBR", *engine, argv[1], folder, "");
        compareWma("FLAC -> WMA 128 kbit/s", *engine, argv[1], folder);
    } else {
        compareMp3("16-bit FLAC -> MP3 128 kbit/s CBR", *engine, source16, folder, "");
        compareMp3("24-bit FLAC -> MP3 128 kbit/s CBR (reference dithers to 16 bits too)", *engine, source24, folder,
                   " -af aresample=osf=s16:dither_method=triangular");
        compareMp3("24-bit FLAC -> MP3 128 kbit/s CBR (reference rounds to 16 bits, no dither)", *engine, source24,
                   folder, "");
        compareWma("16-bit FLAC -> WMA 128 kbit/s", *engine, source16, folder);
        compareWma("24-bit FLAC -> WMA 128 kbit/s", *engine, source24, folder);
    }

    engine->Free();
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
    return 0;
}
