#pragma once

#include <cstddef>
#include <cstdint>

namespace tunevale
{

// Multiplies interleaved PCM in place by factor. Integer samples (unsigned 8-bit, signed 16, 24
// and 32-bit, as the sample-format flags of a ChannelInfo say) are rounded to the nearest step,
// halves to even, and clipped at full scale; float samples are only multiplied.
void applyGain(std::uint8_t* pcm, std::size_t bytes, std::uint32_t formatFlags, double factor);

} // namespace tunevale
