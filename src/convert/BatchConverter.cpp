#include "BatchConverter.h"

#include "FormatWriters.h"
#include "JobList.h"
#include "OutputFileName.h"
#include "OutputSettings.h"
#include "RowJobContext.h"

namespace tunevale
{

BatchConverter::BatchConverter(JobList& jobs, const OutputSettings& settings, FormatWriters& writers, EventPump& events,
                               ConversionFlags& flags, OutputNamer outputName, std::function<void()> stopPreview)
    : m_jobs(jobs), m_settings(settings), m_writers(writers), m_events(events), m_flags(flags),
      m_outputName(std::move(outputName)), m_stopPreview(std::move(stopPreview))
{
}

bool BatchConverter::takes(std::size_t row, bool bSelectedOnly) const
{
    const Job& job = m_jobs.rsJobs().at(row);
    if (job.Status != JobStatus::WaitingConversion && job.Status != JobStatus::Cancelled)
        return false;
    return !bSelectedOnly || job.ticked();
}

bool BatchConverter::ConvertFiles(bool bSelectedOnly)
{
    if (m_stopPreview)
        m_stopPreview();
    m_flags.bConverting = true;
    bool started = false;
    const std::size_t count = m_jobs.rsJobs().size();
    for (std::size_t row = 0; row < count; ++row) {
        if (m_flags.bCancelConversion)
            break;
        // The list cannot shrink during a run (removal is disabled); should it, the run ends.
        if (row >= m_jobs.rsJobs().size())
            break;
        if (!takes(row, bSelectedOnly))
            continue;
        started = true;
        convertRow(row);
    }
    m_flags.bConverting = false;
    m_flags.bCancelConversion = false;
    return started;
}

void BatchConverter::convertRow(std::size_t row)
{
    m_jobs.sCurrentFile = m_jobs.rsJobs().at(row).FilePath;
    m_jobs.FindCurrentRow();
    const std::optional<FileFormat> format = m_settings.chosenFormat();
    if (!format)
        return;
    const std::string source = m_jobs.sCurrentFile;
    const std::optional<std::string> outFile = m_outputName(source, outputExtension(*format));
    if (!outFile)
        return;
    RowJobContext context(m_jobs.rsJobs(), m_jobs.CurrentRow, m_events, m_flags);
    if (outFile->empty()) {
        finishJob(context, JobOutcome::Error);
        return;
    }
    m_writers.convert(m_settings, *format, source, *outFile, context);
}

BatchConverter::OutputNamer outputNamer(const OutputSettings& settings, MessageBox& messages)
{
    return
        [&settings, &messages](const std::string& source, const std::string& extension) -> std::optional<std::string> {
            const OutputFileName name = GetOutputFileName(source, extension, settings, messages);
            switch (name.outcome) {
            case OutputFileName::Outcome::Name:
                return name.path;
            case OutputFileName::Outcome::EmptyName:
                return std::string();
            case OutputFileName::Outcome::FolderCreationFailed:
                break;
            }
            return std::nullopt;
        };
}

} // namespace tunevale
