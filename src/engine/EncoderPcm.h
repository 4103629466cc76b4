#pragma once

#include "OutputEncoding.h"

#include <cstddef>
#include <cstdint>

namespace tunevale
{

// The sample format (StreamFlag sample flags) in which a lossless codec stores PCM of inputFlags:
// the input's own, except that FLAC and ALAC hold neither 32-bit integers nor floats and take
// those as 24-bit, and 8-bit input is widened to 16 bits.
std::uint32_t storedSampleFlags(OutputCodec codec, std::uint32_t inputFlags);

// Converts samples interleaved samples of inFlags to outFlags (as storedSampleFlags gives): exact
// for widening, rounded to nearest and clipped for 32-bit and float input narrowed to 24 bits.
void convertSamples(const std::uint8_t* in, std::size_t samples, std::uint32_t inFlags, std::uint32_t outFlags,
                    std::uint8_t* out);

// Spreads frames interleaved frames of PCM in flags into the planes of FFmpeg sample format
// sampleFormat (one plane when packed; 16-bit, 32-bit or, for float PCM, float). Integers go
// left-aligned into wider samples, as FFmpeg's encoders expect them.
void unpackSamples(const std::uint8_t* in, int frames, int channels, std::uint32_t flags, int sampleFormat,
                   std::uint8_t* const* planes);

} // namespace tunevale
