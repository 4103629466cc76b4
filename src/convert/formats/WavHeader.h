#pragma once

#include <array>
#include <cstdint>

namespace tunevale
{

// The PCM layout that the 44-byte RIFF header of a WAV file describes.
struct WavFormat {
    std::uint16_t channels = 0;
    std::uint32_t sampleRate = 0; // Hz
    std::uint16_t bitsPerSample = 16;

    std::uint16_t blockAlign() const { return static_cast<std::uint16_t>(channels * bitsPerSample / 8); }
    std::uint32_t bytesPerSecond() const { return blockAlign() * sampleRate; }
};

inline constexpr std::size_t WavHeaderSize = 44;
inline constexpr std::size_t WavRiffSizeOffset = 4;
inline constexpr std::size_t WavDataSizeOffset = 40;
// The size fields are signed 32-bit: the data may hold at most this many bytes.
inline constexpr std::uint64_t WavMaxDataSize = 0x7FFFFFFF - 36;

// The header written before the samples, little-endian, with both size fields 0 until the amount of
// data is known (RIFF size = data size + 36, stored at the two offsets above).
std::array<std::uint8_t, WavHeaderSize> makeWavHeader(const WavFormat& format);

// A 32-bit size field as it is stored in the header.
std::array<std::uint8_t, 4> wavSizeField(std::uint32_t value);

} // namespace tunevale
