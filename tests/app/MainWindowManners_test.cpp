// How the real window behaves with a window manager, the mouse and the keyboard: its one size, the
// drag of its background, keyboard use, text that fits, and files given on the command line.
#include "AboutPanel.h"
#include "CommandLineFiles.h"
#include "JobGrid.h"
#include "MainWindowFixture.h"
#include "Slider.h"
#include "ThemedButton.h"

#include <QAbstractButton>
#include <QDir>
#include <QHelpEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QStackedWidget>
#include <QToolTip>

namespace tunevale
{
namespace
{

using test::MainWindowFixture;

const std::string kNul(1, '\0');

class MainWindowManners : public MainWindowFixture
{
protected:
    void SetUp() override
    {
        MainWindowFixture::SetUp();
        std::filesystem::create_directory(dir / "in");
        ASSERT_TRUE(startWindow());
    }
    bool settle()
    {
        return test::waitFor([&] { return !window->tmrAnimateRunning(); }, 10000);
    }
    bool activate()
    {
        window->activateWindow();
        return QTest::qWaitForWindowActive(window.get(), 5000);
    }
    // A mouse event as the window system delivers it: to the widget under the pointer, at a
    // position on the screen that does not depend on where the window is.
    static void mouse(QWidget* target, QEvent::Type type, QPoint local, QPoint global, Qt::MouseButton button,
                      Qt::MouseButtons buttons)
    {
        QMouseEvent event(type, QPointF(local), QPointF(global), button, buttons, Qt::NoModifier);
        QApplication::sendEvent(target, &event);
    }
    void addTones(std::initializer_list<const char*> names)
    {
        std::string selection = (dir / "in").string();
        for (const char* name : names) {
            test::makeTone(dir / "in" / name, 2);
            selection += kNul + name;
        }
        addThroughDialog(selection);
    }
    QWidget* frMain() { return control<QWidget>("frMain"); }
};

TEST_F(MainWindowManners, KeepsItsSizeWhenAWindowManagerMaximisesOrResizesIt)
{
    const QSize drawn = window->size();
    EXPECT_EQ(drawn, frMain()->size());
    EXPECT_EQ(window->minimumSize(), drawn);
    EXPECT_EQ(window->maximumSize(), drawn);
    EXPECT_TRUE(window->windowFlags().testFlag(Qt::FramelessWindowHint));

    window->showMaximized();
    QTest::qWait(50);
    EXPECT_FALSE(window->isMaximized());
    EXPECT_EQ(window->size(), drawn);
    window->showFullScreen();
    QTest::qWait(50);
    EXPECT_FALSE(window->isFullScreen());
    EXPECT_EQ(window->size(), drawn);
    window->resize(drawn + QSize(300, 200));
    EXPECT_EQ(window->size(), drawn);

    // The parked panels stay below the visible area.
    for (const char* panel : {"frAbout", "frFormats"})
        EXPECT_GE(control<QWidget>(panel)->y(), window->height()) << panel;
}

TEST_F(MainWindowManners, OnlyADragOfTheMainPanelsBackgroundMovesTheWindow)
{
    const QPoint background(200, 8); // the header band, left of the window's buttons
    ASSERT_EQ(frMain()->childAt(background), nullptr);
    const QPoint start = window->pos();
    const QPoint pointer = frMain()->mapToGlobal(background);
    const int distance = QApplication::startDragDistance();

    // A click or a tap: the window stays, and later moves of the pointer do not take it along.
    mouse(frMain(), QEvent::MouseButtonPress, background, pointer, Qt::LeftButton, Qt::LeftButton);
    mouse(frMain(), QEvent::MouseButtonRelease, background, pointer, Qt::LeftButton, Qt::NoButton);
    mouse(frMain(), QEvent::MouseMove, background + QPoint(50, 40), pointer + QPoint(50, 40), Qt::NoButton,
          Qt::NoButton);
    EXPECT_EQ(window->pos(), start);

    // A press with a small wobble is still a click.
    mouse(frMain(), QEvent::MouseButtonPress, background, pointer, Qt::LeftButton, Qt::LeftButton);
    mouse(frMain(), QEvent::MouseMove, background + QPoint(distance - 1, 0), pointer + QPoint(distance - 1, 0),
          Qt::NoButton, Qt::LeftButton);
    EXPECT_EQ(window->pos(), start);

    // Past the drag distance the window follows the pointer until the button goes up.
    mouse(frMain(), QEvent::MouseMove, background + QPoint(40, 30), pointer + QPoint(40, 30), Qt::NoButton,
          Qt::LeftButton);
    EXPECT_EQ(window->pos(), start + QPoint(40, 30));
    mouse(frMain(), QEvent::MouseMove, background + QPoint(60, -10), pointer + QPoint(60, -10), Qt::NoButton,
          Qt::LeftButton);
    EXPECT_EQ(window->pos(), start + QPoint(60, -10));
    mouse(frMain(), QEvent::MouseButtonRelease, background, pointer + QPoint(60, -10), Qt::LeftButton, Qt::NoButton);
    mouse(frMain(), QEvent::MouseMove, background + QPoint(90, 90), pointer + QPoint(90, 90), Qt::NoButton,
          Qt::NoButton);
    EXPECT_EQ(window->pos(), start + QPoint(60, -10));

    // A press on a label, or on the steps panel inside the main panel, is passed up to the main
    // panel but is no press on its background.
    const QPoint moved = window->pos();
    QLabel* hint = nullptr;
    for (QLabel* label : frMain()->findChildren<QLabel*>())
        if (label->text().startsWith(QLatin1String("For Quick Adding")))
            hint = label;
    ASSERT_NE(hint, nullptr);
    QWidget* steps = control<QWidget>("MyFrame1");
    const QPoint stepsBackground(steps->width() / 2, 4);
    ASSERT_EQ(steps->childAt(stepsBackground), nullptr);
    for (auto [target, at] : {std::pair<QWidget*, QPoint>{hint, QPoint(5, 5)}, {steps, stepsBackground}}) {
        const QPoint global = target->mapToGlobal(at);
        mouse(target, QEvent::MouseButtonPress, at, global, Qt::LeftButton, Qt::LeftButton);
        mouse(target, QEvent::MouseMove, at + QPoint(50, 50), global + QPoint(50, 50), Qt::NoButton, Qt::LeftButton);
        mouse(target, QEvent::MouseButtonRelease, at + QPoint(50, 50), global + QPoint(50, 50), Qt::LeftButton,
              Qt::NoButton);
        EXPECT_EQ(window->pos(), moved) << target->metaObject()->className();
    }
}

TEST_F(MainWindowManners, KeyboardTicksRowsLeavesTheGridPressesButtonsAndClosesPanels)
{
    ASSERT_TRUE(activate());
    addTones({"a.wav", "b.wav", "c.wav"});
    ASSERT_EQ(window->jobs().rsJobs().size(), 3u);
    JobGrid& grid = window->Grid();
    grid.setFocus();
    grid.setCurrentIndex(grid.model()->index(1, 2));

    QTest::keyClick(&grid, Qt::Key_Space);
    EXPECT_FALSE(window->jobs().rsJobs().at(0).ticked());
    EXPECT_TRUE(window->jobs().rsJobs().at(1).ticked());
    QTest::keyClick(&grid, Qt::Key_Space);
    EXPECT_FALSE(window->jobs().rsJobs().at(1).ticked());

    QTest::keyClick(&grid, Qt::Key_Tab);
    EXPECT_NE(QApplication::focusWidget(), &grid);
    EXPECT_EQ(grid.currentIndex().row(), 1) << "Tab does not walk the cells";

    // Enter and Space press the focused button; Escape closes the risen panel as its button does.
    auto* change = control<ThemedButton>("cmdChangeFormat");
    const std::pair<const char*, const char*> formats[] = {{"optFileFormat_0", "WAV, Bitrate will be as input"},
                                                           {"optFileFormat_4", "iPod Default format"},
                                                           {"optFileFormat_0", "WAV, Bitrate will be as input"}};
    int format = 0;
    for (Qt::Key key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Space}) {
        change->setFocus();
        QTest::keyClick(change, key);
        EXPECT_TRUE(window->tmrAnimateRunning()) << key;
        ASSERT_TRUE(settle());
        EXPECT_EQ(window->panelTopTwips(control<QWidget>("frFormats")), 2715);
        ASSERT_NE(QApplication::focusWidget(), nullptr);
        EXPECT_EQ(QApplication::focusWidget(), control<QWidget>("cmdHide")) << "the keyboard follows the panel";
        const auto [option, summary] = formats[format++];
        control<QAbstractButton>(option)->click();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
        ASSERT_TRUE(settle());
        EXPECT_EQ(window->panelTopTwips(control<QWidget>("frFormats")), window->height() * 15);
        EXPECT_TRUE(frMain()->isEnabled());
        EXPECT_EQ(control<QLabel>("lblFormat")->text(), summary) << "closing shows the format summary";
    }

