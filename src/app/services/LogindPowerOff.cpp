#include "LogindPowerOff.h"

#include <QCoreApplication>
#include <QDBusMessage>
#include <QDBusObjectPath>

namespace tunevale
{

namespace
{

const QString kService = QStringLiteral("org.freedesktop.login1");
const QString kManagerPath = QStringLiteral("/org/freedesktop/login1");
const QString kManagerInterface = QStringLiteral("org.freedesktop.login1.Manager");
const QString kSessionInterface = QStringLiteral("org.freedesktop.login1.Session");
constexpr int kCallTimeoutMs = 10000;

} // namespace

LogindPowerOff::LogindPowerOff(QDBusConnection bus) : m_bus(std::move(bus)) {}

void LogindPowerOff::request(Action action)
{
    if (!m_bus.isConnected())
        return;
    switch (action) {
    case Action::PowerOff:
        callManager(QStringLiteral("PowerOff"), {false});
        break;
    case Action::Reboot:
        callManager(QStringLiteral("Reboot"), {false});
        break;
    case Action::EndSession:
        terminateOwnSession();
        break;
    }
}

void LogindPowerOff::callManager(const QString& method, const QVariantList& arguments)
{
    auto call = QDBusMessage::createMethodCall(kService, kManagerPath, kManagerInterface, method);
    call.setArguments(arguments);
    m_bus.call(call, QDBus::Block, kCallTimeoutMs);
}

void LogindPowerOff::terminateOwnSession()
{
    auto lookup =
        QDBusMessage::createMethodCall(kService, kManagerPath, kManagerInterface, QStringLiteral("GetSessionByPID"));
    lookup.setArguments({static_cast<uint>(QCoreApplication::applicationPid())});
    const QDBusMessage reply = m_bus.call(lookup, QDBus::Block, kCallTimeoutMs);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
        return;
    const auto session = qvariant_cast<QDBusObjectPath>(reply.arguments().constFirst());
    if (session.path().isEmpty())
        return;
    const auto terminate =
        QDBusMessage::createMethodCall(kService, session.path(), kSessionInterface, QStringLiteral("Terminate"));
    m_bus.call(terminate, QDBus::Block, kCallTimeoutMs);
}

std::unique_ptr<PowerOff> makeSystemPowerOff()
{
    return std::make_unique<LogindPowerOff>(QDBusConnection::systemBus());
}

} // namespace tunevale
