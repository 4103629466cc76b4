#pragma once

#include "SliderColour.h"

#include <optional>

namespace tunevale
{

// Everything the view needs to draw the control once, computed by the model at each redraw.
struct SliderPicture {
    bool horizontal = true;
    int width = 0;
    int height = 0;
    // Top-left corner of the thumb bitmap (PicHandle or PicHandle2).
    int thumbLeft = 0;
    int thumbTop = 0;
    // Colour of the band of the filled strip.
    SliderRgb fill;
    // Colour of the band of the empty strips; unset until BackColor is first set, so the artwork shows.
    std::optional<SliderRgb> empty;

    friend bool operator==(const SliderPicture&, const SliderPicture&) = default;
};

} // namespace tunevale
