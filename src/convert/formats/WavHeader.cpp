#include "WavHeader.h"

#include <cstring>

namespace tunevale
{

namespace
{

void put16(std::uint8_t* at, std::uint16_t value)
{
    at[0] = value & 0xFF;
    at[1] = value >> 8;
}

void put32(std::uint8_t* at, std::uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        at[i] = (value >> (8 * i)) & 0xFF;
}

} // namespace

std::array<std::uint8_t, 4> wavSizeField(std::uint32_t value)
{
    std::array<std::uint8_t, 4> field;
    put32(field.data(), value);
    return field;
}

std::array<std::uint8_t, WavHeaderSize> makeWavHeader(const WavFormat& format)
{
    std::array<std::uint8_t, WavHeaderSize> header{};
    std::uint8_t* p = header.data();
    std::memcpy(p, "RIFF", 4);
    std::memcpy(p + 8, "WAVE", 4);
    std::memcpy(p + 12, "fmt ", 4);
    put32(p + 16, 16);
    put16(p + 20, 1);
    put16(p + 22, format.channels);
    put32(p + 24, format.sampleRate);
    put32(p + 28, format.bytesPerSecond());
    put16(p + 32, format.blockAlign());
    put16(p + 34, format.bitsPerSample);
    std::memcpy(p + 36, "data", 4);
    return header;
}

} // namespace tunevale
