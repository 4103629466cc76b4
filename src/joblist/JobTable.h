#pragma once

#include "Job.h"

#include <cstddef>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

namespace tunevale
{

class JobTableObserver;

// The jobs in the order they were added, with a path index so that the duplicate test and the
// current-row lookup do not walk the list. Paths are unique: append refuses a path already held.
class JobTable
{
public:
    JobTable() = default;
    JobTable(const JobTable&) = delete;
    JobTable& operator=(const JobTable&) = delete;

    std::size_t size() const { return m_jobs.size(); }
    bool empty() const { return m_jobs.empty(); }
    const Job& at(std::size_t row) const { return m_jobs.at(row); }
    const std::vector<Job>& jobs() const { return m_jobs; }

    // Appends a complete job; false (and nothing appended) when its path is already in the table.
    bool append(Job job);

    // True when a job's FilePath equals path exactly (case-sensitive, whole text).
    bool FileInList(const std::string& path) const { return m_rowOfPath.contains(path); }
    std::optional<std::size_t> rowOf(const std::string& path) const;

    // Field writes of the grid (ticks) and of the conversion (state, progress, failure).
    void setCheckBox(std::size_t row, std::int32_t value);
    void setState(std::size_t row, JobState state, float progress = 0, std::string failure = {});
    // The duration a probe measured for the job of path, which then counts as probed ("Codec Not
    // Supported" when it is DurationError). False when no job of path waits for one.
    bool setProbedDuration(const std::string& path, std::string duration);
    // The folder a job was added from, for adders that know it (a folder named on the command line).
    void setRoot(std::size_t row, std::string root) { m_jobs.at(row).Root = std::move(root); }

    // The observer is told of changes of this table; nullptr for none.
    void setObserver(JobTableObserver* observer) { m_observer = observer; }
    JobTableObserver* observer() const { return m_observer; }

private:
    void changed(std::size_t row);

    std::vector<Job> m_jobs;
    std::unordered_map<std::string, std::size_t> m_rowOfPath;
    JobTableObserver* m_observer = nullptr;
};

} // namespace tunevale
