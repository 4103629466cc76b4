// Takes the pictures of the main window for the documentation: the window with a few listed files
// (one of them converting), the window after the run, the format panel, the about panel and the
// drive chooser of "Add CD...".
//
//     tunevale-window-screenshots <folder of audio files> <output folder>
//
// The files of the input folder are added as if chosen in the audio dialog, then "Convert All"
// converts them into a temporary folder; the first picture is taken while the last one converts.
#include "CRegister.h"
#include "CdSettings.h"
#include "DesktopShell.h"
#include "DiscTracks.h"
#include "EngineFactory.h"
#include "FileDialogs.h"
#include "JobGrid.h"
#include "JobList.h"
#include "JobTableModel.h"
#include "PowerOff.h"
#include "ProgressCell.h"
#include "QtMessageBox.h"
#include "SelectionText.h"
#include "WmaSupportInstaller.h"
#include "frmMain.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>
#include <filesystem>
#include <functional>

namespace
{

using namespace tunevale;

// The dialogs answer with the files of the input folder; no dialog is shown.
class FolderDialogs : public FileDialogs
{
public:
    explicit FolderDialogs(std::vector<std::string> files) : m_files(std::move(files)) {}
    std::optional<std::string> ShowOpenDialog(const std::vector<FileFilter>&, const std::string&, bool) override
    {
        return selectionText(m_files);
    }
    std::string BrowseForFolder(const std::string&, bool) override { return {}; }

private:
    std::vector<std::string> m_files;
};

class NoPowerOff : public PowerOff
{
public:
    void request(Action) override {}
};

class NoInstaller : public WmaSupportInstaller
{
public:
    void downloadAndInstall() override {}
    void openSupportPage() override {}
};

// One drive with an audio disc, so that "Add CD..." shows its chooser.
class OneDrive : public DiscTracks
{
public:
    bool isDisc(const std::string& path) override { return path == kDrive; }
    std::vector<Track> tracks(const std::string&, std::string&) override { return {}; }
    std::vector<std::string> audioDrives() override { return {kDrive}; }

private:
    static constexpr const char* kDrive = "/dev/sr0";
};

bool waitFor(const std::function<bool()>& condition, int milliseconds)
{
    QElapsedTimer timer;
    timer.start();
    while (!condition() && timer.elapsed() < milliseconds)
        QApplication::processEvents(QEventLoop::AllEvents, 20);
    return condition();
}

bool save(QWidget& window, const QString& file)
{
    const bool saved = window.grab().save(file);
    std::fprintf(saved ? stdout : stderr, "%s %s\n", saved ? "wrote" : "could not write", qPrintable(file));
    return saved;
}

} // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s <folder of audio files> <output folder>\n", argv[0]);
        return 2;
    }
    std::vector<std::string> files;
    for (const auto& entry : std::filesystem::directory_iterator(argv[1])) {
        if (entry.is_regular_file())
            files.push_back(std::filesystem::absolute(entry.path()).string());
    }
    std::sort(files.begin(), files.end());
    const QDir out(QString::fromLocal8Bit(argv[2]));
    QTemporaryDir work;

    QtMessageBox messages;
    FolderDialogs dialogs(files);
    DesktopShell shell;
    NoPowerOff powerOff;
    NoInstaller installer;
    const auto engine = makeEngine();
    CRegister registry(work.filePath(QStringLiteral("registry.ini")).toStdString());
    // A drive model's offset as AccurateRip lists it.
    saveCdSettings(registry, {6, true});
    OneDrive drive;
    frmMain window({*engine, registry, messages, dialogs, shell, powerOff, installer, nullptr,
                    work.filePath(QStringLiteral("CheckWMASupport.wma")).toStdString(),
                    work.filePath(QStringLiteral("Errors.log")).toStdString(),
                    work.filePath(QStringLiteral("Converted Files")).toStdString(), nullptr, &drive});
    messages.setOwner(&window);
    if (!window.Load())
        return 1;
    window.show();
    waitFor([&] { return window.isVisible(); }, 2000);
    window.findChild<QAbstractButton*>(QStringLiteral("cmdAddFile"))->click();
    // The durations come from the probe beside the window; a run takes only files it has measured.
    waitFor([&] { return !window.probing(); }, 10000);
    const int last = static_cast<int>(window.jobs().rsJobs().size()) - 1;
    if (last < 0)
        return 1;
    window.Grid().selectRow(0);

    // Picture the window once the last job is about a third done, then let the run finish.
    bool pictured = false;
    bool ok = true;
    QObject::connect(window.Grid().model(), &QAbstractItemModel::dataChanged, &window, [&] {
        const auto percent =
            ProgressCell::percentageOf(QString::fromStdString(statusText(window.jobs().rsJobs().at(last))));
        if (!pictured && percent && *percent >= 35) {
            pictured = true;
            ok = save(window, out.filePath(QStringLiteral("main-window.png"))) && ok;
        }
    });
    window.findChild<QAbstractButton*>(QStringLiteral("cmdConvert"))->click();
    // The run goes on beside the window; once it has ended the window tells how it went, and then
    // the format panel opens.
    waitFor([&] { return !window.conversionFlags().bConverting; }, 120000);
    ok = save(window, out.filePath(QStringLiteral("run-outcome.png"))) && ok;

    window.findChild<QAbstractButton*>(QStringLiteral("cmdChangeFormat"))->click();
    waitFor([&] { return !window.tmrAnimateRunning(); }, 5000);
    ok = save(window, out.filePath(QStringLiteral("format-panel.png"))) && ok;
    window.findChild<QAbstractButton*>(QStringLiteral("cmdHide"))->click();
    waitFor([&] { return !window.tmrAnimateRunning(); }, 5000);

    window.findChild<QAbstractButton*>(QStringLiteral("cmdAbout"))->click();
    waitFor([&] { return !window.tmrAnimateRunning(); }, 5000);
    ok = save(window, out.filePath(QStringLiteral("about-panel.png"))) && ok;
    window.findChild<QAbstractButton*>(QStringLiteral("cmdCloseHelp"))->click();
    waitFor([&] { return !window.tmrAnimateRunning(); }, 5000);

    // The chooser is modal: it is pictured, then cancelled, from the loop it runs.
    bool chooserPictured = false;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &window, [&] {
        if (auto* chooser = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
            poll.stop();
            chooserPictured = save(*chooser, out.filePath(QStringLiteral("add-cd.png")));
            chooser->reject();
        }
    });
    poll.start(50);
    QTimer::singleShot(10000, &window, [] {
        if (auto* chooser = qobject_cast<QDialog*>(QApplication::activeModalWidget()))
            chooser->reject();
    });
    window.findChild<QAbstractButton*>(QStringLiteral("cmdAddCd"))->click();
    ok = chooserPictured && ok;
    window.close();
    return ok && pictured ? 0 : 1;
}
