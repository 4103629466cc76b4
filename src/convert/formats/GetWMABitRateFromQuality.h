#pragma once

#include "Engine.h"

#include <cstdint>
#include <string>
#include <vector>

namespace tunevale
{

// One entry of cmbWMAEncodingBitrate: the text shown ("128 Kbps") and the exact bitrate in bit/s.
struct WmaBitrateEntry {
    std::string text;
    std::uint32_t bitrate = 0;
};

// The choice made from the encoder's bitrate list for a quality of 0 to 100.
struct WmaBitrateChoice {
    std::vector<WmaBitrateEntry> entries; // the list shown in cmbWMAEncodingBitrate
    int selected = -1;                    // the entry chosen, -1 when none
    std::int32_t bitrate = 0;             // the bitrate to use, from the chosen entry's text
};

// Picks a bitrate from a 0-ended list (highest first): quality 100 gives the first entry,
// quality 0 the last. An empty list without its 0 end means "no list" (bitrate -1); a list with
// no entries gives bitrate 0; a quality outside 0..100 that points outside the list gives -1.
WmaBitrateChoice chooseWmaBitrate(const std::vector<std::uint32_t>& rates, int iQuality);

// Receives the filled bitrate list, as cmbWMAEncodingBitrate does in the window.
class WmaBitrateListView
{
public:
    virtual ~WmaBitrateListView() = default;
    virtual void showBitrates(const std::vector<WmaBitrateEntry>& entries, int selected) = 0;
};

// The bitrate in bit/s for a source of iFreq Hz and iChans channels at WMA quality iQuality:
// 0 while bLoading, -1 when the encoder offers no list. The list is handed to the view when one
// is given (it is not changed while bLoading or when there is no list).
std::int32_t GetWMABitRateFromQuality(Engine& engine, int iFreq, int iChans, int iQuality, bool bLoading,
                                      WmaBitrateListView* view = nullptr);

} // namespace tunevale
