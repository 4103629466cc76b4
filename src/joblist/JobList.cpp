#include "JobList.h"

#include "JobTableObserver.h"

namespace tunevale
{

bool JobList::CreateJobTable()
{
    replaceTable(NewJobTable());
    return m_jobs != nullptr;
}

std::unique_ptr<JobTable> JobList::NewJobTable()
{
    return std::make_unique<JobTable>();
}

void JobList::replaceTable(std::unique_ptr<JobTable> table)
{
    if (!table)
        return;
    if (m_observer)
        m_observer->aboutToReplaceTable();
    if (m_jobs)
        m_jobs->setObserver(nullptr);
    m_jobs = std::move(table);
    m_jobs->setObserver(m_observer);
    CurrentRow.reset();
    if (m_observer)
        m_observer->tableReplaced();
}

void JobList::setObserver(JobTableObserver* observer)
{
    m_observer = observer;
    m_jobs->setObserver(observer);
}

} // namespace tunevale
