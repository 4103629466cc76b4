// Adding jobs through the dialogs and by drops, the grid's cells, and the preview player's buttons
// on the real window with the real engine (SDL's dummy output).
#include "JobGrid.h"
#include "MainWindowFixture.h"
#include "PreviewPlayer.h"
#include "Theme.h"

#include <QAbstractButton>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QMimeData>
#include <QUrl>

namespace tunevale
{
namespace
{

using test::MainWindowFixture;

const std::string kNul(1, '\0');
const char* const kRefused = "Some files are not supported or already exist and will not be added";

class MainWindowJobs : public MainWindowFixture
{
protected:
    void SetUp() override
    {
        MainWindowFixture::SetUp();
        std::filesystem::create_directory(dir / "in");
        ASSERT_TRUE(startWindow());
    }
    std::filesystem::path tone(const char* name) { return test::makeTone(dir / "in" / name, 3); }
    JobGrid& grid() { return window->Grid(); }
    QVariant cell(int row, int column, int role = Qt::DisplayRole)
    {
        return grid().model()->index(row, column).data(role);
    }
    void drop(const QList<QUrl>& urls)
    {
        QMimeData data;
        data.setUrls(urls);
        const QPoint at = grid().viewport()->rect().center();
        QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(grid().viewport(), &enter);
        QDropEvent dropped(QPointF(at), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(grid().viewport(), &dropped);
    }
    void selectRows(std::initializer_list<int> rows)
    {
        grid().clearSelection();
        for (int row : rows)
            grid().selectionModel()->select(grid().model()->index(row, 2),
                                            QItemSelectionModel::Select | QItemSelectionModel::Rows);
    }
    std::uint32_t previewState()
    {
        return window->player().PreviewChannel() ? engine->ChannelIsActive(window->player().PreviewChannel()) : 0;
    }
};

TEST_F(MainWindowJobs, DialogRoadsAddJobsAndWarnOnceAboutRefusedFiles)
{
    const auto a = tone("a.wav");
    tone("b.ogg");
    tone("c.flac");
    test::writeFile(dir / "in" / "notes.txt", "text");

    addThroughDialog(a.string());
    EXPECT_TRUE(messages.shown.empty());
    addThroughDialog((dir / "in").string() + kNul + "b.ogg" + kNul + "c.flac" + kNul + "notes.txt" + kNul + "a.wav");
    ASSERT_EQ(window->jobs().rsJobs().size(), 3u);
    EXPECT_EQ(messages.texts(), std::vector<std::string>{kRefused});
    EXPECT_EQ(dialogs.titles,
              (std::vector<std::string>{"Select one or more audio files", "Select one or more audio files"}));

    // The grid shows the table: tick box, path, status, duration, size; text columns are read-only.
    EXPECT_EQ(grid().model()->rowCount(), 3);
    EXPECT_EQ(cell(1, 2).toString().toStdString(), (dir / "in" / "b.ogg").string());
    EXPECT_EQ(cell(1, 3).toString(), "Waiting Conversion");
    EXPECT_EQ(cell(1, 4).toString(), "00:03");
    EXPECT_EQ(cell(0, 1, Qt::CheckStateRole).toInt(), Qt::Unchecked);
    EXPECT_FALSE(grid().model()->flags(grid().model()->index(0, 2)).testFlag(Qt::ItemIsEditable));
    EXPECT_EQ(grid().model()->headerData(1, Qt::Horizontal).toString(), " ");

    // Ticking in the grid goes straight into the job.
    grid().model()->setData(grid().model()->index(2, 1), Qt::Checked, Qt::CheckStateRole);
    EXPECT_TRUE(window->jobs().rsJobs().at(2).ticked());

    // Cancelling a dialog adds and says nothing.
    control<QAbstractButton>("cmdAddFile")->click();
    EXPECT_EQ(window->jobs().rsJobs().size(), 3u);
    EXPECT_EQ(messages.shown.size(), 1u);
}

TEST_F(MainWindowJobs, VideoAndFolderRoads)
{
    test::ffmpeg({"-f", "lavfi", "-i", "testsrc=size=64x48:rate=10:duration=2", "-f", "lavfi", "-i",
                  "sine=frequency=300:duration=2", "-shortest", (dir / "clip.avi").string()});
    dialogs.openAnswers.push_back((dir / "clip.avi").string());
    control<QAbstractButton>("cmdAddVideoFile")->click();
    waitForProbe();
    EXPECT_EQ(dialogs.titles.back(), "Select one or more video files");
    ASSERT_EQ(window->jobs().rsJobs().size(), 1u);
    EXPECT_EQ(window->jobs().rsJobs().at(0).Duration, "00:02");

    tone("x.wav");
    tone("y.mp3");
    dialogs.folderAnswers.push_back((dir / "in").string());
    control<QAbstractButton>("cmdAddFolder")->click();
    waitForProbe();
    EXPECT_EQ(dialogs.titles.back(), "Select folder to add");
    EXPECT_EQ(window->jobs().rsJobs().size(), 3u);
    EXPECT_TRUE(messages.shown.empty());
}

TEST_F(MainWindowJobs, DropsAddLocalFilesSilentlyAndMarkUndecodableOnesRed)
{
    const auto good = tone("good.wav");
    test::writeFile(dir / "in" / "broken.mp3", std::string(4000, 'x'));
    drop({QUrl::fromLocalFile(QString::fromStdString(good.string())),
          QUrl::fromLocalFile(QString::fromStdString((dir / "in" / "broken.mp3").string())),
          QUrl(QStringLiteral("https://example.org/remote.mp3")),
          QUrl::fromLocalFile(QString::fromStdString((dir / "in" / "missing.txt").string()))});
    waitForProbe();
    ASSERT_EQ(window->jobs().rsJobs().size(), 2u);
    EXPECT_EQ(cell(0, 3).toString(), "Waiting Conversion");
    EXPECT_EQ(cell(1, 3).toString(), "Codec Not Supported");
    EXPECT_EQ(cell(1, 4).toString(), "Error");
    EXPECT_EQ(cell(1, 3, Qt::ForegroundRole).value<QColor>(), theme::StatusRed);
    EXPECT_EQ(cell(1, 4, Qt::ForegroundRole).value<QColor>(), theme::StatusRed);
    EXPECT_FALSE(cell(0, 3, Qt::ForegroundRole).isValid());
    EXPECT_TRUE(messages.shown.empty()) << "the drop road shows no warning";
}

TEST_F(MainWindowJobs, PreviewButtonsPlayTheLowerSelectedRowAndStepThroughTheList)
{
    for (const char* name : {"p0.wav", "p1.wav", "p2.wav"})
        addThroughDialog(tone(name).string());
    ASSERT_EQ(window->jobs().rsJobs().size(), 3u);
    auto* pause = control<QAbstractButton>("cmdPause");

    selectRows({0, 1});
    control<QAbstractButton>("cmdPlay")->click();
    EXPECT_EQ(window->player().PreviewFilePath(), window->jobs().rsJobs().at(1).FilePath);
    EXPECT_EQ(previewState(), ChannelState::Playing);

    pause->click();
    EXPECT_EQ(pause->text(), "Resume");
    EXPECT_EQ(previewState(), ChannelState::Paused);
    pause->click();
    EXPECT_EQ(pause->text(), "Pause");
    EXPECT_EQ(previewState(), ChannelState::Playing);

    control<QAbstractButton>("cmdPlayNext")->click();
    EXPECT_EQ(window->player().PreviewFilePath(), window->jobs().rsJobs().at(2).FilePath);
    EXPECT_TRUE(grid().selectionModel()->isRowSelected(2));
    EXPECT_FALSE(grid().selectionModel()->isRowSelected(1));
    const EngineHandle last = window->player().PreviewChannel();
    control<QAbstractButton>("cmdPlayNext")->click();
    EXPECT_EQ(window->player().PreviewChannel(), last) << "Next at the last row does nothing";
    EXPECT_EQ(previewState(), ChannelState::Playing);

    control<QAbstractButton>("cmdPlayPrev")->click();
    EXPECT_EQ(window->player().PreviewFilePath(), window->jobs().rsJobs().at(1).FilePath);

    // Removing another job keeps the preview; removing the playing one stops it.
    window->jobs().rsJobs().setCheckBox(0, -1);
    control<QAbstractButton>("cmdRemove")->click();
    EXPECT_EQ(previewState(), ChannelState::Playing);
    ASSERT_EQ(window->jobs().rsJobs().size(), 2u);
    window->jobs().rsJobs().setCheckBox(0, 1);
    control<QAbstractButton>("cmdRemove")->click();
    EXPECT_EQ(window->player().PreviewChannel(), 0u);
    EXPECT_EQ(pause->text(), "Pause");
    EXPECT_EQ(window->jobs().rsJobs().size(), 1u);
    EXPECT_TRUE(messages.shown.empty());
}

TEST_F(MainWindowJobs, GridColumnsAreTheirTwipWidthsRoundedToPixels)
{
    addThroughDialog(tone("w.wav").string());
    QCoreApplication::processEvents();
    ASSERT_TRUE(grid().isVisible());
    EXPECT_TRUE(grid().isColumnHidden(0));
    // 500, 5200, 2000, 1200 and 1200 twips at 15 twips a pixel, to the nearest pixel.
    const std::vector<int> widths{33, 347, 133, 80, 80};
    for (int column = 1; column <= 5; ++column)
        EXPECT_EQ(grid().columnWidth(column), widths[static_cast<std::size_t>(column - 1)]) << "column " << column;
    // Nothing stretches the last column over the grid's spare room.
    grid().resize(grid().width() + 200, grid().height());
    QCoreApplication::processEvents();
    EXPECT_EQ(grid().columnWidth(5), 80);
    EXPECT_EQ(grid().horizontalHeader()->sectionSize(5), 80);
}

TEST_F(MainWindowJobs, PlayAfterNextOrPreviousStartsFromTheActiveRowAsWell)
{
    for (const char* name : {"a0.wav", "a1.wav", "a2.wav"})
        addThroughDialog(tone(name).string());
    const auto path = [&](int row) { return window->jobs().rsJobs().at(static_cast<std::size_t>(row)).FilePath; };
    const auto clickRow = [&](int row) {
        QTest::mouseClick(grid().viewport(), Qt::LeftButton, Qt::NoModifier,
                          grid().visualRect(grid().model()->index(row, 2)).center());
    };

    clickRow(2);
    control<QAbstractButton>("cmdPlay")->click();
    ASSERT_EQ(window->player().PreviewFilePath(), path(2));
    control<QAbstractButton>("cmdPlayPrev")->click();
    EXPECT_EQ(window->player().PreviewFilePath(), path(1));
    EXPECT_EQ(grid().currentIndex().row(), 2) << "stepping moves the selection, not the active row";
    EXPECT_TRUE(grid().selectionModel()->isRowSelected(1));
    EXPECT_FALSE(grid().selectionModel()->isRowSelected(2));
    // The active row is the lowest of the rows Play starts from.
    control<QAbstractButton>("cmdPlay")->click();
    EXPECT_EQ(window->player().PreviewFilePath(), path(2));

    clickRow(0);
    control<QAbstractButton>("cmdPlay")->click();
    ASSERT_EQ(window->player().PreviewFilePath(), path(0));
    control<QAbstractButton>("cmdPlayNext")->click();
    EXPECT_EQ(window->player().PreviewFilePath(), path(1));
    EXPECT_EQ(grid().currentIndex().row(), 0);
    // Here the selected row lies below the active one, so Play plays it.
    control<QAbstractButton>("cmdPlay")->click();
    EXPECT_EQ(window->player().PreviewFilePath(), path(1));
    EXPECT_EQ(previewState(), ChannelState::Playing);
    EXPECT_TRUE(messages.shown.empty());
}

TEST_F(MainWindowJobs, DoubleClickPlaysOnlyWhilePlayIsEnabled)
{
    addThroughDialog(tone("d.wav").string());
    const QRect row = grid().visualRect(grid().model()->index(0, 2));

    control<QAbstractButton>("cmdAbout")->click(); // the main panel is disabled while a panel is up
    ASSERT_TRUE(test::waitFor([&] { return !window->tmrAnimateRunning(); }));
    ASSERT_FALSE(control<QWidget>("cmdPlay")->isEnabled());
    QTest::mouseDClick(grid().viewport(), Qt::LeftButton, Qt::NoModifier, row.center());
    EXPECT_EQ(window->player().PreviewChannel(), 0u);

    control<QAbstractButton>("cmdCloseHelp")->click();
    ASSERT_TRUE(test::waitFor([&] { return !window->tmrAnimateRunning(); }));
    QTest::mouseClick(grid().viewport(), Qt::LeftButton, Qt::NoModifier, row.center());
    QTest::mouseDClick(grid().viewport(), Qt::LeftButton, Qt::NoModifier, row.center());
    EXPECT_EQ(window->player().PreviewFilePath(), window->jobs().rsJobs().at(0).FilePath);
    EXPECT_EQ(previewState(), ChannelState::Playing);
}

} // namespace
} // namespace tunevale
