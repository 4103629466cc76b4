#include "DesktopShell.h"

#include <QDesktopServices>
#include <QFileInfo>
#include <QSocketNotifier>
#include <QStandardPaths>
#include <QUrl>

#include <cerrno>
#include <csignal>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace tunevale
{

namespace
{

// The URL to open: a web address as given, or an existing file by its absolute path; empty when
// the text is neither (a missing file would only make the opener show an error of its own).
QUrl target(const QString& text)
{
    if (text.startsWith(QLatin1Char('/')))
        return QFileInfo::exists(text) ? QUrl::fromLocalFile(text) : QUrl();
    const QUrl url(text, QUrl::StrictMode);
    return url.isValid() && !url.scheme().isEmpty() ? url : QUrl();
}

bool succeeded(int status)
{
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

void reapWhenDone(pid_t pid)
{
    std::thread([pid] {
        int status = 0;
        while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
    }).detach();
}

} // namespace

bool DesktopShell::open(const std::string& pathOrUrl, std::function<void()> failed)
{
    const QUrl url = target(QString::fromStdString(pathOrUrl));
    if (url.isEmpty())
        return false;
    const QString opener = QStandardPaths::findExecutable(QStringLiteral("xdg-open"));
    if (opener.isEmpty())
        return QDesktopServices::openUrl(url);

    const QByteArray program = opener.toLocal8Bit();
    const QByteArray argument = url.isLocalFile() ? url.toLocalFile().toLocal8Bit() : url.toEncoded();
    char* argv[] = {const_cast<char*>(program.constData()), const_cast<char*>(argument.constData()), nullptr};
    // Tunevale ignores SIGPIPE (for its encoders); the opener and what it starts get the default.
    posix_spawnattr_t attributes;
    ::posix_spawnattr_init(&attributes);
    sigset_t defaults;
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGPIPE);
    ::posix_spawnattr_setsigdefault(&attributes, &defaults);
    ::posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF);
    pid_t pid = 0;
    const int spawned = ::posix_spawn(&pid, program.constData(), nullptr, &attributes, argv, environ);
    ::posix_spawnattr_destroy(&attributes);
    if (spawned != 0)
        return false;

    // Through syscall(): Debian 12's <sys/pidfd.h> declares pidfd_open without C linkage.
    const int watch = static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
    if (watch < 0) {
        reapWhenDone(pid);
        return true;
    }
    // Readable once xdg-open has ended; it may run as long as the program it started (a browser).
    auto* notifier = new QSocketNotifier(watch, QSocketNotifier::Read, this);
    connect(notifier, &QObject::destroyed, [watch] { ::close(watch); });
    connect(notifier, &QSocketNotifier::activated, this, [notifier, pid, failed = std::move(failed)] {
        int status = 0;
        if (::waitpid(pid, &status, WNOHANG) != pid)
            return;
        notifier->setEnabled(false);
        notifier->deleteLater();
        if (!succeeded(status) && failed)
            failed();
    });
    return true;
}

} // namespace tunevale
