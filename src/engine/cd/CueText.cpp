#include "CueText.h"

#include <cstdint>
#include <iconv.h>
#include <optional>

namespace tunevale
{

namespace
{

// The bytes converted from a legacy encoding by iconv; nothing when any byte sequence is not
// valid in it.
std::optional<std::string> convertToUtf8(std::string_view bytes, const char* encoding)
{
    const iconv_t converter = iconv_open("UTF-8", encoding);
    if (converter == reinterpret_cast<iconv_t>(-1))
        return std::nullopt;
    std::string out(bytes.size() * 3 + 16, '\0');
    char* in = const_cast<char*>(bytes.data());
    std::size_t inLeft = bytes.size();
    char* outPointer = out.data();
    std::size_t outLeft = out.size();
    const std::size_t result = iconv(converter, &in, &inLeft, &outPointer, &outLeft);
    iconv_close(converter);
    if (result == static_cast<std::size_t>(-1) || inLeft != 0)
        return std::nullopt;
    out.resize(out.size() - outLeft);
    return out;
}

// Shift-JIS text is mostly double-byte characters whose second byte lies above 0x7F (all of
// hiragana, most kanji). Latin-1 text that happens to decode as Shift-JIS pairs an accented letter
// or a typographic quote with the ASCII letter after it ("é" + "t", "'" + "s"), so its second bytes
// are ASCII.
bool looksLikeShiftJis(std::string_view bytes)
{
    int highTrails = 0;
    int lowTrails = 0;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const auto lead = static_cast<unsigned char>(bytes[i]);
        const bool doubleByte = (lead >= 0x81 && lead <= 0x9F) || (lead >= 0xE0 && lead <= 0xFC);
        if (!doubleByte || i + 1 >= bytes.size())
            continue;
        const auto trail = static_cast<unsigned char>(bytes[++i]);
        (trail >= 0x80 ? highTrails : lowTrails)++;
    }
    return highTrails > 0 && highTrails >= lowTrails;
}

std::string latin1ToUtf8(std::string_view bytes)
{
    std::string out;
    out.reserve(bytes.size() * 2);
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x80) {
            out += c;
        } else {
            out += static_cast<char>(0xC0 | (byte >> 6));
            out += static_cast<char>(0x80 | (byte & 0x3F));
        }
    }
    return out;
}

} // namespace

bool isValidUtf8(std::string_view bytes)
{
    std::size_t i = 0;
    while (i < bytes.size()) {
        const auto lead = static_cast<unsigned char>(bytes[i]);
        int extra = 0;
        std::uint32_t point = 0;
        if (lead < 0x80) {
            ++i;
            continue;
        }
        if (lead >= 0xC2 && lead <= 0xDF) {
            extra = 1;
            point = lead & 0x1F;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            extra = 2;
            point = lead & 0x0F;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            extra = 3;
            point = lead & 0x07;
        } else {
            return false;
        }
        if (i + static_cast<std::size_t>(extra) >= bytes.size())
            return false;
        for (int k = 1; k <= extra; ++k) {
            const auto next = static_cast<unsigned char>(bytes[i + k]);
            if ((next & 0xC0) != 0x80)
                return false;
            point = (point << 6) | (next & 0x3F);
        }
        const std::uint32_t lowest = extra == 1 ? 0x80 : extra == 2 ? 0x800 : 0x10000;
        if (point < lowest || point > 0x10FFFF || (point >= 0xD800 && point <= 0xDFFF))
            return false;
        i += static_cast<std::size_t>(extra) + 1;
    }
    return true;
}

std::string cueTextToUtf8(std::string_view bytes)
{
    static constexpr std::string_view ByteOrderMark = "\xEF\xBB\xBF";
    if (bytes.substr(0, ByteOrderMark.size()) == ByteOrderMark)
        bytes.remove_prefix(ByteOrderMark.size());
    if (isValidUtf8(bytes))
        return std::string(bytes);
    if (looksLikeShiftJis(bytes))
        if (auto text = convertToUtf8(bytes, "CP932"))
            return *text;
    if (auto text = convertToUtf8(bytes, "CP1252"))
        return *text;
    // Windows-1252 leaves five bytes undefined; Latin-1 reads every byte.
    return latin1ToUtf8(bytes);
}

} // namespace tunevale
