#pragma once

#include "BatchStatus.h"
#include "CRegister.h"
#include "EngineFactory.h"
#include "FileDialogs.h"
#include "QtApplication.h"
#include "RecordingInstaller.h"
#include "RecordingMessageBox.h"
#include "RecordingPowerOff.h"
#include "RecordingShell.h"
#include "TestSupport.h"
#include "frmMain.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTest>

#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tunevale::test
{

// File dialogs answering from a script: the user's choice, or cancel when nothing is queued.
class ScriptedDialogs : public FileDialogs
{
public:
    std::deque<std::optional<std::string>> openAnswers;
    std::deque<std::string> folderAnswers;
    std::vector<std::string> titles;

    std::optional<std::string> ShowOpenDialog(const std::vector<FileFilter>&, const std::string& title, bool) override
    {
        titles.push_back(title);
        if (openAnswers.empty())
            return std::nullopt;
        auto answer = openAnswers.front();
        openAnswers.pop_front();
        return answer;
    }
    std::string BrowseForFolder(const std::string& title, bool) override
    {
        titles.push_back(title);
        if (folderAnswers.empty())
            return {};
        auto answer = folderAnswers.front();
        folderAnswers.pop_front();
        return answer;
    }
};

// Waits, handling events, until the condition holds or the time is up.
inline bool waitFor(const std::function<bool()>& condition, int milliseconds = 10000)
{
    QElapsedTimer timer;
    timer.start();
    while (!condition()) {
        if (timer.elapsed() > milliseconds)
            return false;
        QTest::qWait(5);
    }
    return true;
}

// The desktop's view of a run: the progress shown and how each run ended.
class RecordingBatchStatus : public BatchStatus
{
public:
    void showProgress(double fraction) override { progress.push_back(fraction); }
    void runFinished(const RunSummary& summary, bool notify) override
    {
        endings.push_back(summary);
        notified.push_back(notify);
    }
    std::vector<double> progress;
    std::vector<RunSummary> endings;
    std::vector<bool> notified;
};

// The real window over the real engine, store and encoders; dialogs, message boxes, the shell and
// power-off are fakes. Every start uses the same temporary store, so a restart reads what the last
// exit saved.
class MainWindowFixture : public ::testing::Test
{
protected:
    TempDir dir;
    std::filesystem::path storeFile = dir / "config" / "registry.ini";
    std::unique_ptr<Engine> engine;
    std::unique_ptr<CRegister> registry;
    RecordingMessageBox messages;
    ScriptedDialogs dialogs;
    RecordingShell shell;
    RecordingPowerOff powerOff;
    RecordingInstaller installer;
    RecordingBatchStatus batchStatus;
    int markersCreated = 0;
    std::unique_ptr<frmMain> window;

    void SetUp() override
    {
        // No test may need a sound card: SDL plays into its dummy output.
        if (qEnvironmentVariableIsEmpty("SDL_AUDIODRIVER"))
            qputenv("SDL_AUDIODRIVER", "dummy");
        qtApplication<QApplication>();
    }
    void TearDown() override { closeWindow(); }

    frmMain::Services services(Engine& e)
    {
        if (!registry)
            registry = std::make_unique<CRegister>(storeFile);
        return {e,
                *registry,
                messages,
                dialogs,
                shell,
                powerOff,
                installer,
                [this] { ++markersCreated; },
                dir / "CheckWMASupport.wma",
                dir / "Errors.log",
                (dir / "Converted Files").string(),
                &batchStatus};
    }

    // Creates the window over a fresh real engine and runs its start-up; shows it when it started.
    bool startWindow(Engine* useEngine = nullptr)
    {
        if (!useEngine) {
            engine = makeEngine();
            useEngine = engine.get();
        }
        window = std::make_unique<frmMain>(services(*useEngine));
        const bool started = window->Load();
        if (started) {
            window->show();
            QCoreApplication::processEvents();
        }
        return started;
    }

    void closeWindow()
    {
        if (window && window->isVisible())
            window->close();
        window.reset();
    }

    template <typename W> W* control(const char* name) const
    {
        W* widget = window->findChild<W*>(QString::fromLatin1(name));
        EXPECT_NE(widget, nullptr) << name;
        return widget;
    }

    // Adds files through the audio dialog's road: the dialog answers with the selection text.
    void addThroughDialog(const std::string& selection)
    {
        dialogs.openAnswers.push_back(selection);
        control<QAbstractButton>("cmdAddFile")->click();
        waitForProbe();
    }

    // Lets the window run until every added file has its duration.
    void waitForProbe()
    {
        ASSERT_TRUE(test::waitFor([this] { return !window->probing(); }));
    }

    std::string status(std::size_t row) { return statusText(window->jobs().rsJobs().at(row)); }
};

} // namespace tunevale::test
