#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace tunevale
{

class FileInput;

// What the Xing/Info header of an MPEG audio file's first frame states.
struct MpegTaggedLength {
    std::int64_t samples = 0;      // sample frames decoded, encoder delay and padding trimmed
    std::uint64_t streamBytes = 0; // the stream's bytes as the encoder wrote them, 0 when not stated
};

// The exact number of sample frames that an MPEG audio file decodes to, read from the Xing/Info
// header of its first frame (frame count) and LAME tag (encoder delay and padding, which the
// decoder trims). Nothing when the file carries no such header.
std::optional<MpegTaggedLength> mpegTaggedLength(const FileInput& file);

// The number of sample frames a Musepack SV8 file states in its stream header (less the silence
// the encoder put in front). Nothing for other files.
std::optional<std::int64_t> musepackSampleCount(const FileInput& file);

// The number of sample frames a RIFF WAVE file of plain PCM states in its data chunk's size,
// whether or not the file still holds them all. Nothing for other files, and for the sizes that
// writers leave when they cannot go back to fill them in (0, or 2 GiB and more: streaming
// writers put 0xFFFFFFFF or just under 2 GiB there).
std::optional<std::int64_t> wavStatedSampleCount(const FileInput& file);

// Where the data chunk of a RIFF WAVE file of plain PCM ends by its stated size; nothing where
// wavStatedSampleCount states no count.
std::optional<std::uint64_t> wavStatedDataEnd(const FileInput& file);

} // namespace tunevale
