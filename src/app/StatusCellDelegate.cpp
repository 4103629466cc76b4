#include "StatusCellDelegate.h"

#include "ProgressCell.h"
#include "Theme.h"

#include <QPainter>

namespace tunevale
{

void StatusCellDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    const auto percentage = ProgressCell::percentageOf(index.data(Qt::DisplayRole).toString());
    if (!percentage) {
        QStyledItemDelegate::paint(painter, option, index);
        return;
    }
    const bool selected = option.state.testFlag(QStyle::State_Selected);
    const QPalette::ColorGroup group =
        option.state.testFlag(QStyle::State_Active) ? QPalette::Active : QPalette::Inactive;
    const ProgressCell cell(
        *percentage, option.rect, theme::ProgressBar, option.palette.color(group, QPalette::HighlightedText), selected,
        option.palette.color(group, QPalette::Highlight), option.palette.color(group, QPalette::HighlightedText));
    cell.paint(*painter, option.font);
}

} // namespace tunevale
