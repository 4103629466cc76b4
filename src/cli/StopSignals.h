#pragma once

#include <chrono>
#include <csignal>

namespace tunevale
{

// Ctrl+C, SIGTERM and SIGHUP held pending (blocked, and ignored so that encoder processes started
// meanwhile inherit "ignore" and finish their files) and taken by the waiting main thread as a
// click on "Stop". Build it before any thread starts, so that every thread keeps them pending.
class StopSignals
{
public:
    StopSignals();

    // Waits up to the timeout for a stop signal; the signal, or 0.
    int wait(std::chrono::milliseconds timeout);
    // The first stop signal taken, or 0.
    int received() const { return m_received; }

private:
    sigset_t m_signals;
    int m_received = 0;
};

} // namespace tunevale
