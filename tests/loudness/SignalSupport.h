#pragma once

#include "PcmFormat.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <numbers>
#include <vector>

namespace tunevale::test
{

// A part of a test signal: a sine of this frequency and peak level (dBFS) lasting this long.
struct Tone {
    double seconds;
    double peakDbfs;
    double frequency = 1000.0;
};

// The tones one after the other, the same in every channel, as samples from -1 to 1. Written
// through a pointer: the tests build without optimisation, where push_back per sample would cost
// more than the measurements.
inline std::vector<double> toneSamples(const std::vector<Tone>& tones, std::uint32_t rate, std::uint32_t channels)
{
    std::uint64_t total = 0;
    for (const Tone& tone : tones)
        total += static_cast<std::uint64_t>(std::llround(tone.seconds * rate));
    std::vector<double> samples(total * channels);
    double* out = samples.data();
    std::uint64_t frame = 0;
    for (const Tone& tone : tones) {
        const double amplitude = std::pow(10.0, tone.peakDbfs / 20.0);
        const auto frames = static_cast<std::uint64_t>(std::llround(tone.seconds * rate));
        for (std::uint64_t i = 0; i < frames; ++i, ++frame) {
            const double value = amplitude * std::sin(2 * std::numbers::pi * tone.frequency * frame / rate);
            for (std::uint32_t channel = 0; channel < channels; ++channel)
                *out++ = value;
        }
    }
    return samples;
}

// The samples stored as little-endian PCM of the type.
inline std::vector<std::uint8_t> toPcm(const std::vector<double>& samples, SampleType type)
{
    const int bytes = PcmFormat::bytesPerSample(type);
    std::vector<std::uint8_t> pcm(samples.size() * bytes);
    std::uint8_t* out = pcm.data();
    for (const double sample : samples) {
        std::int64_t value = 0;
        switch (type) {
        case SampleType::UInt8:
            value = std::clamp(std::lround(sample * 128.0) + 128, 0L, 255L);
            break;
        case SampleType::Int16:
            value = std::lround(sample * 32767.0);
            break;
        case SampleType::Int24:
            value = std::lround(sample * 8388607.0);
            break;
        case SampleType::Int32:
            value = std::llround(sample * 2147483647.0);
            break;
        case SampleType::Float32: {
            const float single = static_cast<float>(sample);
            std::uint32_t bits = 0;
            std::memcpy(&bits, &single, 4);
            value = bits;
            break;
        }
        }
        for (int i = 0; i < bytes; ++i)
            *out++ = static_cast<std::uint8_t>(static_cast<std::uint64_t>(value) >> (8 * i));
    }
    return pcm;
}

} // namespace tunevale::test
