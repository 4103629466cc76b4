#pragma once

#include <QObject>

#include <functional>

class QSocketNotifier;

namespace tunevale
{

// Turns the signals that ask a program to end (SIGTERM, SIGINT, SIGHUP) into a call on the event
// loop's thread, where the window can close the normal way. The handler itself only writes the
// signal's number into a pipe (all it may safely do); a socket notifier reads it. One object at a
// time; it puts the previous handlers back when it goes.
class TerminationSignals : public QObject
{
public:
    // onSignal gets the signal's number, on the thread that created this object.
    explicit TerminationSignals(std::function<void(int)> onSignal, QObject* parent = nullptr);
    ~TerminationSignals() override;
    TerminationSignals(const TerminationSignals&) = delete;
    TerminationSignals& operator=(const TerminationSignals&) = delete;

    // False when the pipe or a handler could not be set up (the signals then end the program as before).
    bool installed() const { return m_installed; }

private:
    void readSignals();

    std::function<void(int)> m_onSignal;
    QSocketNotifier* m_notifier = nullptr;
    bool m_installed = false;
};

// Calls end on a termination signal, at the end of the desktop session and when the application
// quits by any other road; end closes the window the normal way (its close event saves and releases
// what it holds). After a signal the event loop is also told to quit, which matters when the window
// was never shown. The handling lives as long as owner.
void onEndRequests(QObject& owner, std::function<void()> end);

} // namespace tunevale
