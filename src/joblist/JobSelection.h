#pragma once

namespace tunevale
{

class JobList;
class PreviewControl;
class SelectAllBox;

// Ticking every job through the select-all box, and removing the ticked jobs.
class JobSelection
{
public:
    JobSelection(JobList& jobs, SelectAllBox& chkSelectAll, PreviewControl& preview);

    // What a change of the select-all box does: every job gets the box's tick (1) or none (0).
    void selectAllPass();
    // Unticks the select-all box; when it was ticked, that unticks every job.
    void untickSelectAll();
    // Rebuilds the list without the ticked jobs (any CheckBox other than 0), stopping the preview
    // when its file goes, and unticks the select-all box.
    void removeTickedJobs();

private:
    JobList& m_jobs;
    SelectAllBox& m_chkSelectAll;
    PreviewControl& m_preview;
};

} // namespace tunevale
