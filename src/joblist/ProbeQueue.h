#pragma once

#include <string>

namespace tunevale
{

// Takes files whose duration is to be measured later, beside the window; the answer comes back to
// the job table (JobTable::setProbedDuration) on the UI thread.
class ProbeQueue
{
public:
    virtual ~ProbeQueue() = default;
    virtual void enqueue(std::string path) = 0;
};

} // namespace tunevale
