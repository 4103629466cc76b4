#pragma once

namespace tunevale
{

// Copies every byte from the open descriptor from (read from where it stands) to the open
// descriptor to (written where it stands): in the kernel where the file systems allow it, by
// reading and writing otherwise. 0, or the errno of the failure.
int copyFileBytes(int from, int to);

} // namespace tunevale
