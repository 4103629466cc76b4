// A whole batch run from the real window: real engine, real lame, real files; the Status cell is
// painted as a bar while a job converts, "Stop" ends the run, a close the user asks for is refused
// meanwhile, and ending the program stops the run.
#include "ConversionController.h"
#include "JobGrid.h"
#include "JobTableModel.h"
#include "MainWindowFixture.h"
#include "ProgressCell.h"
#include "TerminationSignals.h"

#include <QAbstractButton>
#include <QCloseEvent>
#include <QImage>
#include <QLabel>
#include <QTextDocumentFragment>

#include <algorithm>
#include <csignal>
#include <set>

namespace tunevale
{
namespace
{

using test::MainWindowFixture;

const char* const kRunControls[] = {"cmdChangeFormat", "cmdRemove",      "cmdPlay",      "cmdPause",
                                    "cmdStop",         "cmdPlayPrev",    "cmdPlayNext",  "cmdBrowse",
                                    "optSameFolder",   "optOtherFolder", "chkSelectAll", "cmdAddFile",
                                    "cmdAddFolder",    "cmdAddVideoFile"};
// The other ways of adding rest with "Add Audio File...".
const char* const kAddingControls[] = {"cmdAddCd", "chkIncludeSubFolders"};

class MainWindowConversion : public MainWindowFixture
{
protected:
    std::vector<std::filesystem::path> sources;

    void SetUp() override
    {
        MainWindowFixture::SetUp();
        std::filesystem::create_directory(dir / "in");
        // The source is decoded ahead of lame into the encoder's pipe, about a megabyte: at 192 kHz
        // under two seconds, so that four-second sources keep each bar short of its end through a
        // few of the window's progress ticks, as ten seconds at 44.1 kHz do, with lame's slow
        // "Ipod Default" preset encoding less than half as much.
        for (const char* name : {"one.flac", "two.flac", "three.flac"})
            sources.push_back(tone(name, 4));
        ASSERT_TRUE(startWindow());
        addThroughDialog((dir / "in").string() + std::string(1, '\0') + "one.flac" + std::string(1, '\0') + "two.flac" +
                         std::string(1, '\0') + "three.flac");
        ASSERT_EQ(window->jobs().rsJobs().size(), 3u);
    }

    // Calls onProgress (once per job, when its Status first reads as a percentage past 20).
    void watchProgress(std::function<void(std::size_t row)> onProgress)
    {
        auto reported = std::make_shared<std::set<std::size_t>>();
        QObject::connect(window->Grid().model(), &QAbstractItemModel::dataChanged, window.get(),
                         [this, reported, onProgress](const QModelIndex& from) {
                             const std::size_t row = from.row();
                             const auto percent = ProgressCell::percentageOf(QString::fromStdString(status(row)));
                             if (percent && *percent > 20 && reported->insert(row).second)
                                 onProgress(row);
                         });
    }

    std::filesystem::path tone(const char* name, double seconds)
    {
        return test::makeTone(dir / "in" / name, seconds, 192000, 2, {"-c:a", "flac"});
    }

    std::filesystem::path output(const char* name) { return dir / "Converted Files" / name; }

    // Clicks a convert button and lets the window run until the conversion has ended.
    void convert(const char* button)
    {
        control<QAbstractButton>(button)->click();
        ASSERT_TRUE(test::waitFor([&] { return !window->conversionFlags().bConverting; }, 120000));
    }

    // The window's line about the last run, as plain text, and whether its words show in colour.
    QString outcome()
    {
        return QTextDocumentFragment::fromHtml(control<QLabel>("lblRunOutcome")->text()).toPlainText();
    }
    bool outcomeShows(const QColor& colour, const QString& words)
    {
        return control<QLabel>("lblRunOutcome")
            ->text()
            .contains(QStringLiteral("color:%1\">%2<").arg(colour.name(), words));
    }

