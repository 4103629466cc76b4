#include "ProgressCell.h"

#include <QFont>
#include <QLocale>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace tunevale
{

std::optional<int> ProgressCell::percentageOf(const QString& status)
{
    const QString text = status.trimmed();
    if (text.isEmpty())
        return std::nullopt;
    // The conversion writes a point as decimal separator; the user's own form is accepted too.
    bool ok = false;
    double value = QLocale::c().toDouble(text, &ok);
    if (!ok)
        value = QLocale().toDouble(text, &ok);
    if (!ok || !std::isfinite(value))
        return std::nullopt;
    // Anything outside 0..100 paints as its nearer end, so huge values need not fit an int.
    return static_cast<int>(std::nearbyint(std::clamp(value, -1.0, 101.0)));
}

ProgressCell::ProgressCell(int percentage, const QRect& cell, QColor bar, QColor background, bool selected,
                           QColor selectionBack, QColor selectionText)
    : m_percent(std::clamp(percentage, 0, 100)), m_cell(cell), m_bar(selected ? selectionBack : bar),
      m_background(selected ? selectionText : background), m_selected(selected)
{
}

QRect ProgressCell::backgroundRect() const
{
    return m_cell.adjusted(0, 0, 0, 1);
}

QRect ProgressCell::barRect() const
{
    // The bar's exclusive right edge is left + round(p% of the width); the last column before that
    // edge is left unpainted, so a 50% bar in a 100-pixel cell ends on column left + 48.
    const int left = m_cell.left();
    const int right = m_selected ? left + m_cell.width()
                                 : left + static_cast<int>(std::nearbyint(m_percent / 100.0 * m_cell.width()));
    const int width = right - 1 - left;
    if (width <= 0)
        return {};
    return QRect(left, m_cell.top(), width, m_cell.height());
}

void ProgressCell::paint(QPainter& painter, const QFont& font) const
{
    painter.save();
    painter.fillRect(backgroundRect(), m_background);
    painter.setFont(font);
    const QRect bar = barRect();

    // Text beside the bar in the bar colour, text over the bar in the background colour.
    QRegion outsideBar(m_cell);
    if (!bar.isEmpty())
        outsideBar -= QRegion(bar);
    painter.setClipRegion(outsideBar);
    painter.setPen(m_bar);
    painter.drawText(m_cell, Qt::AlignCenter | Qt::TextSingleLine, text());
    if (!bar.isEmpty()) {
        painter.setClipRect(bar);
        painter.fillRect(bar, m_bar);
        painter.setPen(m_background);
        painter.drawText(m_cell, Qt::AlignCenter | Qt::TextSingleLine, text());
    }
    painter.restore();
}

} // namespace tunevale
