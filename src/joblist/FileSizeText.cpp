#include "FileSizeText.h"

#include <clocale>

namespace tunevale
{

namespace
{

constexpr std::uint64_t KB = 1024;
constexpr std::uint64_t MB = KB * 1024;
constexpr std::uint64_t GB = MB * 1024;

// size * 100 / unit to the nearest whole number, halves to the even neighbour, without overflow.
std::uint64_t hundredths(std::uint64_t size, std::uint64_t unit)
{
    const unsigned __int128 scaled = static_cast<unsigned __int128>(size) * 100;
    auto quotient = static_cast<std::uint64_t>(scaled / unit);
    const auto twiceRemainder = static_cast<unsigned __int128>(scaled % unit) * 2;
    if (twiceRemainder > unit || (twiceRemainder == unit && quotient % 2 == 1))
        ++quotient;
    return quotient;
}

} // namespace

std::string FormatFileSize(std::uint64_t size)
{
    const char* point = std::localeconv()->decimal_point;
    return FormatFileSize(size, point && *point ? point : ".");
}

std::string FormatFileSize(std::uint64_t size, const std::string& decimalSeparator)
{
    if (size < KB)
        return std::to_string(size) + " Bytes";

    const auto [unit, name] = size < MB   ? std::pair{KB, " KB"}
                              : size < GB ? std::pair{MB, " MB"}
                                          : std::pair{GB, " GB"};
    const auto value = hundredths(size, unit);
    auto text = std::to_string(value / 100);
    if (const auto fraction = value % 100; fraction != 0) {
        text += decimalSeparator;
        text += char('0' + fraction / 10);
        if (fraction % 10 != 0)
            text += char('0' + fraction % 10);
    }
    return text + name;
}

} // namespace tunevale
