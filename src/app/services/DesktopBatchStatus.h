#pragma once

#include "BatchStatus.h"

#include <QDBusConnection>
#include <QObject>
#include <QString>

#include <map>
#include <memory>
#include <optional>

namespace tunevale
{

class Shell;

// The summary and body of the notification at the end of a run, e.g. "Conversion finished" and
// "7 files completed, 1 failed, 2 cancelled." (parts that are zero are left out, except that a run
// with nothing at all says "No files converted.").
QString runSummaryTitle(const RunSummary& summary);
QString runSummaryBody(const RunSummary& summary);

// Run status on the desktop's session bus: taskbar progress through the Unity launcher-entry
// signal (read by GNOME's Dash to Dock, KDE Plasma and others) and the end-of-run notification of
// org.freedesktop.Notifications with an "Open folder" action, which opens the output folder
// through the shell. Calls never wait for the bus.
class DesktopBatchStatus : public QObject, public BatchStatus
{
    Q_OBJECT
public:
    // desktopId: the desktop entry's name without ".desktop", as the taskbar knows the program.
    DesktopBatchStatus(QDBusConnection bus, Shell& shell, QString desktopId, QObject* parent = nullptr);

    void showProgress(double fraction) override;
    void runFinished(const RunSummary& summary, bool notify) override;

    static constexpr const char* kOpenFolderAction = "open-folder";

private slots:
    void actionInvoked(uint id, const QString& action);
    void notificationClosed(uint id, uint reason);

private:
    void sendLauncherUpdate(double progress, bool visible);

    QDBusConnection m_bus;
    Shell& m_shell;
    QString m_desktopId;
    std::optional<int> m_shownPercent;
    // The open notifications with an "Open folder" action, by the id the server gave them.
    std::map<uint, std::string> m_folders;
};

// The run status of the running program: the session bus.
std::unique_ptr<DesktopBatchStatus> makeDesktopBatchStatus(Shell& shell, const QString& desktopId);

} // namespace tunevale
