#pragma once

#include "LaterQueue.h"

#include <QObject>
#include <QTimer>

namespace tunevale
{

// Later work runs from the event loop, after what waits there; never once context is gone.
class EventLoopTurns final : public LaterQueue
{
public:
    explicit EventLoopTurns(QObject* context) : m_context(context) {}
    void later(std::function<void()> work) override { QTimer::singleShot(0, m_context, std::move(work)); }

private:
    QObject* m_context;
};

} // namespace tunevale
