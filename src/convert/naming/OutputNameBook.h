#pragma once

#include <set>
#include <string>

namespace tunevale
{

// The final names that the jobs of a run hold until their outputs are placed, so that jobs
// converting at the same time never meet on one name, no placeholder has to lie on the disk under
// a final name meanwhile, and each job gets the name a one-at-a-time run would give it: the first
// of the naming rule (base, base_Converted, base_Converted_0 ...) that neither the disk nor another
// job of the run holds. Not locked: the run calls it under the lock with which it hands out jobs.
class OutputNameBook
{
public:
    // The first free name for the source in folder, now held; "" when every name is taken.
    std::string reserve(const std::string& folder, const std::string& sourceFile, const std::string& extension);
    // The same for an output whose base name is given.
    std::string reserveBase(const std::string& folder, const std::string& base, const std::string& extension);
    // The first name of the rule that no job of the run holds, whatever lies on the disk under it;
    // now held. For outputs that may be kept or replaced when they exist.
    std::string reserveOwn(const std::string& folder, const std::string& base, const std::string& extension);
    // Holds a name chosen by the caller; false when a job of the run holds it already.
    bool hold(const std::string& path) { return m_held.insert(path).second; }
    // Gives a name back: placed (the disk holds it now) or given up by a job that failed.
    void release(const std::string& path);

private:
    std::set<std::string> m_held;
};

} // namespace tunevale