    control<QAbstractButton>("cmdAbout")->click();
    ASSERT_TRUE(settle());
    EXPECT_EQ(QApplication::focusWidget(), control<QWidget>("cmdCloseHelp"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
    ASSERT_TRUE(settle());
    EXPECT_EQ(window->panelTopTwips(control<QWidget>("frAbout")), window->height() * 15);
    EXPECT_TRUE(frMain()->isEnabled());

    // With no panel up, Escape changes nothing.
    QTest::keyClick(window.get(), Qt::Key_Escape);
    EXPECT_FALSE(window->tmrAnimateRunning());
    EXPECT_TRUE(window->isVisible());
}

TEST_F(MainWindowManners, FocusedButtonShowsAFrame)
{
    ASSERT_TRUE(activate());
    auto* button = control<ThemedButton>("cmdChangeFormat");
    control<QWidget>("Grid")->setFocus();
    const QImage unfocused = button->grab().toImage();
    button->setFocus(Qt::TabFocusReason);
    ASSERT_TRUE(button->hasFocus());
    const QImage focused = button->grab().toImage();
    ASSERT_EQ(focused.size(), unfocused.size());

    // The frame lies inside the border; the caption in the middle is unchanged.
    int changedOnRing = 0;
    for (int x = 3; x < focused.width() - 3; ++x)
        for (int y : {3, focused.height() - 4})
            changedOnRing += focused.pixel(x, y) != unfocused.pixel(x, y);
    EXPECT_GT(changedOnRing, focused.width() / 4);
    EXPECT_EQ(focused.pixel(focused.width() / 2, focused.height() / 2),
              unfocused.pixel(focused.width() / 2, focused.height() / 2));
}

TEST_F(MainWindowManners, Mp3SliderCaptionsShowInFullBesideTheirSliders)
{
    control<QAbstractButton>("cmdChangeFormat")->click();
    ASSERT_TRUE(settle());
    control<QAbstractButton>("optFileFormat_2")->click();
    auto* panel = control<QWidget>("frFormat_2");
    ASSERT_EQ(control<QStackedWidget>("frFormat")->currentWidget(), panel);
    QCoreApplication::processEvents();

    std::vector<QRect> sliders;
    for (const char* name : {"SliderMP3EncoderQuality", "SliderMP3VBR", "lblMP3EncodSlider", "lblMP3VBREncodSlider"}) {
        auto* widget = control<QWidget>(name);
        sliders.push_back(QRect(widget->mapTo(panel, QPoint()), widget->size()));
    }
    for (const char* caption :
         {"Less Quality(Smaller File)", "High Quality(Bigger File)", "Low (Faster)", "High (Slower)"}) {
        QLabel* found = nullptr;
        for (QLabel* label : panel->findChildren<QLabel*>())
            if (label->text() == QLatin1String(caption))
                found = label;
        ASSERT_NE(found, nullptr) << caption;
        EXPECT_GE(found->contentsRect().width(), found->fontMetrics().horizontalAdvance(found->text())) << caption;
        const QRect at(found->mapTo(panel, QPoint()), found->size());
        EXPECT_TRUE(panel->contentsRect().contains(at)) << caption;
        for (const QRect& slider : sliders)
            EXPECT_FALSE(at.intersects(slider)) << caption;
    }
}

TEST_F(MainWindowManners, CutOffCellTextShowsInATooltip)
{
    test::writeFile(dir / "in" / "broken.mp3", std::string(4096, 'x'));
    addThroughDialog((dir / "in" / "broken.mp3").string());
    ASSERT_EQ(window->jobs().rsJobs().size(), 1u);
    JobGrid& grid = window->Grid();
    const QModelIndex status = grid.model()->index(0, 3);
    ASSERT_EQ(status.data().toString(), "Codec Not Supported");

    auto hover = [&] {
        const QPoint at = grid.visualRect(status).center();
        QHelpEvent help(QEvent::ToolTip, at, grid.viewport()->mapToGlobal(at));
        QApplication::sendEvent(grid.viewport(), &help);
    };
    grid.setColumnWidth(3, 60);
    EXPECT_EQ(grid.cutOffText(status), "Codec Not Supported");
    hover();
    EXPECT_TRUE(QToolTip::isVisible());
    EXPECT_EQ(QToolTip::text(), "Codec Not Supported");

    grid.setColumnWidth(3, grid.fontMetrics().horizontalAdvance(QStringLiteral("Codec Not Supported")) + 20);
    EXPECT_EQ(grid.cutOffText(status), "");
    hover();
    EXPECT_TRUE(test::waitFor([] { return !QToolTip::isVisible(); }, 5000)) << "a text shown whole needs no tip";
}

TEST_F(MainWindowManners, FilesOnTheCommandLineAreAddedAsADropIs)
{
    const auto a = test::makeTone(dir / "in" / "a.wav", 2);
    const auto b = test::makeTone(dir / "in" / "b b.wav", 2);
    test::writeFile(dir / "in" / "notes.txt", "x");
    const QString previous = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(QString::fromStdString((dir / "in").string())));
    const auto files =
        commandLineFiles({QStringLiteral("a.wav"), QUrl::fromLocalFile(QString::fromStdString(b.string())).toString(),
                          QStringLiteral("./notes.txt"), QStringLiteral("https://example.org/c.mp3"), QString(),
                          QString::fromStdString(a.string())});
    QDir::setCurrent(previous);
    EXPECT_EQ(files,
              (std::vector<std::string>{a.string(), b.string(), (dir / "in" / "notes.txt").string(), a.string()}));

    window->addFilesFromCommandLine(files);
    waitForProbe();
    ASSERT_EQ(window->jobs().rsJobs().size(), 2u) << "the text file and the repeated file are refused";
    EXPECT_EQ(window->jobs().rsJobs().at(0).FilePath, a.string());
    EXPECT_EQ(window->jobs().rsJobs().at(1).FilePath, b.string());
    EXPECT_EQ(status(0), "Waiting Conversion");
    EXPECT_TRUE(messages.shown.empty()) << "refusals are silent, as for a drop";
}

TEST_F(MainWindowManners, AFolderOnTheCommandLineAddsItsFilesAsAddFolderDoes)
{
    const auto folder = dir / "in" / "album";
    std::filesystem::create_directories(folder / "bonus");
    const auto two = test::makeTone(folder / "Two.wav", 2);
    const auto one = test::makeTone(folder / "one.wav", 2);
    test::makeTone(folder / "bonus" / "three.wav", 2);
    const QString previous = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(QString::fromStdString((dir / "in").string())));
    const auto paths = commandLineFiles({QStringLiteral("album/")});
    QDir::setCurrent(previous);

    window->addFilesFromCommandLine(paths);
    waitForProbe();
    ASSERT_EQ(window->jobs().rsJobs().size(), 2u) << "the sub-folder is not searched";
    EXPECT_EQ(window->jobs().rsJobs().at(0).FilePath, one.string());
    EXPECT_EQ(window->jobs().rsJobs().at(1).FilePath, two.string());
    EXPECT_EQ(status(1), "Waiting Conversion");
    EXPECT_TRUE(messages.shown.empty());
}

TEST_F(MainWindowManners, AboutPanelNamesTheErrorLogAndOnlyFormatsTheListTakes)
{
    auto* about = control<AboutPanel>("frAbout");
    EXPECT_TRUE(about->lblErrorLog->text().contains(QString::fromStdString((dir / "Errors.log").string())));
    for (QLabel* label : about->findChildren<QLabel*>())
        EXPECT_FALSE(label->text().contains(QLatin1String("tracker"), Qt::CaseInsensitive))
            << label->text().toStdString();
}

} // namespace
} // namespace tunevale
