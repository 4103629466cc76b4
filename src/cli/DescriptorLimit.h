#pragma once

#include <cstdint>

namespace tunevale
{

// Descriptors one conversion holds at most (source, claimed output, the encoder's input and
// standard error pipes, the tagging copy) and those the program keeps besides.
inline constexpr unsigned DescriptorsPerJob = 8;
inline constexpr unsigned DescriptorReserve = 32;

// Raises the soft limit on open descriptors to the hard one; the soft limit in force afterwards.
std::uint64_t raiseDescriptorLimit();

// The most conversions that can run at once within a descriptor limit: at least one.
unsigned parallelJobsWithin(std::uint64_t descriptorLimit);

} // namespace tunevale
