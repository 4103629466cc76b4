#pragma once

#include "Engine.h"
#include "GetWMABitRateFromQuality.h"
#include "JobContext.h"

#include <array>
#include <string>

namespace tunevale
{

// What the WMA writer reads from the settings panel.
struct WmaOptions {
    int quality = 50;                          // sliderWMA, 0 to 100
    bool setTags = false;                      // chkWMAFileTags
    std::array<std::string, 8> tags;           // txtWMATags 0 to 7; an empty box writes no tag
    std::array<std::string, 8> tagNames;       // WMATagNames: the Windows Media names of those tags
    WmaBitrateListView* bitrateView = nullptr; // cmbWMAEncodingBitrate, when there is one
};

// Converts one job to WMA at the source's rate and channel count, with the bitrate that the quality
// picks from the encoder's list and the optional tags. Ends the job "Complete", "Cancelled" (a
// shorter, closed file) or "Error" (no file left behind).
JobOutcome ConvertToWMA(Engine& engine, JobContext& context, const std::string& origfile, const std::string& outFile,
                        const WmaOptions& options);

} // namespace tunevale
