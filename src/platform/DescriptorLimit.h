#pragma once

#include <cstddef>
#include <cstdint>

namespace tunevale
{

// Descriptors one conversion holds at most (source, claimed output, the encoder's input and
// standard error pipes, the tagging copy) and those the program keeps besides.
inline constexpr unsigned DescriptorsPerJob = 8;
inline constexpr unsigned DescriptorReserve = 32;
// Descriptors a finished output holds while it waits to be placed (its file, its private folder
// and the lock in it, the output folder).
inline constexpr unsigned DescriptorsPerHeldOutput = 4;

// Raises the soft limit on open descriptors to the hard one; the soft limit in force afterwards.
std::uint64_t raiseDescriptorLimit();

// The most conversions that can run at once within a descriptor limit: at least one.
unsigned parallelJobsWithin(std::uint64_t descriptorLimit);

// The soft limit on open descriptors in force.
std::uint64_t descriptorLimit();

// The most finished outputs that can wait to be placed beside `parallel` conversions at once
// within a descriptor limit: none when the conversions take it all.
std::size_t heldOutputsWithin(std::uint64_t descriptorLimit, unsigned parallel);

} // namespace tunevale
