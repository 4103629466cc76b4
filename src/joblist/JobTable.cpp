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

void JobTable::setStatus(std::size_t row, const std::string& status)
{
    m_jobs.at(row).Status = status;
    changed(row);
}

void JobTable::setStatusColour(std::size_t row, std::optional<CellColour> colour)
{
    m_jobs.at(row).statusColour = colour;
    changed(row);
}

void JobTable::changed(std::size_t row)
{
    if (m_observer)
        m_observer->rowChanged(row);
}

} // namespace tunevale