    QVariant statusColour(std::size_t row)
    {
        return window->Grid().model()->index(static_cast<int>(row), 3).data(Qt::ForegroundRole);
    }
};

TEST_F(MainWindowConversion, ConvertAllPaintsTheBarAndConvertsEveryJob)
{
    int barsSeen = 0;
    watchProgress([&](std::size_t row) {
        JobGrid& grid = window->Grid();
        const QRect cell = grid.visualRect(grid.model()->index(static_cast<int>(row), 3));
        const QImage image = grid.viewport()->grab(cell).toImage();
        // The cell's left column is the bar's colour; its right column still the background.
        if (image.pixelColor(1, image.height() / 2) == QColor(113, 135, 79) &&
            image.pixelColor(image.width() - 3, 1) != QColor(113, 135, 79))
            ++barsSeen;
        // While the run lasts: "Stop", the other button and the fourteen controls disabled.
        EXPECT_EQ(control<QAbstractButton>("cmdConvert")->text(), "Stop");
        EXPECT_FALSE(control<QWidget>("cmdConvertSelected")->isEnabled());
        for (const char* name : kRunControls)
            EXPECT_FALSE(control<QWidget>(name)->isEnabled()) << name;
        for (const char* name : kAddingControls)
            EXPECT_FALSE(control<QWidget>(name)->isEnabled()) << name;
        EXPECT_TRUE(window->conversionFlags().bConverting);
    });
    convert("cmdConvert");

    EXPECT_EQ(barsSeen, 3) << "every job showed its bar while it converted";
    for (std::size_t row = 0; row < 3; ++row) {
        EXPECT_EQ(status(row), "Complete");
        EXPECT_EQ(statusColour(row), JobTableModel::kCompleteColour);
    }
    for (const char* name : {"one.mp3", "two.mp3", "three.mp3"}) {
        ASSERT_TRUE(std::filesystem::exists(output(name))) << name;
        EXPECT_EQ(test::ffprobe(output(name), "stream=codec_name"), "mp3");
        EXPECT_EQ(test::ffprobe(output(name), "stream=bit_rate"), "128000");
    }
    EXPECT_EQ(control<QAbstractButton>("cmdConvert")->text(), "Convert All");
    EXPECT_TRUE(control<QWidget>("cmdConvertSelected")->isEnabled());
    for (const char* name : kRunControls)
        EXPECT_TRUE(control<QWidget>(name)->isEnabled()) << name;
    for (const char* name : kAddingControls)
        EXPECT_TRUE(control<QWidget>(name)->isEnabled()) << name;
    // Finished jobs are passed over by the next run.
    convert("cmdConvert");
    EXPECT_FALSE(std::filesystem::exists(output("one_Converted.mp3")));
    EXPECT_TRUE(powerOff.requests.empty());
}

TEST_F(MainWindowConversion, StopEndsTheRunAndTheNextRunTakesTheCancelledJob)
{
    window->conversion().setParallelJobs(1);
    watchProgress([&](std::size_t row) {
        if (row == 1)
            QTimer::singleShot(0, control<QAbstractButton>("cmdConvert"), &QAbstractButton::click);
    });
    control<QAbstractButton>("cmdConvert")->click();
    ASSERT_TRUE(test::waitFor([&] { return !window->conversionFlags().bConverting; }, 120000));

    EXPECT_EQ(status(0), "Complete");
    EXPECT_EQ(status(1), "Cancelled");
    EXPECT_EQ(statusColour(1), JobTableModel::kFailedColour);
    EXPECT_EQ(status(2), "Waiting Conversion");
    EXPECT_FALSE(std::filesystem::exists(output("three.mp3")));
    EXPECT_EQ(control<QAbstractButton>("cmdConvert")->text(), "Convert All");
    EXPECT_TRUE(control<QWidget>("cmdAddFile")->isEnabled());
    EXPECT_EQ(outcome(), "Last run: 1 complete, 1 cancelled, 1 still waiting");
    EXPECT_TRUE(outcomeShows(JobTableModel::kCompleteColour, "1 complete"));
    EXPECT_TRUE(outcomeShows(JobTableModel::kFailedColour, "1 cancelled"));

    control<QAbstractButton>("cmdConvert")->click();
    EXPECT_EQ(outcome(), "") << "a new run clears the last one's outcome";
    ASSERT_TRUE(test::waitFor([&] { return !window->conversionFlags().bConverting; }, 120000));
    EXPECT_EQ(status(1), "Complete");
    EXPECT_EQ(status(2), "Complete");
    EXPECT_EQ(outcome(), "Last run: 2 complete");
}

TEST_F(MainWindowConversion, CloseIsRefusedDuringARunAndTheRunGoesOn)
{
    watchProgress([&](std::size_t row) {
        if (row == 0)
            QTimer::singleShot(0, control<QAbstractButton>("cmdClose"), &QAbstractButton::click);
    });
    convert("cmdConvert");

    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].text, "Please Stop Conversion first.");
    EXPECT_EQ(messages.shown[0].icon, MessageIcon::Exclamation);
    EXPECT_TRUE(window->isVisible());
    for (std::size_t row = 0; row < 3; ++row)
        EXPECT_EQ(status(row), "Complete");

