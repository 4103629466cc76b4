#include "NativeSamples.h"

#include "Engine.h"

#include <cstring>

extern "C" {
#include <libavutil/frame.h>
#include <libavutil/samplefmt.h>
}

namespace tunevale
{

namespace
{

// Walks the samples of a frame range in interleaved order, planar or packed, handing each to store.
template <typename Sample, typename Store> void walk(const AVFrame* frame, int offset, int frames, Store store)
{
    const int channels = frame->ch_layout.nb_channels;
    if (av_sample_fmt_is_planar(static_cast<AVSampleFormat>(frame->format))) {
        for (int channel = 0; channel < channels; ++channel) {
            const auto* source = reinterpret_cast<const Sample*>(frame->extended_data[channel]) + offset;
            for (int i = 0; i < frames; ++i)
                store(static_cast<std::size_t>(i) * channels + channel, source[i]);
        }
        return;
    }
    const auto* source = reinterpret_cast<const Sample*>(frame->extended_data[0]) + std::size_t(offset) * channels;
    const std::size_t count = static_cast<std::size_t>(frames) * channels;
    for (std::size_t i = 0; i < count; ++i)
        store(i, source[i]);
}

} // namespace

std::uint32_t nativeSampleFlags(int sampleFormat, int bits)
{
    const auto packed = av_get_packed_sample_fmt(static_cast<AVSampleFormat>(sampleFormat));
    if (packed == AV_SAMPLE_FMT_FLT || packed == AV_SAMPLE_FMT_DBL)
        return StreamFlag::SampleFloat;
    if (packed == AV_SAMPLE_FMT_U8 || packed == AV_SAMPLE_FMT_S16 || (bits > 0 && bits <= 16))
        return 0;
    if (bits > 0 && bits <= 24)
        return StreamFlag::Sample24Bits;
    return StreamFlag::Sample32Bits;
}

void writeNativeSamples(const AVFrame* frame, int offset, int frames, std::uint32_t flags, std::uint8_t* out)
{
    const auto format = static_cast<AVSampleFormat>(frame->format);
    const std::size_t sampleBytes = bytesPerSample(flags);
    const std::size_t channels = static_cast<std::size_t>(frame->ch_layout.nb_channels);
    // Packed samples already in the delivered format are copied as they stand.
    if ((format == AV_SAMPLE_FMT_S16 && sampleBytes == 2) ||
        (format == AV_SAMPLE_FMT_S32 && (flags & StreamFlag::Sample32Bits)) ||
        (format == AV_SAMPLE_FMT_FLT && (flags & StreamFlag::SampleFloat))) {
        std::memcpy(out, frame->extended_data[0] + static_cast<std::size_t>(offset) * channels * sampleBytes,
                    static_cast<std::size_t>(frames) * channels * sampleBytes);
        return;
    }
    auto* floats = reinterpret_cast<float*>(out);
    const auto putFloat = [floats](std::size_t i, auto v) { floats[i] = static_cast<float>(v); };
    // Integer samples arrive left-aligned in 32 bits.
    const auto put = [out, flags](std::size_t i, std::int32_t value) {
        if (flags & StreamFlag::Sample24Bits) {
            std::uint8_t* at = out + i * 3;
            at[0] = static_cast<std::uint8_t>(value >> 8);
            at[1] = static_cast<std::uint8_t>(value >> 16);
            at[2] = static_cast<std::uint8_t>(value >> 24);
        } else if (flags & StreamFlag::Sample32Bits) {
            reinterpret_cast<std::int32_t*>(out)[i] = value;
        } else {
            reinterpret_cast<std::int16_t*>(out)[i] = static_cast<std::int16_t>(value >> 16);
        }
    };
    switch (av_get_packed_sample_fmt(format)) {
    case AV_SAMPLE_FMT_FLT:
        walk<float>(frame, offset, frames, putFloat);
        return;
    case AV_SAMPLE_FMT_DBL:
        walk<double>(frame, offset, frames, putFloat);
        return;
    case AV_SAMPLE_FMT_U8:
        walk<std::uint8_t>(frame, offset, frames, [&](std::size_t i, std::uint8_t v) {
            put(i, static_cast<std::int32_t>((v - 128) * (1 << 24)));
        });
        return;
    case AV_SAMPLE_FMT_S16:
        walk<std::int16_t>(frame, offset, frames,
                           [&](std::size_t i, std::int16_t v) { put(i, static_cast<std::int32_t>(v * (1 << 16))); });
        return;
    case AV_SAMPLE_FMT_S32:
        walk<std::int32_t>(frame, offset, frames, put);
        return;
    case AV_SAMPLE_FMT_S64:
        walk<std::int64_t>(frame, offset, frames,
                           [&](std::size_t i, std::int64_t v) { put(i, static_cast<std::int32_t>(v >> 32)); });
        return;
    default:
        std::memset(out, 0, static_cast<std::size_t>(frames) * channels * sampleBytes);
        return;
    }
}

} // namespace tunevale
