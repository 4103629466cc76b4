#pragma once

#include <cstddef>
#include <string>

namespace tunevale
{

// Opens path for reading when it is a regular file, else -1. The open does not wait for a FIFO's
// writer or a device, and the descriptor checked is the one returned, so the path cannot be swapped
// for something else in between. The caller closes the descriptor.
int openRegularFile(const std::string& path);

// Reads a whole regular file of at most maxSize bytes into bytes. EngineCode::Ok; FileOpen when
// path is not a readable regular file; Format when it is longer than maxSize (known before reading).
int readRegularFile(const std::string& path, std::size_t maxSize, std::string& bytes);

} // namespace tunevale
