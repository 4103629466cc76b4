#include "DesktopBatchStatus.h"

#include "Shell.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QStringList>
#include <QVariantMap>

#include <algorithm>
#include <cmath>

namespace tunevale
{

namespace
{

const QString kLauncherPath = QStringLiteral("/com/canonical/unity/launcherentry/tunevale");
const QString kLauncherInterface = QStringLiteral("com.canonical.Unity.LauncherEntry");
const QString kNotifyService = QStringLiteral("org.freedesktop.Notifications");
const QString kNotifyPath = QStringLiteral("/org/freedesktop/Notifications");
const QString kNotifyInterface = kNotifyService;

QString count(int files, const char* what)
{
    return QStringLiteral("%1 %2 %3").arg(files).arg(files == 1 ? "file" : "files", QLatin1String(what));
}

} // namespace

QString runSummaryTitle(const RunSummary& summary)
{
    return summary.failed > 0 || summary.cancelled > 0 ? QStringLiteral("Conversion ended")
                                                       : QStringLiteral("Conversion finished");
}

QString runSummaryBody(const RunSummary& summary)
{
    QStringList parts;
    if (summary.completed > 0)
        parts << count(summary.completed, "completed");
    if (summary.failed > 0)
        parts << (parts.isEmpty() ? count(summary.failed, "failed") : QStringLiteral("%1 failed").arg(summary.failed));
    if (summary.cancelled > 0)
        parts << (parts.isEmpty() ? count(summary.cancelled, "cancelled")
                                  : QStringLiteral("%1 cancelled").arg(summary.cancelled));
    return parts.isEmpty() ? QStringLiteral("No files converted.") : parts.join(QStringLiteral(", ")) + u'.';
}

DesktopBatchStatus::DesktopBatchStatus(QDBusConnection bus, Shell& shell, QString desktopId, QObject* parent)
    : QObject(parent), m_bus(std::move(bus)), m_shell(shell), m_desktopId(std::move(desktopId))
{
    m_bus.connect(kNotifyService, kNotifyPath, kNotifyInterface, QStringLiteral("ActionInvoked"), this,
                  SLOT(actionInvoked(uint, QString)));
    m_bus.connect(kNotifyService, kNotifyPath, kNotifyInterface, QStringLiteral("NotificationClosed"), this,
                  SLOT(notificationClosed(uint, uint)));
}

void DesktopBatchStatus::showProgress(double fraction)
{
    // One signal per whole percent: a run reports far more often than a taskbar can show.
    const int percent = static_cast<int>(std::floor(std::clamp(fraction, 0.0, 1.0) * 100));
    if (m_shownPercent == percent)
        return;
    m_shownPercent = percent;
    sendLauncherUpdate(percent / 100.0, true);
}

void DesktopBatchStatus::runFinished(const RunSummary& summary, bool notify)
{
    m_shownPercent.reset();
    sendLauncherUpdate(0, false);
    if (!notify)
        return;

    const bool offerFolder = !summary.outputFolder.empty() && summary.completed > 0;
    QStringList actions;
    if (offerFolder)
        actions << QString::fromLatin1(kOpenFolderAction) << QStringLiteral("Open folder");
    auto message =
        QDBusMessage::createMethodCall(kNotifyService, kNotifyPath, kNotifyInterface, QStringLiteral("Notify"));
    message.setArguments({QStringLiteral("Tunevale"), uint(0), m_desktopId, runSummaryTitle(summary),
                          runSummaryBody(summary), actions, QVariantMap{{QStringLiteral("desktop-entry"), m_desktopId}},
                          int(-1)});
    const QDBusPendingCall call = m_bus.asyncCall(message);
    if (!offerFolder)
        return;
    auto* watcher = new QDBusPendingCallWatcher(call, this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this, folder = summary.outputFolder](QDBusPendingCallWatcher* finished) {
                const QDBusPendingReply<uint> reply = *finished;
                if (reply.isValid())
                    m_folders[reply.value()] = folder;
                finished->deleteLater();
            });
}

void DesktopBatchStatus::actionInvoked(uint id, const QString& action)
{
    const auto found = m_folders.find(id);
    if (found == m_folders.end() || action != QLatin1String(kOpenFolderAction))
        return;
    m_shell.open(found->second);
}

void DesktopBatchStatus::notificationClosed(uint id, uint)
{
    m_folders.erase(id);
}

void DesktopBatchStatus::sendLauncherUpdate(double progress, bool visible)
{
    auto update = QDBusMessage::createSignal(kLauncherPath, kLauncherInterface, QStringLiteral("Update"));
    update.setArguments(
        {QStringLiteral("application://%1.desktop").arg(m_desktopId),
         QVariantMap{{QStringLiteral("progress"), progress}, {QStringLiteral("progress-visible"), visible}}});
    m_bus.send(update);
}

std::unique_ptr<DesktopBatchStatus> makeDesktopBatchStatus(Shell& shell, const QString& desktopId)
{
    return std::make_unique<DesktopBatchStatus>(QDBusConnection::sessionBus(), shell, desktopId);
}

} // namespace tunevale
