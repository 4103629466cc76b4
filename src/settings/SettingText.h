#pragma once

#include <optional>
#include <string>

namespace tunevale
{

// How stored setting texts read and are written.

// "True"/"False" in any letter case, or a number (non-zero is true); none for any other text.
std::optional<bool> parseOptionText(const std::string& text);
// "True" or "False".
std::string optionText(bool on);
// A decimal number (spaces around it, a sign, a fraction or an exponent allowed), rounded to the
// nearest integer with halves to the even neighbour; none when it is not a number or exceeds 32 bits.
std::optional<int> parseIntegerText(const std::string& text);

} // namespace tunevale
