#include "ConsoleRun.h"

#include "ConversionRun.h"
#include "DescriptorLimit.h"
#include "ErrorLog.h"
#include "JobList.h"
#include "RunPlan.h"
#include "StopSignals.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <deque>
#include <mutex>
#include <thread>

namespace tunevale
{

namespace
{

// A job's end as the reporter shows it.
JobReport reportOf(const RunJob& job, const RunJobStatus& status)
{
    JobReport report;
    report.source = job.source;
    report.seconds = status.seconds;
    report.verified = status.verified;
    switch (status.state) {
    case JobState::Complete:
        report.outcome = JobReport::Outcome::Complete;
        report.output = status.output;
        report.warning = status.warning;
        report.loudness = status.loudness;
        break;
    case JobState::UpToDate:
        report.outcome = JobReport::Outcome::UpToDate;
        report.output = status.output;
        break;
    case JobState::Cancelled:
        report.outcome = JobReport::Outcome::Cancelled;
        report.output = status.output;
        report.error = "stopped";
        break;
    default:
        report.outcome = JobReport::Outcome::Error;
        report.error = status.failure.empty() ? "the conversion failed" : status.failure;
        break;
    }
    return report;
}

} // namespace

std::vector<JobReport> runConversion(const ConversionRequest& request, const ConversionServices& services,
                                     JobReporter& reporter)
{
    ConversionOptions options = conversionOptions(request.settings, services.WMATagNames);
    options.carryTags = options.carryTags && request.writeTags;
    RunPlan plan = planRun(request.jobs.rsJobs(), request.selectedOnly, options);

    std::vector<JobReport> reports;
    auto report = [&](JobReport job) {
        reporter.jobEnded(job);
        reports.push_back(std::move(job));
    };
    for (std::size_t row : plan.unmadeFolders)
        report({request.jobs.rsJobs().at(row).FilePath,
                "",
                JobReport::Outcome::Waiting,
                0,
                "the output folder could not be created",
                {}});
    if (plan.jobs.empty())
        return reports;

    unsigned parallel = request.jobCount > 0 ? static_cast<unsigned>(request.jobCount)
                                             : static_cast<unsigned>(request.settings.sliderParallelJobs.value);
    // Conversions beyond what the descriptor limit allows would fail for want of a descriptor.
    const unsigned allowed = parallelJobsWithin(request.descriptorLimit);
    const unsigned wanted = parallel == 0 ? std::max(1u, std::thread::hardware_concurrency()) : parallel;
    if (wanted > allowed) {
        std::fprintf(stderr, "tunevale-cli convert: the open-file limit (%llu) allows %u conversions at once\n",
                     static_cast<unsigned long long>(request.descriptorLimit), allowed);
        parallel = allowed;
    }
    JobTable& table = request.jobs.rsJobs();
    auto ran = runJobs(std::move(plan.jobs), options, parallel, services, reporter,
                       [&table, &services](const RunJob& job, const RunJobStatus& status, JobReport& report) {
                           if (services.accurateRipOf && report.outcome == JobReport::Outcome::Complete)
                               report.accurateRip = services.accurateRipOf(job.source);
                           // The list only grows during a run; the row still holds the job's own path.
                           if (job.row < table.size() && table.at(job.row).FilePath == job.source)
                               table.setState(job.row, status.state, status.progress, status.failure);
                       });
    reports.insert(reports.end(), std::make_move_iterator(ran.begin()), std::make_move_iterator(ran.end()));
    return reports;
}

std::vector<JobReport> runJobs(std::vector<RunJob> jobs, const ConversionOptions& options, unsigned parallel,
                               const ConversionServices& services, JobReporter& reporter, const JobEnded& onEnded,
                               KeptOutputs* kept)
{
    std::vector<JobReport> reports;
    if (jobs.empty())
        return reports;
    auto report = [&](JobReport job) {
        reporter.jobEnded(job);
        reports.push_back(std::move(job));
    };
    ErrorLog log(ErrorLog::defaultPath());
    ConversionRun run(services.engine, log, options, std::move(jobs), parallel);
    if (kept)
        run.keepOutputs(kept->outputs);
    // Job ends come from the workers; the reporter is fed from this thread alone.
    std::mutex endedMutex;
    std::deque<std::size_t> ended;
    run.onJobEnded = [&](std::size_t index, const RunJobStatus&) {
        const std::lock_guard lock(endedMutex);
        ended.push_back(index);
    };
    const auto start = std::chrono::steady_clock::now();
    // Jobs end in any order when several run at once; their lines come in the list's order, each
    // as soon as it and every job before it have ended, so that scripts read a stable order. The
    // status line counts the jobs whose lines are out.
    std::vector<bool> hasEnded(run.jobs().size(), false);
    std::size_t nextLine = 0;
    auto showProgress = [&] {
        BatchProgress progress{nextLine,
                               run.jobs().size(),
                               {},
                               std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count()};
        for (std::size_t i = 0; i < run.jobs().size(); ++i) {
            const RunJobStatus status = run.status(i);
            if (status.state == JobState::Converting)
                progress.running.push_back(status.progress);
            else if (status.state == JobState::Measuring)
                progress.measuring.push_back(status.progress);
        }
        reporter.progress(progress);
    };
    auto reportEnd = [&](std::size_t index) {
        const RunJobStatus status = run.status(index);
        JobReport job = reportOf(run.jobs()[index], status);
        if (onEnded)
            onEnded(run.jobs()[index], status, job);
        report(std::move(job));
    };
    auto drain = [&] {
        std::deque<std::size_t> taken;
        {
            const std::lock_guard lock(endedMutex);
            taken.swap(ended);
        }
        for (std::size_t index : taken)
            hasEnded[index] = true;
        for (; nextLine < hasEnded.size() && hasEnded[nextLine]; ++nextLine) {
            reportEnd(nextLine);
            showProgress();
        }
    };

    showProgress();
    run.start();
    while (!run.finished()) {
        // The run's end wakes this at once; a stop signal is taken within the interval.
        run.waitFor(std::chrono::milliseconds(100));
        if (services.stopSignals.wait(std::chrono::milliseconds(0)))
            run.requestStop();
        drain();
        showProgress();
    }
    drain();
    if (kept)
        kept->outcomes = run.keptOutcomes();
    for (; nextLine < run.jobs().size(); ++nextLine) {
        if (hasEnded[nextLine])
            reportEnd(nextLine);
        else
            report({run.jobs()[nextLine].source,
                    "",
                    JobReport::Outcome::Waiting,
                    0,
                    run.stopRequested() ? "not started: the run was stopped" : "not started",
                    {}});
    }
    return reports;
}

} // namespace tunevale
