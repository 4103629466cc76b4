#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace tunevale
{

// Makes tag text safe to pass on: valid UTF-8 (each malformed, overlong or surrogate sequence
// becomes U+FFFD), without control characters other than tab and line breaks.
inline std::string cleanTagText(std::string_view text)
{
    static constexpr std::string_view Replacement = "\xEF\xBF\xBD";
    std::string clean;
    clean.reserve(text.size());
    std::size_t i = 0;
    while (i < text.size()) {
        const auto lead = static_cast<unsigned char>(text[i]);
        if (lead < 0x80) {
            if ((lead >= 0x20 && lead != 0x7F) || lead == '\t' || lead == '\n' || lead == '\r')
                clean += static_cast<char>(lead);
            ++i;
            continue;
        }
        const std::size_t length = lead > 0xF4 ? 0 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC2 ? 2 : 0;
        std::uint32_t code = length == 4 ? lead & 0x07u : length == 3 ? lead & 0x0Fu : lead & 0x1Fu;
        std::size_t taken = 1; // the lead byte and the continuation bytes that follow it
        bool valid = length != 0;
        while (valid && taken < length) {
            if (i + taken == text.size()) {
                valid = false;
                break;
            }
            const auto next = static_cast<unsigned char>(text[i + taken]);
            valid = (next & 0xC0) == 0x80;
            if (valid) {
                code = (code << 6) | (next & 0x3Fu);
                ++taken;
            }
        }
        static constexpr std::uint32_t Smallest[] = {0, 0, 0x80, 0x800, 0x10000};
        valid = valid && code >= Smallest[length] && code <= 0x10FFFF && (code < 0xD800 || code > 0xDFFF);
        if (!valid)
            clean += Replacement;
        else if (code >= 0xA0) // C1 controls are dropped like C0 ones
            clean.append(text.substr(i, length));
        i += taken;
    }
    return clean;
}

} // namespace tunevale
