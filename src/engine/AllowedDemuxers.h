#pragma once

#include <string_view>

namespace tunevale
{

// Whether the engine reads files of the FFmpeg demuxer of that name (AVInputFormat::name): audio
// files and the sound tracks of videos. Demuxers that open further files or URLs named inside a
// file (playlists, concat lists, HLS and DASH manifests, image sequences), subtitle formats and
// synthesisers without a bounded length are not among them.
bool isAllowedDemuxer(std::string_view name);

} // namespace tunevale
