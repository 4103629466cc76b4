#pragma once

#include <cstdint>

struct AVFrame;

namespace tunevale
{

// The sample-format flags (StreamFlag) in which a lossless source of FFmpeg sample format
// sampleFormat and resolution bits (0 when unknown) is delivered at its own resolution: 16-bit for
// up to 16 bits (8-bit sources widened), 24-bit for up to 24, 32-bit beyond, float for float.
std::uint32_t nativeSampleFlags(int sampleFormat, int bits);

// Writes frames sample frames of frame from offset on as interleaved host-order PCM in the format
// of flags (24-bit samples as 3 little-endian bytes). Integer samples wider than the format keep
// their top bits, as FFmpeg's decoders align them there; doubles become floats.
void writeNativeSamples(const AVFrame* frame, int offset, int frames, std::uint32_t flags, std::uint8_t* out);

} // namespace tunevale
