#include "TerminationSignals.h"

#include <QGuiApplication>
#include <QSessionManager>
#include <QSocketNotifier>

#include <array>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace tunevale
{

namespace
{

constexpr std::array<int, 3> kSignals{SIGTERM, SIGINT, SIGHUP};

// The pipe's ends; the handler can reach nothing but globals.
int g_readEnd = -1;
int g_writeEnd = -1;
std::array<struct sigaction, kSignals.size()> g_previous{};

extern "C" void writeSignalNumber(int signal)
{
    const int savedErrno = errno;
    const auto number = static_cast<unsigned char>(signal);
    // A full pipe already holds a wake-up; losing this byte loses nothing.
    [[maybe_unused]] const ssize_t written = ::write(g_writeEnd, &number, 1);
    errno = savedErrno;
}

} // namespace

TerminationSignals::TerminationSignals(std::function<void(int)> onSignal, QObject* parent)
    : QObject(parent), m_onSignal(std::move(onSignal))
{
    if (g_readEnd != -1)
        return;
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    g_readEnd = ends[0];
    g_writeEnd = ends[1];
    m_notifier = new QSocketNotifier(g_readEnd, QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &TerminationSignals::readSignals);

    struct sigaction action {
    };
    action.sa_handler = writeSignalNumber;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    m_installed = true;
    for (std::size_t i = 0; i < kSignals.size(); ++i)
        m_installed = ::sigaction(kSignals[i], &action, &g_previous[i]) == 0 && m_installed;
}

TerminationSignals::~TerminationSignals()
{
    if (m_notifier == nullptr)
        return;
    for (std::size_t i = 0; i < kSignals.size(); ++i)
        ::sigaction(kSignals[i], &g_previous[i], nullptr);
    delete m_notifier;
    ::close(g_readEnd);
    ::close(g_writeEnd);
    g_readEnd = g_writeEnd = -1;
}

void TerminationSignals::readSignals()
{
    unsigned char numbers[16];
    for (;;) {
        const ssize_t count = ::read(g_readEnd, numbers, sizeof numbers);
        if (count <= 0)
            break;
        for (ssize_t i = 0; i < count; ++i)
            m_onSignal(numbers[i]);
    }
}

void onEndRequests(QObject& owner, std::function<void()> end)
{
    new TerminationSignals(
        [end](int) {
            end();
            // Quits also when the window was never shown (a signal during start-up).
            QCoreApplication::exit(0);
        },
        &owner);
    QObject::connect(qGuiApp, &QGuiApplication::commitDataRequest, &owner, [end] { end(); });
    QObject::connect(qGuiApp, &QCoreApplication::aboutToQuit, &owner, end);
}

} // namespace tunevale
