#pragma once

#include <cstddef>
#include <cstdint>

namespace tunevale
{

// The AccurateRip v1 and v2 checksums of one track, fed its 16-bit stereo little-endian PCM in
// order while it is read. Each stereo sample, as one 32-bit word, is multiplied by its position
// (from 1); v1 sums the low 32 bits of the products, v2 their low and high halves. The first
// 5 * 588 - 1 samples of the disc's first track and the last 5 * 588 of its last track are left
// out: drives with different read offsets cannot all read them.
class AccurateRipChecksum
{
public:
    AccurateRipChecksum(bool firstTrack, bool lastTrack, std::int64_t trackSamples);

    // Whole sample frames (4 bytes each); a trailing partial frame is ignored.
    void add(const std::uint8_t* pcm, std::size_t bytes);

    std::uint32_t v1() const { return m_v1; }
    std::uint32_t v2() const { return m_v2; }

private:
    std::int64_t m_first = 1; // the first and last positions counted (from 1)
    std::int64_t m_last = 0;
    std::int64_t m_position = 0; // samples added so far
    std::uint32_t m_v1 = 0;
    std::uint32_t m_v2 = 0;
};

} // namespace tunevale
