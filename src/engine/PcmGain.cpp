#include "PcmGain.h"

#include "Engine.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace tunevale
{

namespace
{

std::int64_t scaled(std::int64_t sample, double factor, std::int64_t lowest, std::int64_t highest)
{
    const double value = std::nearbyint(static_cast<double>(sample) * factor);
    return static_cast<std::int64_t>(std::clamp(value, static_cast<double>(lowest), static_cast<double>(highest)));
}

// Little-endian signed samples of the given width.
void scaleIntegers(std::uint8_t* pcm, std::size_t samples, int width, double factor)
{
    const std::int64_t highest = (std::int64_t{1} << (8 * width - 1)) - 1;
    for (std::size_t i = 0; i < samples; ++i, pcm += width) {
        std::uint64_t raw = 0;
        for (int b = 0; b < width; ++b)
            raw |= std::uint64_t{pcm[b]} << (8 * b);
        const int unused = 64 - 8 * width;
        const auto sample = static_cast<std::int64_t>(raw << unused) >> unused; // sign-extended
        const auto result = static_cast<std::uint64_t>(scaled(sample, factor, -highest - 1, highest));
        for (int b = 0; b < width; ++b)
            pcm[b] = static_cast<std::uint8_t>(result >> (8 * b));
    }
}

} // namespace

void applyGain(std::uint8_t* pcm, std::size_t bytes, std::uint32_t formatFlags, double factor)
{
    if (formatFlags & StreamFlag::Sample8Bits) {
        for (std::size_t i = 0; i < bytes; ++i)
            pcm[i] = static_cast<std::uint8_t>(scaled(std::int64_t{pcm[i]} - 128, factor, -128, 127) + 128);
    } else if (formatFlags & StreamFlag::SampleFloat) {
        for (std::size_t i = 0; i + 4 <= bytes; i += 4) {
            float sample;
            std::memcpy(&sample, pcm + i, 4);
            sample = static_cast<float>(sample * factor);
            std::memcpy(pcm + i, &sample, 4);
        }
    } else {
        const int width = static_cast<int>(bytesPerSample(formatFlags));
        scaleIntegers(pcm, bytes / static_cast<std::size_t>(width), width, factor);
    }
}

} // namespace tunevale
