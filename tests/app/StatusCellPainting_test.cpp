// The Status cell of a converting job, painted by the grid's delegate into an image.
#include "ProgressCell.h"
#include "QtApplication.h"
#include "StatusCellDelegate.h"
#include "Theme.h"

#include <QApplication>
#include <QImage>
#include <QLocale>
#include <QPainter>
#include <QStandardItemModel>

#include <gtest/gtest.h>

namespace tunevale
{
namespace
{

constexpr QRgb kBar = qRgb(113, 135, 79);
constexpr QRgb kBack = qRgb(255, 255, 255);
constexpr QRgb kSelectionBack = qRgb(20, 60, 200);
constexpr QRgb kSelectionText = qRgb(250, 250, 120);
constexpr QRgb kOutside = qRgb(1, 2, 3);

// The cell sits at (10, 5), 100 x 20 pixels, in a larger image filled with kOutside.
const QRect kCell(10, 5, 100, 20);

QImage paintStatus(const QString& status, bool selected = false)
{
    test::qtApplication<QApplication>();
    QStandardItemModel model(1, 1);
    model.setData(model.index(0, 0), status);
    StatusCellDelegate delegate;
    QStyleOptionViewItem option;
    option.rect = kCell;
    option.state = QStyle::State_Enabled | QStyle::State_Active;
    if (selected)
        option.state |= QStyle::State_Selected;
    option.palette.setColor(QPalette::HighlightedText, QColor(selected ? kSelectionText : kBack));
    option.palette.setColor(QPalette::Highlight, QColor(kSelectionBack));
    option.font = QFont(QStringLiteral("DejaVu Sans"), 9);
    option.font.setStyleStrategy(QFont::NoAntialias); // glyph pixels in exactly the two colours
    QImage image(130, 40, QImage::Format_RGB32);
    image.fill(kOutside);
    QPainter painter(&image);
    delegate.paint(&painter, option, model.index(0, 0));
    return image;
}

int countInColumns(const QImage& image, QRgb colour, int fromX, int toX)
{
    int n = 0;
    for (int y = kCell.top(); y <= kCell.bottom(); ++y)
        for (int x = fromX; x <= toX; ++x)
            n += image.pixel(x, y) == colour;
    return n;
}

TEST(StatusCellPainting, PercentagesRoundHalvesToEvenAndClamp)
{
    EXPECT_EQ(ProgressCell::percentageOf("37.5"), 38);
    EXPECT_EQ(ProgressCell::percentageOf("36.5"), 36);
    EXPECT_EQ(ProgressCell::percentageOf(" 7 "), 7);
    const QLocale before;
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    EXPECT_EQ(ProgressCell::percentageOf("37.5"), 38) << "the conversion's point form, whatever the locale";
    EXPECT_EQ(ProgressCell::percentageOf("36,5"), 36) << "the user's own decimal comma";
    QLocale::setDefault(before);
    EXPECT_EQ(ProgressCell::percentageOf("1e300"), 101);
    EXPECT_EQ(ProgressCell::percentageOf("Complete"), std::nullopt);
    EXPECT_EQ(ProgressCell::percentageOf(""), std::nullopt);
    EXPECT_EQ(ProgressCell::percentageOf("nan"), std::nullopt);
    EXPECT_EQ(ProgressCell(-5, kCell, {}, {}, false).text(), "0%");
    EXPECT_EQ(ProgressCell(250, kCell, {}, {}, false).text(), "100%");
}

TEST(StatusCellPainting, RenderedTextFollowsTheRoundedPercentage)
{
    EXPECT_EQ(paintStatus("37.5"), paintStatus("38"));
    EXPECT_NE(paintStatus("37.5"), paintStatus("37"));
    EXPECT_EQ(paintStatus("36.5"), paintStatus("36"));
    EXPECT_NE(paintStatus("36.5"), paintStatus("37"));
    EXPECT_EQ(paintStatus("-5"), paintStatus("0"));
    EXPECT_EQ(paintStatus("250"), paintStatus("100"));
    EXPECT_NE(paintStatus("100"), paintStatus("99"));
}

TEST(StatusCellPainting, HalfBarCoversLeftToLeftPlus48AtFullHeight)
{
    const QImage image = paintStatus("50");
    for (int y = kCell.top(); y <= kCell.bottom(); ++y) {
        EXPECT_EQ(image.pixel(kCell.left(), y), kBar) << y;
        EXPECT_EQ(image.pixel(kCell.right(), y), kBack) << y;
    }
    // The text is centred, so the top and bottom rows show the bar's end clean.
    for (int y : {kCell.top(), kCell.top() + 1, kCell.bottom()}) {
        EXPECT_EQ(image.pixel(kCell.left() + 48, y), kBar) << y;
        EXPECT_EQ(image.pixel(kCell.left() + 49, y), kBack) << y;
    }
    // The background reaches one row below the cell, and no further.
    EXPECT_EQ(image.pixel(kCell.left() + 70, kCell.bottom() + 1), kBack);
    EXPECT_EQ(image.pixel(kCell.left() + 70, kCell.bottom() + 2), kOutside);
    EXPECT_EQ(image.pixel(kCell.left() + 20, kCell.top() - 1), kOutside);
    EXPECT_EQ(image.pixel(kCell.left() - 1, kCell.top()), kOutside);
    // "50%" straddles the bar's end: back-coloured glyph pixels on the bar, bar-coloured beside it.
    EXPECT_GT(countInColumns(image, kBack, kCell.left(), kCell.left() + 48), 0);
    EXPECT_GT(countInColumns(image, kBar, kCell.left() + 49, kCell.right()), 0);
}

TEST(StatusCellPainting, NoBarAtZeroAndFullBarAbove100)
{
    const QImage none = paintStatus("-5");
    for (int y = kCell.top(); y <= kCell.bottom(); ++y)
        EXPECT_EQ(none.pixel(kCell.left(), y), kBack);
    EXPECT_GT(countInColumns(none, kBar, kCell.left(), kCell.right()), 0) << "0% is written in the bar colour";

    const QImage full = paintStatus("250");
    for (int y = kCell.top(); y <= kCell.bottom(); ++y) {
        EXPECT_EQ(full.pixel(kCell.left(), y), kBar);
        EXPECT_EQ(full.pixel(kCell.right() - 1, y), kBar);
    }
    EXPECT_GT(countInColumns(full, kBack, kCell.left(), kCell.right() - 1), 0) << "100% over the bar";
}

TEST(StatusCellPainting, SelectedCellIsWhollyInSelectionColours)
{
    const QImage image = paintStatus("20", true);
    int selectionBack = 0, selectionText = 0, other = 0;
    for (int y = kCell.top(); y <= kCell.bottom(); ++y) {
        EXPECT_EQ(image.pixel(kCell.left(), y), kSelectionBack);
        EXPECT_EQ(image.pixel(kCell.right() - 1, y), kSelectionBack) << "no partial bar";
        for (int x = kCell.left(); x < kCell.right(); ++x) {
            const QRgb p = image.pixel(x, y);
            p == kSelectionBack ? ++selectionBack : p == kSelectionText ? ++selectionText : ++other;
        }
    }
    EXPECT_GT(selectionText, 0) << "the percentage is written in the selection's text colour";
    EXPECT_EQ(countInColumns(image, kBar, kCell.left(), kCell.right()), 0);
}

TEST(StatusCellPainting, WordsAreLeftToTheOrdinaryDrawing)
{
    EXPECT_EQ(countInColumns(paintStatus("Complete"), kBar, kCell.left(), kCell.right()), 0);
    EXPECT_EQ(countInColumns(paintStatus(""), kBar, kCell.left(), kCell.right()), 0);
}

} // namespace
} // namespace tunevale
