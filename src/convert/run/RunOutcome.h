#pragma once

#include "BatchStatus.h"
#include "Job.h"

#include <string>
#include <vector>

namespace tunevale
{

// One part of the line that tells how a run ended, such as "31 complete"; the window colours each
// part by the state it counts (WaitingConversion for the jobs a stop left waiting).
struct RunOutcomePart {
    JobState state;
    std::string text;
};

// The parts for the counts that are not zero, in the order complete, failed, cancelled, still
// waiting: "31 complete", "2 failed", "1 cancelled", "3 still waiting".
std::vector<RunOutcomePart> runOutcomeParts(const RunSummary& summary);

// The parts joined, e.g. "31 complete, 2 failed, 1 cancelled".
std::string runOutcomeText(const RunSummary& summary);

} // namespace tunevale
