#pragma once

#include <cstdint>

namespace tunevale
{

// A colour as the control stores it: red in the low byte, green in the second, blue in the third.
// A value with the top bit set names a system colour; the control takes its bytes as they are.
using SliderColor = std::uint32_t;

constexpr SliderColor sliderRgb(std::uint8_t red, std::uint8_t green, std::uint8_t blue)
{
    return SliderColor(red) | SliderColor(green) << 8 | SliderColor(blue) << 16;
}

struct SliderRgb {
    std::uint8_t red = 0;
    std::uint8_t green = 0;
    std::uint8_t blue = 0;

    static constexpr SliderRgb fromColor(SliderColor color)
    {
        return {std::uint8_t(color & 0xFF), std::uint8_t(color >> 8 & 0xFF), std::uint8_t(color >> 16 & 0xFF)};
    }
    friend constexpr bool operator==(const SliderRgb&, const SliderRgb&) = default;
};

} // namespace tunevale
