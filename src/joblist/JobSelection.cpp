#include "JobSelection.h"

#include "JobList.h"
#include "PreviewControl.h"
#include "SelectAllBox.h"

namespace tunevale
{

JobSelection::JobSelection(JobList& jobs, SelectAllBox& chkSelectAll, PreviewControl& preview)
    : m_jobs(jobs), m_chkSelectAll(chkSelectAll), m_preview(preview)
{
}

void JobSelection::selectAllPass()
{
    auto& table = m_jobs.rsJobs();
    const std::int32_t tick = m_chkSelectAll.value() == 1 ? 1 : 0;
    for (std::size_t row = 0; row < table.size(); ++row)
        table.setCheckBox(row, tick);
}

void JobSelection::untickSelectAll()
{
    if (m_chkSelectAll.value() == 0)
        return;
    m_chkSelectAll.setValue(0);
    selectAllPass();
}

void JobSelection::removeTickedJobs()
{
    auto kept = JobList::NewJobTable();
    const auto& table = m_jobs.rsJobs();
    if (table.empty())
        return;

    const auto previewFile = m_preview.PreviewFilePath();
    for (const auto& job : table.jobs()) {
        if (!job.ticked()) {
            // Every field goes along: the root decides where a kept-folders output goes.
            kept->append(job);
        } else if (job.FilePath == previewFile) {
            m_preview.stopPreview();
        }
    }
    m_jobs.replaceTable(std::move(kept));
    untickSelectAll();
}

} // namespace tunevale
