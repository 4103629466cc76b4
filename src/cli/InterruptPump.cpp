#include "InterruptPump.h"

#include <ctime>
#include <pthread.h>

namespace tunevale
{

InterruptPump::InterruptPump()
{
    sigemptyset(&m_interrupt);
    sigaddset(&m_interrupt, SIGINT);
    std::signal(SIGINT, SIG_IGN);
    pthread_sigmask(SIG_BLOCK, &m_interrupt, nullptr);
}

void InterruptPump::processEvents()
{
    const timespec now{0, 0};
    if (sigtimedwait(&m_interrupt, nullptr, &now) == SIGINT) {
        interrupted = true;
        if (onInterrupt)
            onInterrupt();
    }
}

} // namespace tunevale
