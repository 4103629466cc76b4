#pragma once

#include <cstddef>
#include <cstdint>

namespace tunevale
{

// How one sample of interleaved PCM is stored; integers are little-endian, 24-bit ones packed in
// three bytes, floats at full scale 1.0.
enum class SampleType { UInt8, Int16, Int24, Int32, Float32 };

struct PcmFormat {
    std::uint32_t rate = 0;     // Hz
    std::uint32_t channels = 0; // in the order of WAV and FFmpeg: L, R, C, LFE, then surrounds
    SampleType type = SampleType::Int16;

    std::size_t bytesPerFrame() const { return channels * bytesPerSample(type); }

    static constexpr std::size_t bytesPerSample(SampleType type)
    {
        switch (type) {
        case SampleType::UInt8:
            return 1;
        case SampleType::Int16:
            return 2;
        case SampleType::Int24:
            return 3;
        case SampleType::Int32:
        case SampleType::Float32:
            return 4;
        }
        return 2;
    }
};

} // namespace tunevale
