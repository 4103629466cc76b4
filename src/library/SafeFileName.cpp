#include "SafeFileName.h"

#include "AsciiCase.h"

#include <algorithm>
#include <array>

namespace tunevale
{

namespace
{

bool isUnsafe(unsigned char c)
{
    static constexpr std::string_view Unsafe = "\\/:*?\"<>|";
    return c < 0x20 || c == 0x7f || Unsafe.find(static_cast<char>(c)) != std::string_view::npos;
}

bool isReservedDeviceName(std::string_view stem)
{
    static constexpr std::array<std::string_view, 4> Plain = {"con", "prn", "aux", "nul"};
    // Windows takes the part before the first dot: "con.tar.gz" names the console too.
    const auto lower = asciiLower(stem.substr(0, stem.find('.')));
    for (const auto name : Plain)
        if (lower == name)
            return true;
    return lower.size() == 4 && (lower.starts_with("com") || lower.starts_with("lpt")) && lower[3] >= '1' &&
           lower[3] <= '9';
}

void trimEnd(std::string& text)
{
    while (!text.empty() && (text.back() == '.' || text.back() == ' '))
        text.pop_back();
}

} // namespace

std::string cutAtCharacter(std::string_view text, std::size_t maxBytes)
{
    if (text.size() <= maxBytes)
        return std::string(text);
    std::size_t end = maxBytes;
    // Step back over continuation bytes (10xxxxxx) to the start of the character that would be cut.
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80)
        --end;
    return std::string(text.substr(0, end));
}

std::string safeFileName(std::string_view stem, std::string_view extension)
{
    std::string name;
    name.reserve(stem.size());
    for (const char c : stem)
        name += isUnsafe(static_cast<unsigned char>(c)) ? '_' : c;
    name.erase(0, std::min(name.find_first_not_of(' '), name.size()));
    if (!name.empty() && name.front() == '.')
        name.front() = '_';

    std::string suffix;
    if (!extension.empty())
        suffix = "." + safeFileName(extension);
    // The extension cannot end with a dot or a space, so only the stem's end needs trimming.
    name = cutAtCharacter(name, MaxNameBytes - std::min(suffix.size(), MaxNameBytes - 1));
    trimEnd(name);
    if (name.empty())
        name = "_";
    if (isReservedDeviceName(name)) {
        name.insert(std::min(name.find('.'), name.size()), "_");
        name = cutAtCharacter(name, MaxNameBytes - std::min(suffix.size(), MaxNameBytes - 1));
        trimEnd(name);
    }
    return name + suffix;
}

} // namespace tunevale
