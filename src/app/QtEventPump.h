#pragma once

#include "EventPump.h"

#include <QCoreApplication>

namespace tunevale
{

// Lets the Qt event loop handle what is pending, so that clicks reach a running conversion.
class QtEventPump : public EventPump
{
public:
    void processEvents() override { QCoreApplication::processEvents(QEventLoop::AllEvents); }
};

} // namespace tunevale
