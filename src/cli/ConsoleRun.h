#pragma once

#include "JobReporter.h"

#include "ConversionRun.h"

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace tunevale
{

class Engine;
class JobList;
class StopSignals;
struct OutputSettings;

// What one run converts and how, fixed before it starts.
struct ConversionRequest {
    JobList& jobs;                  // the jobs, "Waiting Conversion" ones (ticked ones with selectedOnly) are run
    const OutputSettings& settings; // the run's settings: the stored ones with the command's options applied
    int jobCount = 0;               // conversions at once; 0 for the stored choice (itself 0: one per core)
    bool writeTags = true;          // copy the sources' tags into the outputs, unless the settings say not to
    bool selectedOnly = false;      // "Convert Selected" instead of "Convert All"
    std::uint64_t descriptorLimit = UINT64_MAX; // open descriptors allowed: the run keeps within them
};

// What the run works with: the open engine, the WMA tag names it gave, and the signals that stop it.
struct ConversionServices {
    Engine& engine;
    const std::array<std::string, 8>& WMATagNames;
    StopSignals& stopSignals;
    // The AccurateRip verdict on a completed job's source, when it is a checked disc track.
    std::function<std::string(const std::string& source)> accurateRipOf = {};
};

// Converts the request's jobs, telling the reporter of each job's end (in the list's order, as soon
// as the job and those before it have ended) and of the progress; the reports of every job the run
// took, in that order, with the jobs never started as "Waiting".
std::vector<JobReport> runConversion(const ConversionRequest& request, const ConversionServices& services,
                                     JobReporter& reporter);

// Called on the caller's thread as each job's end is reported, just before its report goes out;
// may change the report.
using JobEnded = std::function<void(const RunJob& job, const RunJobStatus& status, JobReport& report)>;

// Outputs outside a run that share albums with its jobs (ConversionRun::keepOutputs), and once the
// run has ended what became of them.
struct KeptOutputs {
    std::vector<KeptOutput> outputs;
    std::vector<KeptOutcome> outcomes;
};

// Converts the jobs, up to parallel at once, until they are done or the stop signals come; reports
// as runConversion does.
std::vector<JobReport> runJobs(std::vector<RunJob> jobs, const ConversionOptions& options, unsigned parallel,
                               const ConversionServices& services, JobReporter& reporter, const JobEnded& ended = {},
                               KeptOutputs* kept = nullptr);

} // namespace tunevale
