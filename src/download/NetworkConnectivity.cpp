#include "NetworkConnectivity.h"

#include <QHostAddress>
#include <QNetworkInterface>

namespace tunevale
{

namespace
{

bool isLocalHost(const QString& host)
{
    if (host.compare(QStringLiteral("localhost"), Qt::CaseInsensitive) == 0)
        return true;
    const QHostAddress address(host);
    return !address.isNull() && address.isLoopback();
}

bool hasUsableAddress(const QNetworkInterface& interface)
{
    for (const auto& entry : interface.addressEntries()) {
        const auto ip = entry.ip();
        if (!ip.isLoopback() && !ip.isLinkLocal())
            return true;
    }
    return false;
}

} // namespace

bool NetworkConnectivity::isConnected(const QUrl& url)
{
    if (isLocalHost(url.host()))
        return true;
    for (const auto& interface : QNetworkInterface::allInterfaces()) {
        const auto flags = interface.flags();
        if (flags.testFlag(QNetworkInterface::IsUp) && flags.testFlag(QNetworkInterface::IsRunning) &&
            !flags.testFlag(QNetworkInterface::IsLoopBack) && hasUsableAddress(interface))
            return true;
    }
    return false;
}

} // namespace tunevale
