// The Qt forms of the message box and of the open dialog's type list.
#include "FileFilter.h"
#include "QtApplication.h"
#include "QtFileDialogs.h"
#include "QtMessageBox.h"
#include "TestSupport.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QListView>
#include <QMessageBox>
#include <QRegularExpression>
#include <QTimer>

#include <gtest/gtest.h>

namespace tunevale
{
namespace
{

TEST(QtPlatform, FilterPatternsIgnoreLetterCase)
{
    const QString text = QtFileDialogs::filterText(audioFileFilters());
    const QStringList entries = text.split(QStringLiteral(";;"));
    ASSERT_EQ(entries.size(), static_cast<qsizetype>(audioFileFilters().size()));
    EXPECT_TRUE(entries[0].startsWith(QStringLiteral("All Supported Audio Formats (")));
    EXPECT_TRUE(entries[0].contains(QStringLiteral("*.[mM][pP]3")));
    // Each entry ends in the parenthesised patterns that Qt's dialog reads, and they match both cases.
    const QString patterns = entries[1].section(QLatin1Char('('), -1).chopped(1);
    bool upper = false, lower = false;
    for (const QString& pattern : patterns.split(QLatin1Char(' '))) {
        const QRegularExpression glob(QRegularExpression::wildcardToRegularExpression(pattern));
        upper = upper || glob.match(QStringLiteral("SONG.MP3")).hasMatch();
        lower = lower || glob.match(QStringLiteral("song.mp3")).hasMatch();
    }
    EXPECT_TRUE(upper);
    EXPECT_TRUE(lower);
}

TEST(QtPlatform, MessageBoxShowsTextTitleIconAndReturnsTheAnswer)
{
    test::qtApplication<QApplication>();
    QString seenText, seenTitle;
    QMessageBox::Icon seenIcon = QMessageBox::NoIcon;
    QTimer::singleShot(50, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        seenText = box->text();
        seenTitle = box->windowTitle();
        seenIcon = box->icon();
        box->button(QMessageBox::No)->click();
    });
    QtMessageBox messages;
    const MessageAnswer answer =
        messages.show("first\r\nsecond", "Tunevale", MessageIcon::Critical, MessageButtons::YesNoCancel);
    EXPECT_EQ(answer, MessageAnswer::No);
    EXPECT_EQ(seenText, "first\nsecond");
    EXPECT_EQ(seenTitle, "Tunevale");
    EXPECT_EQ(seenIcon, QMessageBox::Critical);
}

// The names the open dialog's file list shows, once it has read the folder.
QStringList shownFiles(QFileDialog& dialog)
{
    auto* list = dialog.findChild<QListView*>(QStringLiteral("listView"));
    if (list == nullptr)
        return {};
    QStringList names;
    test::eventually(
        [&] {
            QCoreApplication::processEvents();
            names.clear();
            const QModelIndex root = list->rootIndex();
            for (int row = 0; row < list->model()->rowCount(root); ++row)
                names << list->model()->index(row, 0, root).data().toString();
            return names.size() >= 3;
        },
        10000);
    names.sort();
    return names;
}

TEST(QtPlatform, OpenDialogListsTheLabelsAsWrittenAndStillMatchesAnyLetterCase)
{
    test::qtApplication<QApplication>();
    test::TempDir folder;
    for (const char* name : {"LOUD.WAV", "quiet.wav", "Mixed.Mp3", "notes.txt", "clip.ogg.txt"})
        test::writeFile(folder / name, "x");

    QFileDialog dialog;
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    QtFileDialogs::setUpOpenDialog(dialog, audioFileFilters(), "Select one or more audio files", true);
    EXPECT_EQ(dialog.windowTitle(), "Select one or more audio files");
    EXPECT_EQ(dialog.fileMode(), QFileDialog::ExistingFiles);

    auto* types = dialog.findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
    ASSERT_NE(types, nullptr);
    ASSERT_EQ(types->count(), static_cast<int>(audioFileFilters().size()));
    for (int i = 0; i < types->count(); ++i)
        EXPECT_EQ(types->itemText(i).toStdString(), audioFileFilters()[static_cast<std::size_t>(i)].label);
    EXPECT_EQ(types->itemText(1), "Common Audio Files(*.wav,*.wma,*.mp3,*.ogg)");

    dialog.setDirectory(QString::fromStdString(folder.path().string()));
    dialog.selectNameFilter(dialog.nameFilters().at(1));
    EXPECT_EQ(shownFiles(dialog), (QStringList{"LOUD.WAV", "Mixed.Mp3", "quiet.wav"}));

    QFileDialog single;
    QtFileDialogs::setUpOpenDialog(single, videoFileFilters(), "Select one or more video files", false);
    EXPECT_EQ(single.fileMode(), QFileDialog::ExistingFile);
}

} // namespace
} // namespace tunevale
