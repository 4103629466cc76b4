#pragma once

#include <sys/resource.h>
#include <unistd.h>

namespace tunevale
{

// Gives the calling thread a lower priority than the job's other threads: for work that trails the
// encoder (decoding an output back), so that the encoder, whose pace sets the job's, keeps its core
// and the check uses what the other threads leave idle. On Linux the nice value is the thread's.
inline void yieldToTheJobsOtherThreads()
{
    constexpr int Lower = 5;
    ::setpriority(PRIO_PROCESS, static_cast<id_t>(::gettid()), ::getpriority(PRIO_PROCESS, 0) + Lower);
}

} // namespace tunevale
