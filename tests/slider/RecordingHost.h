#pragma once

#include "SliderHost.h"

#include <functional>
#include <string>
#include <vector>

namespace tunevale::test
{

// Records what a slider tells its container: events by name, redraws and sizes.
class RecordingHost : public SliderHost
{
public:
    void DblClick(std::int32_t& Value) override
    {
        events.push_back("DblClick");
        dblClickValues.push_back(Value);
        if (onDblClick)
            onDblClick(Value);
    }
    void Scroll() override { events.push_back("Scroll"); }
    void Change() override { events.push_back("Change"); }
    void Click() override { events.push_back("Click"); }
    void MouseUp(std::int16_t Button, std::int16_t Shift, float X, float Y) override
    {
        events.push_back("MouseUp " + std::to_string(Button) + " " + std::to_string(Shift) + " " + std::to_string(X) +
                         " " + std::to_string(Y));
    }
    void redraw() override { ++redraws; }
    void sizeChanged(SliderSize size) override { sizes.push_back(size); }

    void clear()
    {
        events.clear();
        dblClickValues.clear();
        sizes.clear();
        redraws = 0;
    }

    std::vector<std::string> events;
    std::vector<std::int32_t> dblClickValues;
    std::vector<SliderSize> sizes;
    int redraws = 0;
    std::function<void(std::int32_t&)> onDblClick;
};

} // namespace tunevale::test
