#include "EncoderPcm.h"

#include "Engine.h"

#include <algorithm>
#include <cmath>
#include <cstring>

extern "C" {
#include <libavutil/samplefmt.h>
}

namespace tunevale
{

namespace
{

std::int32_t read24(const std::uint8_t* at)
{
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(at[0]) << 8 | static_cast<std::uint32_t>(at[1]) << 16 |
                                     static_cast<std::uint32_t>(at[2]) << 24) >>
           8;
}

void write24(std::uint8_t* at, std::int32_t value)
{
    at[0] = static_cast<std::uint8_t>(value);
    at[1] = static_cast<std::uint8_t>(value >> 8);
    at[2] = static_cast<std::uint8_t>(value >> 16);
}

// Sample i of PCM in flags as a left-aligned 32-bit integer.
std::int32_t alignedSample(const std::uint8_t* in, std::size_t i, std::uint32_t flags)
{
    if (flags & StreamFlag::Sample8Bits)
        return (static_cast<std::int32_t>(in[i]) - 128) * (1 << 24);
    if (flags & StreamFlag::Sample24Bits)
        return read24(in + i * 3) * (1 << 8);
    if (flags & StreamFlag::Sample32Bits)
        return reinterpret_cast<const std::int32_t*>(in)[i];
    return reinterpret_cast<const std::int16_t*>(in)[i] * (1 << 16);
}

} // namespace

std::uint32_t storedSampleFlags(OutputCodec codec, std::uint32_t inputFlags)
{
    const bool wide = codec == OutputCodec::WavPack || codec == OutputCodec::AiffPcm;
    if (inputFlags & (StreamFlag::Sample32Bits | StreamFlag::SampleFloat))
        return wide ? inputFlags & (StreamFlag::Sample32Bits | StreamFlag::SampleFloat) : StreamFlag::Sample24Bits;
    return inputFlags & StreamFlag::Sample24Bits;
}

void convertSamples(const std::uint8_t* in, std::size_t samples, std::uint32_t inFlags, std::uint32_t outFlags,
                    std::uint8_t* out)
{
    if ((inFlags & ~StreamFlag::Sample8Bits) == outFlags && !(inFlags & StreamFlag::Sample8Bits)) {
        std::memcpy(out, in, samples * bytesPerSample(outFlags));
        return;
    }
    if (inFlags & StreamFlag::SampleFloat) {
        const auto* floats = reinterpret_cast<const float*>(in);
        for (std::size_t i = 0; i < samples; ++i)
            write24(out + i * 3, static_cast<std::int32_t>(
                                     std::clamp(std::lrint(double(floats[i]) * 8388608.0), -8388608L, 8388607L)));
        return;
    }
    if (inFlags & StreamFlag::Sample32Bits) {
        const auto* ints = reinterpret_cast<const std::int32_t*>(in);
        for (std::size_t i = 0; i < samples; ++i)
            write24(out + i * 3,
                    static_cast<std::int32_t>(std::min<std::int64_t>((std::int64_t(ints[i]) + 128) >> 8, 8388607)));
        return;
    }
    // 8-bit input, widened to 16 bits.
    auto* shorts = reinterpret_cast<std::int16_t*>(out);
    for (std::size_t i = 0; i < samples; ++i)
        shorts[i] = static_cast<std::int16_t>((in[i] - 128) * 256);
}

void unpackSamples(const std::uint8_t* in, int frames, int channels, std::uint32_t flags, int sampleFormat,
                   std::uint8_t* const* planes)
{
    const auto format = static_cast<AVSampleFormat>(sampleFormat);
    const bool planar = av_sample_fmt_is_planar(format);
    const AVSampleFormat packed = av_get_packed_sample_fmt(format);
    const std::size_t sampleBytes = bytesPerSample(flags);
    if (!planar && sampleBytes == static_cast<std::size_t>(av_get_bytes_per_sample(format)) &&
        !(flags & StreamFlag::Sample24Bits)) {
        std::memcpy(planes[0], in, static_cast<std::size_t>(frames) * channels * sampleBytes);
        return;
    }
    // Writes each sample where the codec wants it: its channel's plane, or its place when packed.
    const auto spread = [&](auto sampleType, auto value) {
        using Sample = decltype(sampleType);
        std::size_t i = 0;
        for (int frame = 0; frame < frames; ++frame)
            for (int channel = 0; channel < channels; ++channel, ++i) {
                if (planar)
                    reinterpret_cast<Sample*>(planes[channel])[frame] = value(i);
                else
                    reinterpret_cast<Sample*>(planes[0])[i] = value(i);
            }
    };
    if (packed == AV_SAMPLE_FMT_FLT)
        spread(float{}, [in](std::size_t i) { return reinterpret_cast<const float*>(in)[i]; });
    else if (packed == AV_SAMPLE_FMT_S16)
        spread(std::int16_t{},
               [in, flags](std::size_t i) { return static_cast<std::int16_t>(alignedSample(in, i, flags) >> 16); });
    else
        spread(std::int32_t{}, [in, flags](std::size_t i) { return alignedSample(in, i, flags); });
}

} // namespace tunevale
