#pragma once

#include <atomic>
#include <chrono>
#include <csignal>
#include <thread>

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
    std::atomic<int> m_received = 0;
};

// While files are added, before anything is written, a stop signal ends the program within a
// second: the adding loop sees stopped() between files, and a file that holds the loop longer is
// given up by leaving at once with the signal's exit status.
class StopWhileAdding
{
public:
    explicit StopWhileAdding(StopSignals& stopSignals);
    // Stops watching; the signals stay pending for the run that follows.
    ~StopWhileAdding();
    StopWhileAdding(const StopWhileAdding&) = delete;
    StopWhileAdding& operator=(const StopWhileAdding&) = delete;

    bool stopped() const { return m_signals.received() != 0; }

private:
    StopSignals& m_signals;
    std::atomic<bool> m_done = false;
    std::thread m_watcher;
};

} // namespace tunevale
