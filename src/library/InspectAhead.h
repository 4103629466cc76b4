#pragma once

#include "LibraryRecords.h"
#include "SourceScan.h"
#include "SyncPlan.h"

#include <vector>

namespace tunevale
{

// Opens, on up to `threads` threads at once, every audio source a plan will open (those without a
// row and those whose stamp differs from their row's) and returns an InspectSource that answers
// from what was read, opening any other source through inspect itself. inspect must allow calls
// from several threads at once. Opening thousands of new sources is most of a first sync's
// planning; the plan itself stays in one thread.
InspectSource inspectAhead(const std::vector<ScannedFile>& scan, const std::vector<OutputRecord>& rows,
                           const SyncOptions& options, InspectSource inspect, unsigned threads);

} // namespace tunevale
