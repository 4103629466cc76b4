#include "DescriptorLimit.h"

#include <algorithm>
#include <sys/resource.h>

namespace tunevale
{

namespace
{

std::uint64_t softLimitOf(const rlimit& limit)
{
    return limit.rlim_cur == RLIM_INFINITY ? UINT64_MAX : static_cast<std::uint64_t>(limit.rlim_cur);
}

} // namespace

std::uint64_t raiseDescriptorLimit()
{
    rlimit limit{};
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0)
        return 1024;
    if (limit.rlim_cur < limit.rlim_max) {
        rlimit raised = limit;
        raised.rlim_cur = limit.rlim_max;
        if (::setrlimit(RLIMIT_NOFILE, &raised) == 0)
            limit = raised;
    }
    return softLimitOf(limit);
}

std::uint64_t descriptorLimit()
{
    rlimit limit{};
    return ::getrlimit(RLIMIT_NOFILE, &limit) == 0 ? softLimitOf(limit) : 1024;
}

unsigned parallelJobsWithin(std::uint64_t descriptorLimit)
{
    if (descriptorLimit <= DescriptorReserve + DescriptorsPerJob)
        return 1;
    return static_cast<unsigned>(
        std::min<std::uint64_t>((descriptorLimit - DescriptorReserve) / DescriptorsPerJob, 4096));
}

std::size_t heldOutputsWithin(std::uint64_t descriptorLimit, unsigned parallel)
{
    const std::uint64_t used = DescriptorReserve + std::uint64_t{parallel} * DescriptorsPerJob;
    if (descriptorLimit <= used)
        return 0;
    return static_cast<std::size_t>(std::min<std::uint64_t>((descriptorLimit - used) / DescriptorsPerHeldOutput, 4096));
}

} // namespace tunevale
