#pragma once

#include <cstdint>

namespace tunevale
{

struct SliderSize {
    int width = 0;
    int height = 0;
    friend constexpr bool operator==(const SliderSize&, const SliderSize&) = default;
};

// What the slider tells its container. The five events are declared in their fixed order
// (DblClick, Scroll, Change, Click, MouseUp); UI thread only.
class SliderHost
{
public:
    virtual ~SliderHost() = default;

    // Value is the control's value; a handler that changes it sets the control's value (clamped).
    virtual void DblClick(std::int32_t& Value) = 0;
    virtual void Scroll() = 0;
    virtual void Change() = 0;
    virtual void Click() = 0;
    // Button and Shift are bit masks (left 1, right 2, middle 4; Shift 1, Ctrl 2, Alt 4), X and Y pixels.
    virtual void MouseUp(std::int16_t Button, std::int16_t Shift, float X, float Y) = 0;

    // The picture changed: show it.
    virtual void redraw() = 0;
    // The control gave itself a new size (resize rules, style change).
    virtual void sizeChanged(SliderSize size) = 0;
};

} // namespace tunevale
