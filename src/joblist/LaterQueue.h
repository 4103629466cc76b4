#pragma once

#include <functional>

namespace tunevale
{

// Runs a piece of work later on the same thread, once the window has handled what waits (paints,
// clicks); how long work may run in one turn is up to the caller.
class LaterQueue
{
public:
    virtual ~LaterQueue() = default;
    virtual void later(std::function<void()> work) = 0;
};

} // namespace tunevale
