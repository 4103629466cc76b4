#include "FileLoudness.h"

#include "LoudnessMeter.h"

#include <algorithm>
#include <cstdint>
#include <vector>

namespace tunevale
{

namespace
{

constexpr std::uint32_t kChunkBytes = 64 * 1024;

} // namespace

PcmFormat pcmFormatOf(const ChannelInfo& info)
{
    SampleType type = SampleType::Int16;
    if (info.flags & StreamFlag::Sample8Bits)
        type = SampleType::UInt8;
    else if (info.flags & StreamFlag::Sample24Bits)
        type = SampleType::Int24;
    else if (info.flags & StreamFlag::Sample32Bits)
        type = SampleType::Int32;
    else if (info.flags & StreamFlag::SampleFloat)
        type = SampleType::Float32;
    return {info.freq, info.chans, type};
}

FileLoudness measureFile(Engine& engine, const std::string& path, PeakKind peakKind, const std::atomic<bool>& stop,
                         const MeasureProgress& progress)
{
    FileLoudness result;
    constexpr std::uint32_t flags = StreamFlag::DecodeOnly | StreamFlag::Unicode;
    EngineHandle handle = engine.StreamCreateFile(path, 0, 0, flags);
    result.error = engine.ErrorGetCode();
    // Tracker modules open only as music, as in the player and the converter.
    if (!handle)
        handle = engine.MusicLoad(path, 0, 0, flags, 0);
    if (!handle)
        return result;
    result.error = EngineCode::Ok;
    ChannelInfo info;
    engine.ChannelGetInfo(handle, info);
    engine.ChannelGetTags(handle, result.tags);
    LoudnessMeter meter(pcmFormatOf(info), peakKind);
    if (!meter.valid()) {
        engine.StreamFree(handle);
        result.error = EngineCode::Format;
        return result;
    }
    std::vector<unsigned char> buffer(kChunkBytes);
    std::uint64_t bytes = 0;
    const std::uint64_t length = progress ? engine.ChannelGetLength(handle, 0) : 0;
    while (engine.ChannelIsActive(handle) != ChannelState::Stopped) {
        if (stop.load(std::memory_order_relaxed)) {
            result.stopped = true;
            break;
        }
        const std::int32_t got = engine.ChannelGetData(handle, buffer.data(), kChunkBytes);
        if (got < 0) {
            // The stream broke off: what was decoded is not the whole file.
            result.error = engine.ErrorGetCode();
            if (result.error == EngineCode::Ok)
                result.error = EngineCode::Unknown;
            break;
        }
        if (got == 0)
            break;
        meter.add(buffer.data(), static_cast<std::size_t>(got));
        bytes += static_cast<std::uint64_t>(got);
        if (progress && length > 0 && length != EngineFailure64)
            progress(static_cast<float>(std::min<double>(100.0, 100.0 * static_cast<double>(bytes) / length)));
    }
    result.seconds = engine.ChannelBytes2Seconds(handle, bytes);
    engine.StreamFree(handle);
    if (result.measured())
        result.loudness = meter.result();
    return result;
}

} // namespace tunevale
