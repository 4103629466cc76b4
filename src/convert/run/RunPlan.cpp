#include "RunPlan.h"

#include "JobTable.h"
#include "OutputFileName.h"

#include <algorithm>

#include <optional>
#include <vector>

namespace tunevale
{

RunPlan planRun(const JobTable& table, bool selectedOnly, const ConversionOptions& options)
{
    RunPlan plan;
    // The one output folder is tried once a run, however many jobs go there.
    std::optional<std::optional<std::string>> outputFolder;
    for (std::size_t row = 0; row < table.size(); ++row) {
        const Job& job = table.at(row);
        if (!job.convertible() || (selectedOnly && !job.ticked()))
            continue;
        std::optional<std::string> made;
        if (options.sameFolder) {
            made = outputFolderFor(job.FilePath, true, {});
        } else {
            if (!outputFolder)
                outputFolder = outputFolderFor(job.FilePath, false, options.outPath);
            made = *outputFolder;
        }
        if (!made) {
            plan.unmadeFolders.push_back(row);
            continue;
        }
        plan.jobs.push_back({row, job.FilePath, *made, job.Root, {}, false});
    }
    return plan;
}

RunStanding runStanding(const ConversionRun& run)
{
    RunStanding standing;
    standing.total = run.jobs().size();
    standing.started = run.startedCount();
    double done = 0;
    for (std::size_t i = 0; i < standing.total; ++i) {
        const RunJobStatus status = run.status(i);
        switch (status.state) {
        case JobState::WaitingConversion:
            continue;
        case JobState::Measuring:
            break;
        case JobState::Converting:
            done += status.progress / 100.0;
            break;
        case JobState::Complete:
            ++standing.completed;
            done += 1;
            break;
        case JobState::UpToDate:
            ++standing.upToDate;
            done += 1;
            break;
        case JobState::Cancelled:
            ++standing.cancelled;
            done += 1;
            break;
        case JobState::Error:
        case JobState::CodecNotSupported:
            ++standing.failed;
            done += 1;
            break;
        }
        standing.latestRow = run.jobs()[i].row;
    }
    standing.fraction = standing.total ? std::clamp(done / static_cast<double>(standing.total), 0.0, 1.0) : 0.0;
    return standing;
}

void showRunProgress(JobTable& table, const ConversionRun& run)
{
    const auto& jobs = run.jobs();
    // Read from the last job up: jobs start in record order, so a job is read before any that
    // started ahead of it, and the list never shows a job started out of order nor more at once
    // than the run converts. Shown from the first down, as a job ends before the next starts.
    std::vector<RunJobStatus> statuses(jobs.size());
    for (std::size_t i = jobs.size(); i-- > 0;)
        statuses[i] = run.status(i);
    for (std::size_t i = 0; i < jobs.size(); ++i) {
        const RunJobStatus& status = statuses[i];
        // A job the measuring pass went through waits again for its conversion.
        if (status.state == JobState::WaitingConversion && !status.measured)
            continue;
        // The list only grows during a run; the row still holds the job's own path.
        if (jobs[i].row >= table.size() || table.at(jobs[i].row).FilePath != jobs[i].source)
            continue;
        table.setState(jobs[i].row, status.state, status.progress, status.failure);
    }
}

} // namespace tunevale
