#pragma once

namespace tunevale
{

// Lets the window process its pending events during long work; UI thread only.
class EventPump
{
public:
    virtual ~EventPump() = default;
    virtual void processEvents() = 0;
};

} // namespace tunevale
