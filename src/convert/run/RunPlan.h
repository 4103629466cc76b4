#pragma once

#include "ConversionRun.h"

#include <cstddef>
#include <optional>
#include <vector>

namespace tunevale
{

class JobTable;

// The jobs a run takes, in record order: the waiting and the cancelled ones (only the ticked ones
// for "Convert Selected"), each with its output folder, created when missing. A job whose folder
// could not be created is left out and keeps its state; unmadeFolders lists their rows.
struct RunPlan {
    std::vector<RunJob> jobs;
    std::vector<std::size_t> unmadeFolders;
};

// Takes the run's jobs from the table. Touches folders: the window's thread.
RunPlan planRun(const JobTable& table, bool selectedOnly, const ConversionOptions& options);

// Copies the state of every job the run has started or measured into its row of the table. Jobs not
// started keep what they had.
void showRunProgress(JobTable& table, const ConversionRun& run);

// Where a run stands, for the window's title and the taskbar.
struct RunStanding {
    std::size_t started = 0;              // jobs handed to a writer
    std::size_t total = 0;                // jobs of the run
    double fraction = 0;                  // share of the run's work done, 0 to 1
    std::optional<std::size_t> latestRow; // the row of the last job started
    int completed = 0, failed = 0, cancelled = 0, upToDate = 0;
};
RunStanding runStanding(const ConversionRun& run);

} // namespace tunevale
