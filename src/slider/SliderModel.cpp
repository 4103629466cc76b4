#include "SliderModel.h"

#include "SliderMetrics.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <stdexcept>
#include <string>

namespace tunevale
{

namespace
{

using namespace SliderMetrics;

// Halves go to the even neighbour (the default rounding mode), as the geometry expects.
double nearest(double value)
{
    return std::nearbyint(value);
}

std::int32_t checkedAdd(std::int32_t a, std::int32_t b, const char* what)
{
    std::int32_t sum = 0;
    if (__builtin_add_overflow(a, b, &sum))
        throw std::overflow_error(std::string("Slider: overflow in ") + what);
    return sum;
}

std::int32_t checkedSub(std::int32_t a, std::int32_t b, const char* what)
{
    std::int32_t difference = 0;
    if (__builtin_sub_overflow(a, b, &difference))
        throw std::overflow_error(std::string("Slider: overflow in ") + what);
    return difference;
}

std::int64_t readProperty(const SliderPropertyBag& bag, std::string_view name, std::int64_t fallback,
                          std::int64_t lowest, std::int64_t highest)
{
    const std::int64_t stored = bag.read(name).value_or(fallback);
    if (stored < lowest || stored > highest)
        throw std::out_of_range("Slider: stored property " + std::string(name) + " = " + std::to_string(stored) +
                                " is out of range");
    return stored;
}

std::int32_t readInt32(const SliderPropertyBag& bag, std::string_view name, std::int32_t fallback)
{
    return std::int32_t(readProperty(bag, name, fallback, std::numeric_limits<std::int32_t>::min(),
                                     std::numeric_limits<std::int32_t>::max()));
}

// Colours are also accepted as the signed 32-bit numbers that some containers store.
SliderColor readColor(const SliderPropertyBag& bag, std::string_view name, SliderColor fallback)
{
    return SliderColor(readProperty(bag, name, fallback, std::numeric_limits<std::int32_t>::min(),
                                    std::numeric_limits<std::uint32_t>::max()));
}

bool readBool(const SliderPropertyBag& bag, std::string_view name, bool fallback)
{
    return bag.read(name).value_or(fallback ? 1 : 0) != 0;
}

void writeUnlessDefault(SliderPropertyBag& bag, std::string_view name, std::int64_t value, std::int64_t fallback)
{
    if (value != fallback)
        bag.write(name, value);
}

constexpr std::int32_t DefaultValue = 50;
constexpr std::int32_t DefaultMax = 100;
constexpr std::int32_t DefaultMin = -100;
constexpr SliderColor DefaultBackColor = 0;
constexpr SliderColor DefaultForeColor = sliderRgb(200, 200, 0);
constexpr SliderColor DefaultForeColor2 = sliderRgb(200, 0, 0);

} // namespace

SliderModel::SliderModel(SliderHost& host, SliderSize size) : m_host(host), m_size(size)
{
    applyResizeRules();
    redraw();
}

void SliderModel::setValue(std::int32_t value)
{
    if (value < m_min)
        value = m_min;
    if (value > m_max)
        value = m_max;
    m_value = value;
    m_thumbFollowsMouse = false;
    redraw();
    changed();
}

void SliderModel::setMax(std::int32_t value)
{
    m_max = value;
    if (m_min >= value)
        m_max = checkedAdd(m_min, 1, "Max");
    if (m_value > m_max)
        m_value = m_max;
    m_thumbFollowsMouse = false;
    redraw();
    changed();
}

void SliderModel::setMin(std::int32_t value)
{
    m_min = value;
    if (value >= m_max)
        m_min = checkedSub(m_max, 1, "Min");
    if (m_value < m_min)
        m_value = m_min;
    m_thumbFollowsMouse = false;
    redraw();
    changed();
}

void SliderModel::setBackColor(SliderColor color)
{
    m_backColor = color;
    m_emptyBand = SliderRgb::fromColor(color);
    m_thumbFollowsMouse = false;
    redraw();
    changed();
}

void SliderModel::setForeColor(SliderColor color)
{
    m_foreColor = color;
    const SliderRgb rgb = SliderRgb::fromColor(color);
    m_fore = {double(rgb.red), double(rgb.green), double(rgb.blue)};
    m_thumbFollowsMouse = false;
    redraw();
    changed();
}

void SliderModel::setForeColor2(SliderColor color)
{
    m_foreColor2 = color;
    const SliderRgb rgb = SliderRgb::fromColor(color);
    m_fore2 = {double(rgb.red), double(rgb.green), double(rgb.blue)};
    m_thumbFollowsMouse = false;
    redraw();
    changed();
}

void SliderModel::setEnabled(bool enabled)
{
    m_enabled = enabled;
}

void SliderModel::setSnap(bool snap)
{
    m_snap = snap;
}

void SliderModel::setStyle(std::int32_t style)
{
    m_style = style;
    // The new length starts from the thickness; turning a control thus swaps its sides.
    if (horizontal())
        m_size.width = m_size.height;
    else
        m_size.height = m_size.width;
    applyResizeRules();
    m_thumbFollowsMouse = false;
    m_host.sizeChanged(m_size);
    redraw();
}

void SliderModel::resize(SliderSize size)
{
    m_size = size;
    applyResizeRules();
    m_thumbFollowsMouse = false;
    m_host.sizeChanged(m_size);
    redraw();
}

void SliderModel::applyResizeRules()
{
    if (horizontal()) {
        m_size.width = std::max(m_size.width, MinimumLength);
        m_size.height = Thickness;
    } else {
        m_size.height = std::max(m_size.height, MinimumLength);
        m_size.width = Thickness;
    }
}

void SliderModel::save(SliderPropertyBag& bag) const
{
    writeUnlessDefault(bag, "Value", m_value, DefaultValue);
    writeUnlessDefault(bag, "Max", m_max, DefaultMax);
    writeUnlessDefault(bag, "Min", m_min, DefaultMin);
    writeUnlessDefault(bag, "BackColor", m_backColor, DefaultBackColor);
    writeUnlessDefault(bag, "ForeColor", m_foreColor, DefaultForeColor);
    writeUnlessDefault(bag, "ForeColor2", m_foreColor2, DefaultForeColor2);
    writeUnlessDefault(bag, "Enabled", m_enabled ? 1 : 0, 1);
    writeUnlessDefault(bag, "Snap", m_snap ? 1 : 0, 0);
    writeUnlessDefault(bag, "Style", m_style, StyleHorizontal);
}

void SliderModel::load(const SliderPropertyBag& bag)
{
    // Value goes first, so it is clamped against the limits in force before Max and Min are read.
    setValue(readInt32(bag, "Value", DefaultValue));
    setMax(readInt32(bag, "Max", DefaultMax));
    setMin(readInt32(bag, "Min", DefaultMin));
    setBackColor(readColor(bag, "BackColor", DefaultBackColor));
    setForeColor(readColor(bag, "ForeColor", DefaultForeColor));
    setForeColor2(readColor(bag, "ForeColor2", DefaultForeColor2));
    setEnabled(readBool(bag, "Enabled", true));
    setSnap(readBool(bag, "Snap", false));
    setStyle(readInt32(bag, "Style", StyleHorizontal));
    m_thumbFollowsMouse = false;
    redraw();
}

std::int32_t SliderModel::span() const
{
    return checkedSub(m_max, m_min, "Max - Min");
}

int SliderModel::trackLength() const
{
    if (horizontal())
        return m_size.width - LeftCapWidth - RightCapWidth - HandleLength;
    return m_size.height - BottomCapHeight - TopCapHeight - HandleLength;
}

int SliderModel::thumbEdge() const
{
    if (thumbFromMouse()) {
        const int position = int(nearest(m_thumbPositionFromMouse));
        return horizontal() ? position : m_size.height - position;
    }
    const double spanLength = span();
    const double track = trackLength();
    if (horizontal()) {
        const double x1 = nearest(m_value / spanLength * track);
        const double x2 = nearest(HandleLength / 2.0 + x1 + 1);
        return int(nearest(x2 - m_min / spanLength * track));
    }
    const double p1 = nearest(m_value / spanLength * track);
    const double p2 = nearest(HandleLength / 2.0 + p1 + 1 + HandleLength);
    return m_size.height - int(nearest(p2 - m_min / spanLength * track));
}

SliderRgb SliderModel::fillColour() const
{
    double blend = 0;
    if (thumbFromMouse()) {
        const int travel =
            horizontal() ? m_size.width - LeftCapWidth - RightCapWidth : m_size.height - BottomCapHeight - TopCapHeight;
        blend = m_thumbPositionFromMouse / travel;
    } else {
        blend = (double(m_value) - m_min) / span();
    }
    const auto mix = [blend](double from, double to) {
        return std::uint8_t(nearest(std::clamp((1 - blend) * from + blend * to, 0.0, 255.0)));
    };
    return {mix(m_fore.red, m_fore2.red), mix(m_fore.green, m_fore2.green), mix(m_fore.blue, m_fore2.blue)};
}

void SliderModel::redraw()
{
    SliderPicture picture;
    picture.horizontal = horizontal();
    picture.width = m_size.width;
    picture.height = m_size.height;
    const int edge = thumbEdge();
    picture.thumbLeft = horizontal() ? edge : HandleOffset;
    picture.thumbTop = horizontal() ? HandleOffset : edge;
    picture.fill = fillColour();
    picture.empty = m_emptyBand;
    m_picture = picture;
    m_host.redraw();
}

void SliderModel::changed()
{
    m_host.Change();
}

SliderModel::MousePosition SliderModel::valueFromMousePosition(MousePosition mouse)
{
    const double spanLength = span();
    const double track = trackLength();
    const double half = HandleLength / 2.0;
    // Worked out in floating point: far outside the control the raw value leaves the 32-bit range,
    // and it is pulled inside the limits below anyway.
    double value = 0;
    if (horizontal()) {
        value = nearest((mouse.x - HandleLength) / track * spanLength) + m_min;
        mouse.x = std::clamp(mouse.x, half + LeftCapWidth - 1, m_size.width - (half + RightCapWidth));
        m_thumbPositionFromMouse = mouse.x - half;
    } else {
        value = m_max - nearest((mouse.y - HandleLength) / track * spanLength);
        mouse.y = std::clamp(mouse.y, half + BottomCapHeight - 1, m_size.height - (half + TopCapHeight));
        m_thumbPositionFromMouse = m_size.height - (mouse.y - half) - HandleOffset;
    }
    m_thumbFollowsMouse = true;
    m_value = std::int32_t(std::clamp(value, double(m_min), double(m_max)));
    redraw();
    m_host.Scroll();
    changed();
    return mouse;
}

void SliderModel::mouseMove(int button, double x, double y)
{
    if (button == ButtonLeft && m_enabled)
        m_lastMouse = valueFromMousePosition({x, y});
    else
        m_lastMouse = {x, y};
}

void SliderModel::click()
{
    m_host.Click();
    dblClick();
}

void SliderModel::dblClick()
{
    if (m_enabled)
        m_lastMouse = valueFromMousePosition(m_lastMouse);
    std::int32_t value = m_value;
    m_host.DblClick(value);
    if (value != m_value)
        setValue(value);
}

void SliderModel::mouseUp(std::int16_t button, std::int16_t shift, float x, float y)
{
    m_host.MouseUp(button, shift, x, y);
}

void SliderModel::keyDown(int keyCode)
{
    std::int32_t value = m_value;
    if (keyCode == KeyLeft)
        value = checkedSub(value, 1, "the left arrow key");
    else if (keyCode == KeyRight)
        value = checkedAdd(value, 1, "the right arrow key");
    m_value = std::clamp(value, m_min, m_max);
    m_thumbFollowsMouse = false;
    redraw();
    changed();
    m_host.Scroll();
}

} // namespace tunevale
