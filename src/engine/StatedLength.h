#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace tunevale
{

// The exact number of sample frames that an MPEG audio file decodes to, read from the Xing/Info
// header of its first frame (frame count) and LAME tag (encoder delay and padding, which the
// decoder trims). Nothing when the file carries no such header.
std::optional<std::int64_t> mpegTaggedSampleCount(const std::string& path);

// The number of sample frames a Musepack SV8 file states in its stream header (less the silence
// the encoder put in front). Nothing for other files.
std::optional<std::int64_t> musepackSampleCount(const std::string& path);

} // namespace tunevale
