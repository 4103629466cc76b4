#pragma once

#include "PowerOff.h"

#include <QDBusConnection>

#include <memory>

namespace tunevale
{

// Powers off, reboots or ends this session through systemd-logind on the given bus. The requests
// are not interactive: logind grants or refuses them at once, and a refusal, a missing service
// or a dead bus changes nothing here. Calls block for at most a few seconds.
class LogindPowerOff : public PowerOff
{
public:
    explicit LogindPowerOff(QDBusConnection bus);

    void request(Action action) override;

private:
    void callManager(const QString& method, const QVariantList& arguments);
    void terminateOwnSession();

    QDBusConnection m_bus;
};

// The power-off of the running program: logind on the system bus.
std::unique_ptr<PowerOff> makeSystemPowerOff();

} // namespace tunevale
