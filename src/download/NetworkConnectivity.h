#pragma once

#include "Connectivity.h"

namespace tunevale
{

// Connected when the address is on this machine, or when some network interface other than the
// loopback is up and has an address.
class NetworkConnectivity : public Connectivity
{
public:
    bool isConnected(const QUrl& url) override;
};

} // namespace tunevale
