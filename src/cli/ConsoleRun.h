#pragma once

#include "JobReporter.h"

#include <array>
#include <string>
#include <vector>

namespace tunevale
{

class Engine;
class InterruptPump;
class JobList;
class MessageBox;
struct OutputSettings;

// What one run converts and how, fixed before it starts.
struct ConversionRequest {
    JobList& jobs;                  // the jobs, "Waiting Conversion" ones (ticked ones with selectedOnly) are run
    const OutputSettings& settings; // the run's settings: the stored ones with the command's options applied
    int jobCount = 1;               // conversions at once
    bool writeTags = true;          // copy the sources' tags into the outputs
    bool selectedOnly = false;      // "Convert Selected" instead of "Convert All"
};

// What the run works with: the open engine, the WMA tag names it gave, the pump that takes Ctrl+C
// as "Stop", and where messages go.
struct ConversionServices {
    Engine& engine;
    const std::array<std::string, 8>& WMATagNames;
    InterruptPump& pump;
    MessageBox& messages;
};

// Converts the request's jobs, telling the reporter of each job's end and of the progress as they
// happen; the reports of every job the run took, in the order they ended (jobs never started last).
// The batch converter runs one job at a time and writes no tags of its own, so jobCount and
// writeTags do not change what it does.
std::vector<JobReport> runConversion(const ConversionRequest& request, const ConversionServices& services,
                                     JobReporter& reporter);

} // namespace tunevale
