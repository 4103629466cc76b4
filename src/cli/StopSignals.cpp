#include "StopSignals.h"

#include "CommandLine.h"

#include <cstdlib>

#include <ctime>
#include <pthread.h>

namespace tunevale
{

StopSignals::StopSignals()
{
    sigemptyset(&m_signals);
    for (int signal : {SIGINT, SIGTERM, SIGHUP}) {
        sigaddset(&m_signals, signal);
        std::signal(signal, SIG_IGN);
    }
    pthread_sigmask(SIG_BLOCK, &m_signals, nullptr);
}

int StopSignals::wait(std::chrono::milliseconds timeout)
{
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(timeout);
    const timespec limit{static_cast<time_t>(seconds.count()),
                         static_cast<long>(std::chrono::nanoseconds(timeout - seconds).count())};
    const int signal = sigtimedwait(&m_signals, nullptr, &limit);
    if (signal <= 0)
        return 0;
    int none = 0;
    m_received.compare_exchange_strong(none, signal);
    return signal;
}

StopWhileAdding::StopWhileAdding(StopSignals& stopSignals) : m_signals(stopSignals)
{
    m_watcher = std::thread([this] {
        while (!m_done) {
            if (!m_signals.wait(std::chrono::milliseconds(50)))
                continue;
            const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(800);
            while (!m_done && std::chrono::steady_clock::now() < deadline)
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            if (!m_done)
                std::_Exit(ExitStatus::StoppedBy + m_signals.received());
            return;
        }
    });
}

StopWhileAdding::~StopWhileAdding()
{
    m_done = true;
    m_watcher.join();
}

} // namespace tunevale
