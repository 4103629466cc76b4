#pragma once

namespace tunevale
{

// Ends the session, powers off or reboots the machine; failures are silent. Never real in tests.
class PowerOff
{
public:
    virtual ~PowerOff() = default;
    enum class Action { EndSession, PowerOff, Reboot };
    virtual void request(Action action) = 0;
};

} // namespace tunevale
