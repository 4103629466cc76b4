#include "ShutdownWindows.h"

#include <optional>

namespace tunevale
{

namespace
{

std::optional<PowerOff::Action> actionForMode(int mode)
{
    switch (mode) {
    case 0:
        return PowerOff::Action::EndSession;
    case 1:
    case 8:
        return PowerOff::Action::PowerOff;
    case 2:
        return PowerOff::Action::Reboot;
    default:
        return std::nullopt;
    }
}

} // namespace

void EnableShutdownPrivilege() {}

void ShutdownWindows(int mode, PowerOff& powerOff)
{
    EnableShutdownPrivilege();
    if (const auto action = actionForMode(mode))
        powerOff.request(*action);
}

} // namespace tunevale
