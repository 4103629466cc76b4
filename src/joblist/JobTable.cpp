#include "JobTable.h"

#include "JobTableObserver.h"

namespace tunevale
{

bool JobTable::append(Job job)
{
    const auto row = m_jobs.size();
    if (!m_rowOfPath.try_emplace(job.FilePath, row).second)
        return false;
    if (m_observer)
        m_observer->aboutToAppendRows(row, 1);
    m_jobs.push_back(std::move(job));
    if (m_observer)
        m_observer->rowsAppended(row, 1);
    return true;
}

std::optional<std::size_t> JobTable::rowOf(const std::string& path) const
{
    const auto found = m_rowOfPath.find(path);
    if (found == m_rowOfPath.end())
        return std::nullopt;
    return found->second;
}

void JobTable::setCheckBox(std::size_t row, std::int32_t value)
{
    auto& job = m_jobs.at(row);
    if (job.CheckBox == value)
        return;
    job.CheckBox = value;
    changed(row);
}

void JobTable::setState(std::size_t row, JobState state, float progress, std::string failure)
{
    auto& job = m_jobs.at(row);
    if (job.State == state && job.Progress == progress && job.Failure == failure)
        return;
    job.State = state;
    job.Progress = progress;
    job.Failure = std::move(failure);
    if (m_observer)
        m_observer->stateChanged(row);
}

bool JobTable::setProbedDuration(const std::string& path, std::string duration)
{
    const auto row = rowOf(path);
    if (!row || m_jobs[*row].Probed)
        return false;
    auto& job = m_jobs[*row];
    job.Probed = true;
    if (duration == DurationError && job.State == JobState::WaitingConversion)
        job.State = JobState::CodecNotSupported;
    job.Duration = std::move(duration);
    if (m_observer)
        m_observer->stateChanged(*row);
    return true;
}

void JobTable::changed(std::size_t row)
{
    if (m_observer)
        m_observer->rowChanged(row);
}

} // namespace tunevale
