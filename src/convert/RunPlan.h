#pragma once

#include "ConversionRun.h"

#include <cstddef>
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

// Copies the state of every job the run has started into its row of the table. Jobs not started
// keep what they had.
void showRunProgress(JobTable& table, const ConversionRun& run);

} // namespace tunevale
