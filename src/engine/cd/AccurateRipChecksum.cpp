#include "AccurateRipChecksum.h"

namespace tunevale
{

namespace
{

constexpr std::int64_t EdgeSamples = 5 * 588;

} // namespace

AccurateRipChecksum::AccurateRipChecksum(bool firstTrack, bool lastTrack, std::int64_t trackSamples)
    : m_first(firstTrack ? EdgeSamples : 1), m_last(lastTrack ? trackSamples - EdgeSamples : trackSamples)
{
}

void AccurateRipChecksum::add(const std::uint8_t* pcm, std::size_t bytes)
{
    for (std::size_t i = 0; i + 4 <= bytes; i += 4) {
        const std::uint64_t multiplier = static_cast<std::uint64_t>(++m_position);
        if (m_position < m_first || m_position > m_last)
            continue;
        const std::uint32_t sample = std::uint32_t(pcm[i]) | std::uint32_t(pcm[i + 1]) << 8 |
                                     std::uint32_t(pcm[i + 2]) << 16 | std::uint32_t(pcm[i + 3]) << 24;
        const std::uint64_t product = sample * multiplier;
        m_v1 += static_cast<std::uint32_t>(product);
        m_v2 += static_cast<std::uint32_t>(product) + static_cast<std::uint32_t>(product >> 32);
    }
}

} // namespace tunevale
