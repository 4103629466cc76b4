#pragma once

#include <cstdint>
#include <string>

namespace tunevale
{

// The size text of a file: "512 Bytes", "1.5 KB", "21.37 MB", "1 GB" (units of 1024, to the nearest
// hundredth with halves to even, shortest form). The decimal separator is the user's (the C library's
// numeric locale) unless one is given.
std::string FormatFileSize(std::uint64_t size);
std::string FormatFileSize(std::uint64_t size, const std::string& decimalSeparator);

} // namespace tunevale
