#include "ConsoleRun.h"

#include "BatchConverter.h"
#include "ConversionController.h"
#include "ErrorLog.h"
#include "FormatWriters.h"
#include "InterruptPump.h"
#include "JobList.h"
#include "JobTableObserver.h"
#include "SettingText.h"

#include <chrono>
#include <map>
#include <optional>
#include <set>

namespace tunevale
{

namespace
{

using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start)
{
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// The buttons of a window that is not there: captions are kept so that "Stop" works as in the window.
class ConsoleControls : public ConvertControls
{
public:
    std::string caption(ConvertButton button) const override { return m_captions.at(button); }
    void setCaption(ConvertButton button, const std::string& text) override { m_captions[button] = text; }
    void setButtonEnabled(ConvertButton, bool) override {}
    void setControlEnabled(const std::string&, bool) override {}

private:
    std::map<ConvertButton, std::string> m_captions{
        {ConvertButton::cmdConvert, ConversionController::ConvertAllCaption},
        {ConvertButton::cmdConvertSelected, ConversionController::ConvertSelectedCaption}};
};

// Follows the batch converter through the job table: a job starts when its output is named and has
// ended when the next one starts or the run is over (its Status may still turn from "Complete" to
// "Error" after the writer's last chunk). The running job's Status holds its percentage.
class RunWatcher : public JobTableObserver
{
public:
    RunWatcher(JobList& jobs, std::size_t total, JobReporter& reporter)
        : m_jobs(jobs), m_total(total), m_reporter(reporter), m_runStart(Clock::now())
    {
    }

    std::optional<std::string> named(const std::string& source, const std::optional<std::string>& output)
    {
        endCurrent();
        m_current = Current{source, output, Clock::now(), std::nullopt};
        showProgress();
        return output;
    }

    void endCurrent()
    {
        if (!m_current)
            return;
        JobReport report;
        report.source = m_current->source;
        report.output = m_current->output.value_or("");
        report.seconds = secondsSince(m_current->start);
        const auto row = m_jobs.rsJobs().rowOf(m_current->source);
        const std::string status = row ? m_jobs.rsJobs().at(*row).Status : std::string();
        if (!m_current->output) {
            report.outcome = JobReport::Outcome::Waiting;
            report.error = "the output folder could not be created";
        } else if (m_current->output->empty()) {
            report.outcome = JobReport::Outcome::Error;
            report.error = "no free output file name";
        } else if (status == JobStatus::Complete) {
            report.outcome = JobReport::Outcome::Complete;
        } else if (status == JobStatus::Cancelled) {
            report.outcome = JobReport::Outcome::Cancelled;
            report.error = "stopped";
        } else {
            report.outcome = JobReport::Outcome::Error;
            report.error = "the conversion failed (" + ErrorLog::defaultPath().string() + " may tell why)";
        }
        m_current.reset();
        end(report);
    }

    void end(const JobReport& report)
    {
        m_reported.insert(report.source);
        m_reports.push_back(report);
        m_reporter.jobEnded(report);
        showProgress();
    }

    bool reported(const std::string& source) const { return m_reported.contains(source); }
    std::vector<JobReport> takeReports() { return std::move(m_reports); }

    void aboutToAppendRows(std::size_t, std::size_t) override {}
    void rowsAppended(std::size_t, std::size_t) override {}
    void aboutToReplaceTable() override {}
    void tableReplaced() override {}
    void rowChanged(std::size_t row) override
    {
        if (!m_current || m_jobs.rsJobs().at(row).FilePath != m_current->source)
            return;
        const auto percent = parseIntegerText(m_jobs.rsJobs().at(row).Status);
        if (percent) {
            m_current->percent = *percent;
            showProgress();
        }
    }

private:
    struct Current {
        std::string source;
        std::optional<std::string> output;
        Clock::time_point start;
        std::optional<double> percent;
    };

    void showProgress()
    {
        BatchProgress progress{m_reports.size(), m_total, {}, secondsSince(m_runStart)};
        if (m_current)
            progress.running.push_back(m_current->percent.value_or(0));
        m_reporter.progress(progress);
    }

    JobList& m_jobs;
    std::size_t m_total;
    JobReporter& m_reporter;
    Clock::time_point m_runStart;
    std::optional<Current> m_current;
    std::set<std::string> m_reported;
    std::vector<JobReport> m_reports;
};

bool takenByRun(const Job& job, bool selectedOnly)
{
    return (job.Status == JobStatus::WaitingConversion || job.Status == JobStatus::Cancelled) &&
           (!selectedOnly || job.ticked());
}

} // namespace

std::vector<JobReport> runConversion(const ConversionRequest& request, const ConversionServices& services,
                                     JobReporter& reporter)
{
    JobList& jobs = request.jobs;
    std::vector<std::string> taken;
    for (const Job& job : jobs.rsJobs().jobs())
        if (takenByRun(job, request.selectedOnly))
            taken.push_back(job.FilePath);

    if (taken.empty())
        return {};
    RunWatcher watcher(jobs, taken.size(), reporter);
    jobs.setObserver(&watcher);

    ErrorLog log(ErrorLog::defaultPath());
    FormatWriters writers(services.engine, log, services.WMATagNames);
    ConversionFlags flags;
    const auto namer = outputNamer(request.settings, services.messages);
    BatchConverter converter(
        jobs, request.settings, writers, services.pump, flags,
        [&](const std::string& source, const std::string& extension) {
            return watcher.named(source, namer(source, extension));
        },
        nullptr);
    ConsoleControls controls;
    // chkShutdown is never stored, so a run from here never powers the machine off.
    ConversionController controller(converter, flags, jobs, request.settings, controls, services.messages, nullptr);
    // The button that starts the run is the one whose "Stop" ends it.
    const auto clickConvert = [&] {
        if (request.selectedOnly)
            controller.cmdConvertSelected_Click();
        else
            controller.cmdConvert_Click();
    };
    services.pump.onInterrupt = clickConvert;
    clickConvert();
    services.pump.onInterrupt = nullptr;
    watcher.endCurrent();

    for (const std::string& source : taken) {
        if (watcher.reported(source))
            continue;
        JobReport report;
        report.source = source;
        report.outcome = JobReport::Outcome::Waiting;
        report.error = services.pump.interrupted ? "not started: the run was stopped" : "not started";
        watcher.end(report);
    }
    jobs.setObserver(nullptr);
    return watcher.takeReports();
}

} // namespace tunevale
