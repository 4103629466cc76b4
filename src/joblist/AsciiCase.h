#pragma once

#include <string>
#include <string_view>

namespace tunevale
{

// Letter case folding of ASCII letters only: file-name extensions and patterns are ASCII, and
// other bytes of UTF-8 names must compare unchanged.
constexpr char asciiLower(char c)
{
    return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c;
}

inline std::string asciiLower(std::string_view text)
{
    std::string lower(text);
    for (auto& c : lower)
        c = asciiLower(c);
    return lower;
}

} // namespace tunevale
