#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tunevale
{

// Bytes shown to the demuxer in place of the file's own at offset.
struct BytePatch {
    std::uint64_t offset = 0;
    std::string bytes;
};

// FFmpeg gathers Vorbis comments into a dictionary whose every insertion searches it and whose
// repeated names append to one growing value: 50,000 comments take seconds, 200,000 minutes. A
// file keeps its first comments, in order, as far as these limits go; the rest are left unread.
// Covers (METADATA_BLOCK_PICTURE) count as comments but not as text: they become pictures.
inline constexpr std::uint32_t MaxComments = 2048;
inline constexpr std::uint64_t MaxCommentText = 256 * 1024;
// More comment lists than this in one file to cut, or more FLAC metadata blocks than this, and the
// file is taken for damaged (no real file has more than one list per stream).
inline constexpr int MaxCutLists = 16;
inline constexpr int MaxFlacBlocks = 1024;

// The patches that cut every Vorbis comment list at the head of a FLAC or Ogg file (FLAC's
// VORBIS_COMMENT blocks; the comment headers of Ogg Vorbis, Opus, Speex, Theora and FLAC streams)
// down to the limits above: each list's comment count is lowered to the comments kept, so the
// rest of the list becomes trailing bytes that demuxers skip, and an Ogg page whose bytes change
// gets its checksum anew. Empty for a file within the limits or of another format; nothing when
// the file is to be refused as damaged. fd is read with pread only.
std::optional<std::vector<BytePatch>> commentLimitPatches(int fd, std::uint64_t size);

} // namespace tunevale
