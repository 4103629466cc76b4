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

// The tones one after the other, the same in every channel, as samples from -1 to 1.
inline std::vector<double> toneSamples(const std::vector<Tone>& tones, std::uint32_t rate, std::uint32_t channels)
{
    std::vector<double> samples;
    std::uint64_t frame = 0;
    for (const Tone& tone : tones) {
        const double amplitude = std::pow(10.0, tone.peakDbfs / 20.0);
        const auto frames = static_cast<std::uint64_t>(std::llround(tone.seconds * rate));
        for (std::uint64_t i = 0; i < frames; ++i, ++frame) {
            const double value = amplitude * std::sin(2 * std::numbers::pi * tone.frequency * frame / rate);
            for (std::uint32_t channel = 0; channel < channels; ++channel)
                samples.push_back(value);
        }
    }
    return samples;
}

// The samples stored as PCM of the type.
inline std::vector<std::uint8_t> toPcm(const std::vector<double>& samples, SampleType type)
{
    std::vector<std::uint8_t> pcm;
    pcm.reserve(samples.size() * PcmFormat::bytesPerSample(type));
    auto putInteger = [&](std::int64_t value, int bytes) {
        for (int i = 0; i < bytes; ++i)
            pcm.push_back(static_cast<std::uint8_t>(static_cast<std::uint64_t>(value) >> (8 * i)));
    };
    for (const double sample : samples) {
        switch (type) {
        case SampleType::UInt8:
            pcm.push_back(static_cast<std::uint8_t>(std::clamp(std::lround(sample * 128.0) + 128, 0L, 255L)));
            break;
        case SampleType::Int16:
            putInteger(std::lround(sample * 32767.0), 2);
            break;
        case SampleType::Int24:
            putInteger(std::lround(sample * 8388607.0), 3);
            break;
        case SampleType::Int32:
            putInteger(std::llround(sample * 2147483647.0), 4);
            break;
        case SampleType::Float32: {
            const float value = static_cast<float>(sample);
            std::uint8_t bytes[4];
            std::memcpy(bytes, &value, 4);
            pcm.insert(pcm.end(), bytes, bytes + 4);
            break;
        }
        }
    }
    return pcm;
}

} // namespace tunevale::test
