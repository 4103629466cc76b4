#pragma once

#include "SourceTags.h"

struct AVFormatContext;

namespace tunevale
{

// The tags of an opened file: the container's metadata first, then that of the decoded audio
// stream, and the embedded picture that a picture stream (ID3 APIC, FLAC or Vorbis-comment
// picture, ASF WM/Picture, MP4 covr) carries.
SourceTags readSourceTags(const AVFormatContext* format, int audioStream);

} // namespace tunevale
