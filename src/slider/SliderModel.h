#pragma once

#include "SliderColour.h"
#include "SliderHost.h"
#include "SliderPicture.h"
#include "SliderPropertyBag.h"

#include <cstdint>
#include <optional>

namespace tunevale
{

// The slider control without a window: its nine properties and the rules their setters enforce,
// its geometry, and its answers to mouse, click, key and resize input. Every change that shows is
// announced to the host (redraw, sizeChanged) and the control's events go to the host too.
//
// Setters keep Min < Max and Min <= Value <= Max. Arithmetic that leaves the 32-bit range
// (Min + 1 or Max - 1 at the limits, a span Max - Min beyond 32 bits, an arrow key at the limits)
// throws std::overflow_error; what the setter stored before the failing step stays stored.
class SliderModel
{
public:
    static constexpr std::int32_t StyleHorizontal = 0;
    static constexpr std::int32_t StyleVertical = 1;

    // Windows virtual key codes of the arrow keys.
    static constexpr int KeyLeft = 37;
    static constexpr int KeyUp = 38;
    static constexpr int KeyRight = 39;
    static constexpr int KeyDown = 40;

    // Mouse button state as a bit mask, as the MouseUp event reports it.
    static constexpr int ButtonLeft = 1;

    struct MousePosition {
        double x = 0;
        double y = 0;
        friend constexpr bool operator==(const MousePosition&, const MousePosition&) = default;
    };

    // Creation: default properties (colour components not derived), the size passed through the
    // resize rules, one redraw.
    SliderModel(SliderHost& host, SliderSize size);

    std::int32_t value() const { return m_value; }
    std::int32_t max() const { return m_max; }
    std::int32_t min() const { return m_min; }
    SliderColor backColor() const { return m_backColor; }
    SliderColor foreColor() const { return m_foreColor; }
    SliderColor foreColor2() const { return m_foreColor2; }
    bool enabled() const { return m_enabled; }
    bool snap() const { return m_snap; }
    std::int32_t style() const { return m_style; }
    bool horizontal() const { return m_style == StyleHorizontal; }

    void setValue(std::int32_t value);
    void setMax(std::int32_t value);
    void setMin(std::int32_t value);
    void setBackColor(SliderColor color);
    void setForeColor(SliderColor color);
    void setForeColor2(SliderColor color);
    void setEnabled(bool enabled);
    void setSnap(bool snap);
    void setStyle(std::int32_t style);

    SliderSize size() const { return m_size; }
    // The resize rules: at least MinimumLength long, exactly Thickness thick.
    void resize(SliderSize size);

    void save(SliderPropertyBag& bag) const;
    // Hands each stored property to its setter; an error of a setter, or a stored number that does
    // not fit its property, is thrown and the remaining properties are not read.
    void load(const SliderPropertyBag& bag);

    void mouseMove(int button, double x, double y);
    void click();
    void dblClick();
    void mouseUp(std::int16_t button, std::int16_t shift, float x, float y);
    void keyDown(int keyCode);

    bool thumbFollowsMouse() const { return m_thumbFollowsMouse; }
    double thumbPositionFromMouse() const { return m_thumbPositionFromMouse; }
    MousePosition lastMousePosition() const { return m_lastMouse; }

    // What the last successful redraw computed.
    const SliderPicture& picture() const { return m_picture; }
    // Colour of the filled part, blended between ForeColor and ForeColor2 by the thumb's place.
    SliderRgb fillColour() const;
    // Left edge (horizontal) or top edge (vertical) of the thumb.
    int thumbEdge() const;

private:
    struct Components {
        double red = 0;
        double green = 0;
        double blue = 0;
    };

    std::int32_t span() const;
    int trackLength() const;
    bool thumbFromMouse() const { return !m_snap && m_thumbFollowsMouse; }
    void applyResizeRules();
    void redraw();
    void changed();
    MousePosition valueFromMousePosition(MousePosition mouse);

    SliderHost& m_host;
    std::int32_t m_value = 50;
    std::int32_t m_max = 100;
    std::int32_t m_min = -100;
    SliderColor m_backColor = 0;
    SliderColor m_foreColor = sliderRgb(200, 200, 0);
    SliderColor m_foreColor2 = sliderRgb(200, 0, 0);
    bool m_enabled = true;
    bool m_snap = false;
    std::int32_t m_style = StyleHorizontal;
    Components m_fore;
    Components m_fore2;
    std::optional<SliderRgb> m_emptyBand;
    bool m_thumbFollowsMouse = false;
    MousePosition m_lastMouse;
    double m_thumbPositionFromMouse = 0;
    SliderSize m_size;
    SliderPicture m_picture;
};

} // namespace tunevale
