#pragma once

#include <cstdint>

extern "C" {
#include <libavutil/channel_layout.h>
}

namespace tunevale
{

// The channel order in which the engine delivers a channel count: the WAV default order for it.
AVChannelLayout waveChannelLayout(std::uint32_t chans);

} // namespace tunevale
