#pragma once

#include "ConversionOptions.h"
#include "Engine.h"
#include "GetWMABitRateFromQuality.h"
#include "JobContext.h"
#include "PendingOutputFile.h"
#include "SourceTags.h"

#include <string>

namespace tunevale
{

// Converts one job to WMA at the source's rate and channel count into the pending output, with the
// bitrate that the quality picks from the encoder's list (shown in the view when one is given) and
// the optional tags. Ends "Complete", "Cancelled" or "Error"; the caller places or discards the
// output. A source that breaks off is logged. The source's tags are read into tags when one is
// given.
JobResult ConvertToWMA(Engine& engine, JobContext& context, ErrorLog& log, const std::string& origfile,
                       PendingOutputFile& output, const WmaOptions& options, WmaBitrateListView* bitrateView,
                       SourceTags* tags = nullptr);

} // namespace tunevale