    control<QAbstractButton>("cmdClose")->click();
    EXPECT_FALSE(window->isVisible()) << "once the run is over the window closes";
}

TEST_F(MainWindowConversion, TwoJobsShowTheirBarsAtOnceWhileTheWindowStaysResponsive)
{
    // A longer fourth job keeps the run going while About rises and falls.
    addThroughDialog(tone("four.flac", 10).string());
    ASSERT_EQ(window->jobs().rsJobs().size(), 4u);
    window->conversion().setParallelJobs(2);
    int mostBarsAtOnce = 0;
    bool aboutOpened = false;
    watchProgress([&](std::size_t) {
        int bars = 0;
        for (std::size_t row = 0; row < 4; ++row)
            bars += ProgressCell::percentageOf(QString::fromStdString(status(row))).has_value();
        mostBarsAtOnce = std::max(mostBarsAtOnce, bars);
    });
    control<QAbstractButton>("cmdConvert")->click();
    // During the run the window answers: About slides up, the close button warns.
    ASSERT_TRUE(test::waitFor([&] { return window->jobs().rsJobs().at(0).Progress > 0; }, 60000));
    control<QAbstractButton>("cmdAbout")->click();
    const auto aboutTop = [&] { return window->panelTopTwips(control<QWidget>("frAbout")); };
    aboutOpened = test::waitFor([&] { return aboutTop() == 2715; }, 10000);
    control<QAbstractButton>("cmdCloseHelp")->click();
    ASSERT_TRUE(test::waitFor([&] { return !window->tmrAnimateRunning() && aboutTop() > 2715; }, 10000));
    control<QAbstractButton>("cmdClose")->click();
    EXPECT_TRUE(window->isVisible());
    ASSERT_TRUE(test::waitFor([&] { return !window->conversionFlags().bConverting; }, 120000));

    EXPECT_EQ(mostBarsAtOnce, 2) << "two running jobs each showed a bar";
    EXPECT_TRUE(aboutOpened);
    ASSERT_FALSE(messages.shown.empty());
    EXPECT_EQ(messages.shown.back().text, "Please Stop Conversion first.");
    for (std::size_t row = 0; row < 4; ++row)
        EXPECT_EQ(status(row), "Complete");
}

TEST_F(MainWindowConversion, ClosedByTheWindowManagerDuringARunTheWindowStaysAndTheRunGoesOn)
{
    bool stayed = false;
    watchProgress([&](std::size_t row) {
        if (row != 0)
            return;
        // What the window manager's close (Alt+F4, the title bar, the taskbar) delivers.
        QTimer::singleShot(0, window.get(), [&] {
            QCloseEvent event;
            QApplication::sendEvent(window.get(), &event);
            stayed = !event.isAccepted() && window->isVisible();
        });
    });
    convert("cmdConvert");

    EXPECT_TRUE(stayed);
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].text, "Please Stop Conversion first.");
    EXPECT_EQ(messages.shown[0].icon, MessageIcon::Exclamation);
    for (std::size_t row = 0; row < 3; ++row)
        EXPECT_EQ(status(row), "Complete");
    window->close();
    EXPECT_FALSE(window->isVisible()) << "once the run is over the window closes";
}

TEST_F(MainWindowConversion, ATerminationSignalDuringARunStopsItAndClosesTheWindow)
{
    onEndRequests(*window, [this] { window->endProgram(); });
    control<QAbstractButton>("chkShutdown")->click();
    control<QAbstractButton>("cmdConvert")->click();
    ASSERT_TRUE(test::waitFor([&] { return window->jobs().rsJobs().at(0).Progress > 0; }, 60000));
    ASSERT_EQ(::raise(SIGTERM), 0);
    ASSERT_TRUE(test::waitFor([&] { return !window->isVisible(); }));
    EXPECT_TRUE(messages.shown.empty());
    EXPECT_FALSE(window->conversionFlags().bConverting);
    EXPECT_EQ(status(0), "Cancelled");
    EXPECT_EQ(status(2), "Waiting Conversion");
    EXPECT_TRUE(powerOff.requests.empty()) << "ending the program never powers the machine off";
}

