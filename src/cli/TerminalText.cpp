#include "TerminalText.h"

#include <cstdint>

namespace tunevale
{

namespace
{

// The length of the valid UTF-8 sequence at text[at], 0 when there is none.
std::size_t sequenceLength(const std::string& text, std::size_t at)
{
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(at);
    std::size_t length = 0;
    std::uint32_t lowest = 0;
    if (lead < 0x80)
        return 1;
    if ((lead & 0xE0) == 0xC0) {
        length = 2;
        lowest = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3;
        lowest = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4;
        lowest = 0x10000;
    } else {
        return 0;
    }
    if (at + length > text.size())
        return 0;
    std::uint32_t code = lead & (0x7F >> length);
    for (std::size_t i = 1; i < length; ++i) {
        if ((byte(at + i) & 0xC0) != 0x80)
            return 0;
        code = (code << 6) | (byte(at + i) & 0x3F);
    }
    if (code < lowest || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
        return 0;
    return length;
}

void appendOctal(std::string& out, unsigned char byte)
{
    out += '\\';
    out += static_cast<char>('0' + (byte >> 6));
    out += static_cast<char>('0' + ((byte >> 3) & 7));
    out += static_cast<char>('0' + (byte & 7));
}

} // namespace

std::string escapedText(const std::string& text)
{
    static const char* const named = "abtnvfr"; // \a (7) to \r (13)
    std::string out;
    out.reserve(text.size());
    for (std::size_t at = 0; at < text.size();) {
        const auto byte = static_cast<unsigned char>(text[at]);
        const std::size_t length = sequenceLength(text, at);
        // C1 controls are U+0080 to U+009F: 0xC2 then 0x80 to 0x9F.
        const bool c1 = length == 2 && byte == 0xC2 && static_cast<unsigned char>(text[at + 1]) < 0xA0;
        if (length == 0 || c1) {
            for (std::size_t i = 0; i < (c1 ? 2 : 1); ++i)
                appendOctal(out, static_cast<unsigned char>(text[at + i]));
            at += c1 ? 2 : 1;
            continue;
        }
        if (byte == '\\')
            out += "\\\\";
        else if (byte >= 7 && byte <= 13)
            out += std::string("\\") + named[byte - 7];
        else if (byte < 0x20 || byte == 0x7F)
            appendOctal(out, byte);
        else
            out.append(text, at, length);
        at += length;
    }
    return out;
}

bool isValidUtf8(const std::string& text)
{
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t length = sequenceLength(text, at);
        if (length == 0)
            return false;
        at += length;
    }
    return true;
}

} // namespace tunevale
