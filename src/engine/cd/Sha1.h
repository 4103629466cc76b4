#pragma once

#include <array>
#include <cstdint>
#include <string_view>

namespace tunevale
{

// The SHA-1 digest of bytes (FIPS 180-4), as disc identifiers use it.
std::array<std::uint8_t, 20> sha1(std::string_view bytes);

} // namespace tunevale
