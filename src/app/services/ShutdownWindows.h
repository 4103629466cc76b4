#pragma once

#include "PowerOff.h"

namespace tunevale
{

// Obtains the right to end the session. Linux has nothing to acquire: the login manager checks
// the caller's rights (polkit) on every request, so this does nothing and is kept so that
// ShutdownWindows keeps its order of steps.
void EnableShutdownPrivilege();

// Ends the session by force after a conversion run: mode 0 logs off, 1 and 8 power off, 2
// reboots, any other mode does nothing. Failures are silent.
void ShutdownWindows(int mode, PowerOff& powerOff);

} // namespace tunevale