TEST_F(MainWindowConversion, TheTitleTaskbarAndTooltipsFollowTheRun)
{
    window->conversion().setParallelJobs(1);
    std::set<QString> titles;
    QObject::connect(window.get(), &QWidget::windowTitleChanged, window.get(),
                     [&](const QString& title) { titles.insert(title); });
    // The second job's encoder fails (the encoders are given private names, so the second start
    // is counted): its Status cell says why in a tooltip.
    const auto bin = dir / "bin";
    std::filesystem::create_directories(bin);
    const std::string realLame = test::runProgram({"/bin/sh", "-c", "command -v lame"}).output;
    const std::string starts = (bin / "starts").string();
    test::writeScript(bin / "lame", "echo started >> '" + starts +
                                        "'\n"
                                        "if [ \"$(wc -l < '" +
                                        starts +
                                        "')\" -eq 2 ]; then "
                                        "echo 'lame: refuses this one' >&2; exit 3; fi\n"
                                        "exec " +
                                        realLame.substr(0, realLame.find('\n')) + " \"$@\"\n");
    const std::string path = std::getenv("PATH");
    ::setenv("PATH", (bin.string() + ":" + path).c_str(), 1);
    convert("cmdConvert");
    ::setenv("PATH", path.c_str(), 1);

    EXPECT_TRUE(titles.contains(QStringLiteral("Tunevale – 1 of 3"))) << titles.size();
    EXPECT_TRUE(titles.contains(QStringLiteral("Tunevale – 3 of 3")));
    EXPECT_EQ(window->windowTitle(), "Tunevale");
    ASSERT_FALSE(batchStatus.progress.empty());
    EXPECT_TRUE(std::is_sorted(batchStatus.progress.begin(), batchStatus.progress.end()));
    ASSERT_EQ(batchStatus.endings.size(), 1u);
    EXPECT_EQ(batchStatus.endings[0].completed, 2);
    EXPECT_EQ(batchStatus.endings[0].failed, 1);
    EXPECT_EQ(batchStatus.endings[0].outputFolder, (dir / "Converted Files").string());
    EXPECT_EQ(outcome(), "Last run: 2 complete, 1 failed");
    EXPECT_TRUE(outcomeShows(JobTableModel::kFailedColour, "1 failed"));

    EXPECT_EQ(status(1), "Error");
    const QString why = window->Grid().model()->index(1, 3).data(Qt::ToolTipRole).toString();
    EXPECT_TRUE(why.startsWith("The encoder ended with an error")) << why.toStdString();
    EXPECT_TRUE(why.contains("lame: refuses this one")) << why.toStdString();
    EXPECT_TRUE(window->Grid().model()->index(0, 3).data(Qt::ToolTipRole).toString().isEmpty());

    // The outcome goes once the list changes: files removed, files added.
    window->jobs().rsJobs().setCheckBox(1, 1);
    EXPECT_EQ(outcome(), "Last run: 2 complete, 1 failed") << "ticking a row does not change the list";
    control<QAbstractButton>("cmdRemove")->click();
    EXPECT_EQ(outcome(), "");
    convert("cmdConvert");
    EXPECT_EQ(outcome(), "") << "a run that starts no job has no outcome";
}

TEST_F(MainWindowConversion, ShutdownAfterARunAsksForPowerOff)
{
    control<QAbstractButton>("chkShutdown")->click();
    // Convert Selected with nothing ticked starts no job, so nothing is powered off.
    convert("cmdConvertSelected");
    EXPECT_TRUE(powerOff.requests.empty());
    EXPECT_EQ(status(0), "Waiting Conversion");

    window->jobs().rsJobs().setCheckBox(2, -1);
    convert("cmdConvertSelected");
    EXPECT_EQ(status(2), "Complete");
    EXPECT_EQ(status(0), "Waiting Conversion");
    ASSERT_EQ(powerOff.requests.size(), 1u);
    EXPECT_EQ(powerOff.requests[0], PowerOff::Action::PowerOff);
}

} // namespace
} // namespace tunevale
