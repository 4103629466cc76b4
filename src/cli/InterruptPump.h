#pragma once

#include "EventPump.h"

#include <csignal>
#include <functional>

namespace tunevale
{

// Ctrl+C is held pending (blocked and ignored, so that encoder processes started meanwhile inherit
// "ignore" and finish their files) and taken between chunks as a click on "Stop". Build it before
// any thread starts, so that every thread keeps the signal pending. Main thread only.
class InterruptPump : public EventPump
{
public:
    InterruptPump();
    void processEvents() override;

    std::function<void()> onInterrupt; // called once per Ctrl+C
    bool interrupted = false;

private:
    sigset_t m_interrupt;
};

} // namespace tunevale
