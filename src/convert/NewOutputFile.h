#pragma once

#include <string>

namespace tunevale
{

// The output of one job, whose name was chosen because no file held it. A writer refuses a name
// that meanwhile exists (so nothing of the user's is overwritten) and, when the job fails,
// removes what the job itself created, so no half-written file looks like a result.
class NewOutputFile
{
public:
    explicit NewOutputFile(std::string path);

    // False when the name is empty or something (a file, a folder, a link) already holds it.
    bool claimable() const;
    // Removes the file the job created; nothing when the name was not claimable.
    void discard();

    // True when a non-empty file of that name exists.
    bool written() const;
    const std::string& path() const { return m_path; }

private:
    std::string m_path;
    bool m_claimable;
};

} // namespace tunevale
