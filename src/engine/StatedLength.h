#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace tunevale
{

class FileInput;

// The exact number of sample frames that an MPEG audio file decodes to, read from the Xing/Info
// header of its first frame (frame count) and LAME tag (encoder delay and padding, which the
// decoder trims). Nothing when the file carries no such header.
std::optional<std::int64_t> mpegTaggedSampleCount(const FileInput& file);

// The number of sample frames a Musepack SV8 file states in its stream header (less the silence
// the encoder put in front). Nothing for other files.
std::optional<std::int64_t> musepackSampleCount(const FileInput& file);

// The number of sample frames a RIFF WAVE file of plain PCM states in its data chunk's size,
// whether or not the file still holds them all. Nothing for other files, and for the sizes that
// writers leave when they cannot go back to fill them in (0, or 2 GiB and more: streaming
// writers put 0xFFFFFFFF or just under 2 GiB there).
std::optional<std::int64_t> wavStatedSampleCount(const FileInput& file);

} // namespace tunevale
