#pragma once

#include <QColor>
#include <QRect>
#include <QString>

#include <optional>

class QFont;
class QPainter;

namespace tunevale
{

// How the Status cell of a converting job is painted: a bar from the left edge to the percentage
// done, with the percentage centred on it; the text is in the bar colour beside the bar and in the
// background colour over it. Geometry and colours here are shared by painting and tests.
class ProgressCell
{
public:
    // The percentage a Status text stands for (nearest integer, halves to even), or nothing when the
    // text is not a number: words such as "Complete" are painted as ordinary text.
    static std::optional<int> percentageOf(const QString& status);

    // cell: the cell's rectangle. A selected cell is painted whole in the selection colours: the
    // selection's back colour as the bar and its text colour as the background.
    ProgressCell(int percentage, const QRect& cell, QColor bar, QColor background, bool selected,
                 QColor selectionBack = {}, QColor selectionText = {});

    int percent() const { return m_percent; }
    QString text() const { return QString::number(m_percent) + QLatin1Char('%'); }
    QColor barColour() const { return m_bar; }
    QColor backgroundColour() const { return m_background; }
    // The background fill: the cell and the pixel row below it.
    QRect backgroundRect() const;
    // The bar: full cell height, from the left edge to left + round(percent × width) − 2; empty at 0%.
    QRect barRect() const;

    void paint(QPainter& painter, const QFont& font) const;

private:
    int m_percent;
    QRect m_cell;
    QColor m_bar;
    QColor m_background;
    bool m_selected;
};

} // namespace tunevale
