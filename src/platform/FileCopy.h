#pragma once

#include <cstddef>

namespace tunevale
{

// Copies every byte from the open descriptor from (read from where it stands) to the open
// descriptor to (written where it stands): in the kernel where the file systems allow it, by
// reading and writing otherwise. 0, or the errno of the failure.
int copyFileBytes(int from, int to);

// Writes every byte given to the open descriptor, again after interruptions and short writes;
// false (errno set) when a write fails.
bool writeAllBytes(int fd, const void* data, std::size_t size);

} // namespace tunevale
