#include "EngineErrorText.h"
#include "EngineFactory.h"
#include "InitAudioEngine.h"

#include <cstdio>
#include <string>
#include <vector>

namespace tunevale
{

namespace
{

// Decodes the whole file and prints one line: the format and the decoded length, or the error.
bool printInfo(Engine& engine, const std::string& path, std::vector<unsigned char>& buffer)
{
    EngineHandle handle = engine.StreamCreateFile(path, 0, 0, StreamFlag::DecodeOnly | StreamFlag::Unicode);
    const int error = engine.ErrorGetCode();
    // Tracker modules open only as music, as in the player and the converter.
    if (!handle)
        handle = engine.MusicLoad(path, 0, 0, StreamFlag::DecodeOnly | StreamFlag::Unicode, 0);
    if (!handle) {
        std::printf("%s\terror=%d\t%s\n", path.c_str(), error, EngineErrorText(error).c_str());
        return false;
    }
    ChannelInfo info;
    engine.ChannelGetInfo(handle, info);
    std::uint64_t bytes = 0;
    while (engine.ChannelIsActive(handle) != ChannelState::Stopped) {
        const std::int32_t got =
            engine.ChannelGetData(handle, buffer.data(), static_cast<std::uint32_t>(buffer.size()));
        if (got < 0) {
            // The stream broke off: what was decoded is not the whole file.
            const int failure = engine.ErrorGetCode();
            engine.StreamFree(handle);
            std::printf("%s\terror=%d\t%s\n", path.c_str(), failure, EngineErrorText(failure).c_str());
            return false;
        }
        if (got == 0)
            break;
        bytes += static_cast<std::uint64_t>(got);
    }
    const double seconds = engine.ChannelBytes2Seconds(handle, bytes);
    engine.StreamFree(handle);
    std::printf("%s\trate=%u\tchannels=%u\tbits=%u\tbytes=%llu\tseconds=%.3f\n", path.c_str(), info.freq, info.chans,
                (info.flags & StreamFlag::Sample8Bits) ? 8u : 16u, static_cast<unsigned long long>(bytes), seconds);
    return true;
}

} // namespace

// tunevale-cli info FILE...: exit status 0 when every file decoded, 1 otherwise.
int InfoCommand(const std::vector<std::string>& arguments)
{
    if (arguments.empty()) {
        std::fprintf(stderr, "usage: tunevale-cli info FILE...\n");
        return 2;
    }
    const auto engine = makeEngine();
    // Device 0: decoding only, no sound card needed.
    if (!engine->Init(0, 44100, 0)) {
        const int error = engine->ErrorGetCode();
        std::fprintf(stderr, "tunevale-cli: the audio engine did not start: %d %s\n", error,
                     EngineErrorText(error).c_str());
        return 1;
    }
    for (const char* plugin : enginePluginNames())
        engine->PluginLoad(plugin, 0);
    std::vector<unsigned char> buffer(256 * 1024);
    bool allDecoded = true;
    for (const auto& path : arguments)
        allDecoded = printInfo(*engine, path, buffer) && allDecoded;
    engine->Free();
    return allDecoded ? 0 : 1;
}

} // namespace tunevale
