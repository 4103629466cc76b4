// Times adding a library to the window's list through "Add Folder..." with its sub-folders: until
// the rows show, until every duration is in, and the longest time the window's event loop did not
// run (while it does not run the window neither repaints nor answers). Beside it, the same files
// added with each one measured in turn as it is added, which is how long the window used to freeze.
//
//   window_add_bench [files]   (default 10000 one-second FLAC files, ten to a folder)
#include "BenchSupport.h"
#include "CRegister.h"
#include "ConsoleStandIns.h"
#include "DurationProbe.h"
#include "EngineFactory.h"
#include "FileDialogs.h"
#include "FolderTree.h"
#include "InitAudioEngine.h"
#include "JobGrid.h"
#include "MessageBox.h"
#include "PowerOff.h"
#include "Shell.h"
#include "WmaSupportInstaller.h"
#include "frmMain.h"

#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>

using namespace tunevale;
namespace fs = std::filesystem;

namespace
{

class SilentMessages : public MessageBox
{
public:
    MessageAnswer show(const std::string&, const std::string&, MessageIcon, MessageButtons) override
    {
        return MessageAnswer::Ok;
    }
};

class FolderChoice : public FileDialogs
{
public:
    explicit FolderChoice(std::string folder) : m_folder(std::move(folder)) {}
    std::optional<std::string> ShowOpenDialog(const std::vector<FileFilter>&, const std::string&, bool) override
    {
        return std::nullopt;
    }
    std::string BrowseForFolder(const std::string&, bool) override { return m_folder; }

private:
    std::string m_folder;
};

class NoShell : public Shell
{
public:
    bool open(const std::string&, std::function<void()>) override { return true; }
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

// Notes the first paint of a widget after it was armed.
class FirstPaint : public QObject
{
public:
    explicit FirstPaint(QWidget* widget) { widget->installEventFilter(this); }
    QElapsedTimer* clock = nullptr;
    qint64 at = -1;

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (clock && at < 0 && event->type() == QEvent::Paint)
            at = clock->elapsed();
        return false;
    }
};

std::vector<std::string> makeLibrary(const fs::path& top, std::size_t count)
{
    const fs::path tone = top.parent_path() / "tone.flac";
    if (!bench::runProgram({"ffmpeg", "-v", "error", "-y", "-f", "lavfi", "-i", "sine=frequency=440:duration=1", "-ar",
                            "44100", "-c:a", "flac", tone.string()})) {
        std::fprintf(stderr, "ffmpeg could not make the source\n");
        std::exit(1);
    }
    std::vector<std::string> files;
    for (std::size_t i = 0; i < count; ++i) {
        const fs::path folder = top / ("Artist " + std::to_string(i / 100)) / ("Album " + std::to_string(i / 10));
        fs::create_directories(folder);
        const fs::path file = folder / (std::to_string(i % 10) + " Track.flac");
        fs::copy_file(tone, file, fs::copy_options::overwrite_existing);
        files.push_back(file.string());
    }
    return files;
}

// The old road: each file measured as it is added, on the adding thread.
double measuredInTurn(Engine& engine, const std::vector<std::string>& files)
{
    DurationProbe durations(engine, nullptr, {});
    ConsoleMessages messages(true);
    ConsoleJobList list(durations, messages);
    QElapsedTimer clock;
    clock.start();
    for (auto path : files)
        list.adder.AddFile2Grid(path);
    return clock.elapsed() / 1000.0;
}

} // namespace

int main(int argc, char* argv[])
{
    const std::size_t count = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 10000;
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    if (qEnvironmentVariableIsEmpty("SDL_AUDIODRIVER"))
        qputenv("SDL_AUDIODRIVER", "dummy");
    QApplication app(argc, argv);

    char pattern[] = "/tmp/window-add-bench-XXXXXX";
    const fs::path work = ::mkdtemp(pattern);
    const fs::path top = work / "Music";
    std::printf("making %zu files...\n", count);
    const auto files = makeLibrary(top, count);

    const auto engine = makeEngine();
    CRegister registry(work / "registry.ini");
    SilentMessages messages;
    FolderChoice dialogs(top.string());
    NoShell shell;
    NoPowerOff powerOff;
    NoInstaller installer;
    frmMain window({*engine,
                    registry,
                    messages,
                    dialogs,
                    shell,
                    powerOff,
                    installer,
                    {},
                    work / "CheckWMASupport.wma",
                    work / "Errors.log",
                    (work / "out").string()});
    if (!window.Load())
        return 1;
    window.show();
    window.settings().clickCheck(OutputControl::chkIncludeSubFolders, true);
    QApplication::processEvents();
    const double inTurn = measuredInTurn(*engine, files);
    QElapsedTimer listing;
    listing.start();
    const std::size_t listedInTree = listFolderTree(top.string(), true).files.size();
    const double listingSeconds = listing.elapsed() / 1000.0;

    QElapsedTimer clock;
    FirstPaint paint(window.Grid().viewport());
    qint64 armed = 0, clicked = -1, allListed = -1, durationsIn = -1, lastTick = -1, longestPause = 0;
    // Ticks as often as the loop lets it: the gaps between ticks are the pauses of the loop.
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        const qint64 now = clock.elapsed();
        if (lastTick >= 0)
            longestPause = std::max(longestPause, now - lastTick);
        lastTick = now;
        if (clicked >= 0 && allListed < 0 && window.jobs().rsJobs().size() == count)
            allListed = now;
        if (clicked >= 0 && durationsIn < 0 && !window.probing()) {
            durationsIn = now;
            app.quit();
        }
    });
    QTimer::singleShot(50, [&] {
        window.Grid().viewport()->update();
        paint.clock = &clock;
        armed = clock.elapsed();
        window.findChild<QAbstractButton*>(QStringLiteral("cmdAddFolder"))->click();
        clicked = clock.elapsed();
    });
    clock.start();
    ticker.start(1);
    app.exec();

    const std::size_t listed = window.jobs().rsJobs().size();
    std::size_t measured = 0;
    for (const auto& job : window.jobs().rsJobs().jobs())
        measured += job.Probed && job.Duration == "00:01";
    window.close();

    std::printf("the tree's listing alone (%zu files)         %8.3f s\n", listedInTree, listingSeconds);
    std::printf("files listed %zu, measured 00:01: %zu\n", listed, measured);
    std::printf("rows shown (first paint after the click)  %8.3f s\n", (paint.at - armed) / 1000.0);
    std::printf("click handled                             %8.3f s\n", (clicked - armed) / 1000.0);
    std::printf("every row listed                          %8.3f s\n", (allListed - armed) / 1000.0);
    std::printf("every duration in                         %8.3f s\n", (durationsIn - armed) / 1000.0);
    std::printf("longest pause of the event loop           %8.3f s\n", longestPause / 1000.0);
    std::printf("measured in turn as added (the old freeze) %7.3f s\n", inTurn);
    fs::remove_all(work);
    return listed == count && measured == count ? 0 : 1;
}
