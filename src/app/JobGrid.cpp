#include "JobGrid.h"

#include "Job.h"
#include "JobTableModel.h"
#include "ProgressCell.h"
#include "StatusCellDelegate.h"

#include <QDropEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMimeData>
#include <QScrollBar>
#include <QToolTip>
#include <QUrl>

#include <cmath>

namespace tunevale
{

namespace
{
constexpr int kTwipsPerPixel = 15;
constexpr int kCheckColumn = static_cast<int>(JobColumn::CheckBox);
constexpr int kPathColumn = static_cast<int>(JobColumn::FilePath);

int pixelsFromTwips(int twips)
{
    return static_cast<int>(std::nearbyint(static_cast<double>(twips) / kTwipsPerPixel));
}
} // namespace

JobGrid::JobGrid(JobTableModel& model, QWidget* parent) : QTableView(parent)
{
    setModel(&model);
    setItemDelegateForColumn(static_cast<int>(JobColumn::Status), new StatusCellDelegate(this));
    setColumnHidden(static_cast<int>(JobColumn::ID), true);
    for (int column = kCheckColumn; column < JobColumnCount; ++column)
        setColumnWidth(column, pixelsFromTwips(JobTableModel::columnWidthTwips(static_cast<JobColumn>(column))));
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    // The rows are the table's: no editing, no moving, no re-ordering through the grid.
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSortingEnabled(false);
    setDragDropMode(QAbstractItemView::DropOnly);
    setAcceptDrops(true);
    viewport()->setAcceptDrops(true);
    setDropIndicatorShown(false);
    setWordWrap(false);
    setTextElideMode(Qt::ElideMiddle);
    verticalHeader()->hide();
    verticalHeader()->setDefaultSectionSize(20);
    horizontalHeader()->setHighlightSections(false);
    // Every column keeps its own width; room to the right of the last one stays empty.
    horizontalHeader()->setStretchLastSection(false);
    setTabKeyNavigation(false);
    connect(verticalScrollBar(), &QScrollBar::valueChanged, this, [this] {
        if (!m_scrollingForRun)
            m_userScrolled = true;
    });
}

void JobGrid::followRow(int row)
{
    if (m_userScrolled || row < 0 || row >= rowCount())
        return;
    m_scrollingForRun = true;
    scrollTo(model()->index(row, kPathColumn), QAbstractItemView::EnsureVisible);
    m_scrollingForRun = false;
}

QString JobGrid::cutOffText(const QModelIndex& index) const
{
    if (!index.isValid() || isColumnHidden(index.column()))
        return {};
    const QString text = index.data(Qt::DisplayRole).toString();
    if (text.isEmpty() || ProgressCell::percentageOf(text))
        return {};
    // The item view keeps a margin of the focus frame's width plus one on either side of the text.
    const int margin = style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, this) + 1;
    const int room = visualRect(index).width() - 2 * margin;
    return fontMetrics().horizontalAdvance(text) > room ? text : QString();
}

void JobGrid::keyPressEvent(QKeyEvent* event)
{
    const QModelIndex current = currentIndex();
    if (event->key() == Qt::Key_Space && event->modifiers() == Qt::NoModifier && current.isValid()) {
        const QModelIndex box = model()->index(current.row(), kCheckColumn);
        const bool ticked = box.data(Qt::CheckStateRole).toInt() != Qt::Unchecked;
        model()->setData(box, ticked ? Qt::Unchecked : Qt::Checked, Qt::CheckStateRole);
        return;
    }
    QTableView::keyPressEvent(event);
}

bool JobGrid::viewportEvent(QEvent* event)
{
    if (event->type() != QEvent::ToolTip)
        return QTableView::viewportEvent(event);
    const auto* help = static_cast<QHelpEvent*>(event);
    const QModelIndex index = indexAt(help->pos());
    // The cell's own tooltip (why a job failed), else its text when the column cuts it off.
    QString text = index.data(Qt::ToolTipRole).toString();
    if (text.isEmpty())
        text = cutOffText(index);
    if (text.isEmpty())
        QToolTip::hideText();
    else
        QToolTip::showText(help->globalPos(), text, viewport(), visualRect(index));
    return true;
}

int JobGrid::rowCount() const
{
    return model()->rowCount();
}

std::string JobGrid::pathAt(int row) const
{
    return model()->index(row, kPathColumn).data(Qt::DisplayRole).toString().toStdString();
}

void JobGrid::markActiveAndSelectedRows()
{
    QItemSelectionModel* selection = selectionModel();
    const QModelIndex active = currentIndex();
    if (active.isValid()) {
        selection->select(model()->index(active.row(), kPathColumn), QItemSelectionModel::Select);
        selection->select(active, QItemSelectionModel::Select);
    }
    const QModelIndexList selected = selection->selectedIndexes();
    for (auto it = selected.rbegin(); it != selected.rend(); ++it)
        selection->select(model()->index(it->row(), kCheckColumn), QItemSelectionModel::Select);
}

bool JobGrid::isRowMarked(int row) const
{
    return selectionModel()->isRowSelected(row) || selectionModel()->isSelected(model()->index(row, kCheckColumn));
}

void JobGrid::setRowSelected(int row, bool selected)
{
    // The active row stays where the user put it: Play starts from it as well as from the selection.
    const QModelIndex cell = model()->index(row, kCheckColumn);
    selectionModel()->select(cell, (selected ? QItemSelectionModel::Select : QItemSelectionModel::Deselect) |
                                       QItemSelectionModel::Rows);
    if (selected)
        scrollTo(cell);
}

std::vector<std::string> JobGrid::droppedFiles(const QMimeData& data)
{
    std::vector<std::string> files;
    for (const QUrl& url : data.urls()) {
        if (url.isLocalFile())
            files.push_back(url.toLocalFile().toStdString());
    }
    return files;
}

void JobGrid::dragEnterEvent(QDragEnterEvent* event)
{
    if (event->mimeData()->hasUrls())
        event->acceptProposedAction();
    else
        event->ignore();
}

void JobGrid::dragMoveEvent(QDragMoveEvent* event)
{
    if (event->mimeData()->hasUrls())
        event->acceptProposedAction();
    else
        event->ignore();
}

void JobGrid::dropEvent(QDropEvent* event)
{
    if (!event->mimeData()->hasUrls()) {
        event->ignore();
        return;
    }
    event->acceptProposedAction();
    const std::vector<std::string> files = droppedFiles(*event->mimeData());
    if (!files.empty() && m_filesDropped)
        m_filesDropped(files);
}

void JobGrid::mouseDoubleClickEvent(QMouseEvent* event)
{
    QTableView::mouseDoubleClickEvent(event);
    emit rowDoubleClicked();
}

} // namespace tunevale
