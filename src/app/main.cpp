// Tunevale: the desktop program. Chooses the real system services and opens the main window.
#include "CRegister.h"
#include "CommandLineFiles.h"
#include "ComponentDownload.h"
#include "DesktopBatchStatus.h"
#include "DesktopShell.h"
#include "EngineFactory.h"
#include "ErrorLog.h"
#include "InstanceMarker.h"
#include "LogindPowerOff.h"
#include "NetworkConnectivity.h"
#include "OutputSettings.h"
#include "QtFileDialogs.h"
#include "QtHttpClient.h"
#include "QtMessageBox.h"
#include "TerminationSignals.h"
#include "WmaSupport.h"
#include "frmMain.h"

#include <QApplication>
#include <QNetworkAccessManager>
#include <QTimer>

#include <csignal>

int main(int argc, char* argv[])
{
    using namespace tunevale;
    // A dying encoder must never take the program with it.
    std::signal(SIGPIPE, SIG_IGN);
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tunevale"));
    // Ties the window to its desktop entry (its icon and name on Wayland's taskbars).
    QApplication::setDesktopFileName(QStringLiteral(TUNEVALE_APP_ID));

    QtMessageBox messages;
    QtFileDialogs dialogs;
    DesktopShell shell;
    const std::unique_ptr<PowerOff> powerOff = makeSystemPowerOff();
    const std::unique_ptr<Engine> engine = makeEngine();
    CRegister registry(CRegister::registryFile());
    QNetworkAccessManager network;
    NetworkConnectivity connectivity;
    ComponentDownload download(messages, shell, connectivity, network);
    std::unique_ptr<InstanceMarker> marker;
    const auto batchStatus = makeDesktopBatchStatus(shell, QStringLiteral(TUNEVALE_APP_ID));

    frmMain window({*engine, registry, messages, dialogs, shell, *powerOff, download,
                    [&marker] { marker = std::make_unique<InstanceMarker>(); }, wmaProbeFile(), ErrorLog::defaultPath(),
                    defaultOutputFolder(), batchStatus.get(), nullptr,
                    [] { return std::unique_ptr<HttpClient>(std::make_unique<QtHttpClient>()); }});
    messages.setOwner(&window);
    dialogs.setOwner(&window);
    // Set up before the engine starts, whose audio library otherwise takes these signals.
    onEndRequests(window, [&window] { window.endProgram(); });
    if (!window.Load())
        return 1;
    window.show();
    // Once the window is on screen, so that it shows while the files are probed.
    QTimer::singleShot(0, &window, [&window, files = commandLineFiles(QApplication::arguments().mid(1))] {
        window.addFilesFromCommandLine(files);
    });
    return app.exec();
}
