#include "WaveChannelLayout.h"

namespace tunevale
{

AVChannelLayout waveChannelLayout(std::uint32_t chans)
{
    switch (chans) {
    case 3:
        return AV_CHANNEL_LAYOUT_SURROUND;
    case 4:
        return AV_CHANNEL_LAYOUT_QUAD;
    case 5:
        return AV_CHANNEL_LAYOUT_5POINT0_BACK;
    case 6:
        return AV_CHANNEL_LAYOUT_5POINT1_BACK;
    case 7:
        return AV_CHANNEL_LAYOUT_6POINT1;
    case 8:
        return AV_CHANNEL_LAYOUT_7POINT1;
    default: {
        AVChannelLayout layout{};
        av_channel_layout_default(&layout, static_cast<int>(chans));
        return layout;
    }
    }
}

} // namespace tunevale
