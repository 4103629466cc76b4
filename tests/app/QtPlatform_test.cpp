// The Qt forms of the message box and of the open dialog's type list.
#include "FileFilter.h"
#include "QtApplication.h"
#include "QtFileDialogs.h"
#include "QtMessageBox.h"

#include <QAbstractButton>
#include <QApplication>
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

} // namespace
} // namespace tunevale
