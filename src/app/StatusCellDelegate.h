#pragma once

#include <QStyledItemDelegate>

namespace tunevale
{

// Paints the Status column: a converting job (a number in the cell) as a progress bar with its
// percentage; status words in the ordinary way.
class StatusCellDelegate : public QStyledItemDelegate
{
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
};

} // namespace tunevale
