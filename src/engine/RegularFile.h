#pragma once

#include <cstddef>
#include <optional>
#include <string>

namespace tunevale
{

// Opens path for reading when it is a regular file, else -1. The open does not wait for a FIFO's
// writer or a device, and the descriptor checked is the one returned, so the path cannot be swapped
// for something else in between. The caller closes the descriptor.
int openRegularFile(const std::string& path);

// The first bytes of a regular file, at most limit + 1 of them (so that a caller can tell a file
// over its limit); nullopt when path is not a readable regular file.
std::optional<std::string> readRegularFile(const std::string& path, std::size_t limit);

} // namespace tunevale
