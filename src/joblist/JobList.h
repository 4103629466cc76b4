#pragma once

#include "JobTable.h"

#include <cstddef>
#include <memory>
#include <optional>
#include <string>

namespace tunevale
{

// The window's job list: the table the grid shows (rsJobs), replaced as a whole by removal, and the
// job the batch driver is converting (sCurrentFile and its row CurrentRow).
class JobList
{
public:
    JobList() { CreateJobTable(); }

    // Puts a new empty table in place of rsJobs; true when it is ready.
    bool CreateJobTable();
    // A new empty table for rebuilding the list; rsJobs is not touched.
    static std::unique_ptr<JobTable> NewJobTable();
    // Puts table in place of rsJobs; the view follows and CurrentRow is cleared.
    void replaceTable(std::unique_ptr<JobTable> table);

    JobTable& rsJobs() { return *m_jobs; }
    const JobTable& rsJobs() const { return *m_jobs; }

    bool FileInList(const std::string& path) const { return m_jobs->FileInList(path); }

    // Sets CurrentRow to the job whose FilePath equals sCurrentFile exactly, or to nothing.
    // Paths are unique, so the one match is the same whatever order the view shows the rows in.
    void FindCurrentRow() { CurrentRow = m_jobs->rowOf(sCurrentFile); }

    // The view of the list (the grid's model); kept across table replacements.
    void setObserver(JobTableObserver* observer);

    std::string sCurrentFile;
    std::optional<std::size_t> CurrentRow; // row of rsJobs, nothing when the job is not listed

private:
    std::unique_ptr<JobTable> m_jobs;
    JobTableObserver* m_observer = nullptr;
};

} // namespace tunevale
