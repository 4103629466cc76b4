#pragma once

#include <algorithm>
#include <cstdint>

namespace tunevale
{

inline std::int16_t clamp16(std::int64_t value)
{
    return static_cast<std::int16_t>(std::clamp<std::int64_t>(value, -32768, 32767));
}

// Triangular noise of +-1 step of a 16-bit result, from two uniform 16-bit draws of one xorshift
// generator. Every decoder draws it in the same order (interleaved samples, from the same seed), so
// that the same source dithers to the same PCM whichever decoder reads it.
class TriangularDither
{
public:
    std::int32_t next()
    {
        m_state ^= m_state << 13;
        m_state ^= m_state >> 17;
        m_state ^= m_state << 5;
        return static_cast<std::int32_t>(m_state & 0xFFFF) - static_cast<std::int32_t>(m_state >> 16);
    }

    // A sample left-aligned in 32 bits, dithered and rounded to 16 bits.
    std::int16_t to16(std::int32_t aligned) { return clamp16((std::int64_t{aligned} + next() + 32768) >> 16); }

private:
    std::uint32_t m_state = 0x12345678;
};

} // namespace tunevale
