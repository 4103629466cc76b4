#include "StopSignals.h"

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
    if (!m_received)
        m_received = signal;
    return signal;
}

} // namespace tunevale
