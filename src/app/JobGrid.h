#pragma once

#include "PreviewGrid.h"

#include <QTableView>

#include <functional>
#include <string>
#include <vector>

namespace tunevale
{

class JobTableModel;

// The job list on screen (Grid): a table over the job model with its tick-box column, its Status
// painting, files dropped from a file manager, and the rows and selection the preview player reads.
// On the keyboard, Space ticks the current row's box and Tab moves on to the next control.
class JobGrid : public QTableView, public PreviewGrid
{
    Q_OBJECT
public:
    explicit JobGrid(JobTableModel& model, QWidget* parent = nullptr);

    // The local files of a drop, in the order the drop lists them.
    void onFilesDropped(std::function<void(const std::vector<std::string>&)> handler)
    {
        m_filesDropped = std::move(handler);
    }

    int rowCount() const override;
    std::string pathAt(int row) const override;
    void markActiveAndSelectedRows() override;
    bool isRowMarked(int row) const override;
    void setRowSelected(int row, bool selected) override;

    // The local files a drop carries (text/uri-list; other URLs are left out).
    static std::vector<std::string> droppedFiles(const QMimeData& data);

    // Keeping a run's current row in view: startFollowing at the start of a run, followRow for
    // each row the run reaches. Once the user scrolls the list during the run, it stays where the
    // user put it until the next run.
    void startFollowing() { m_userScrolled = false; }
    void followRow(int row);

    // The cell's text when the column is too narrow to show it whole (and the tool tip shows it),
    // empty otherwise. A progress bar is never cut off.
    QString cutOffText(const QModelIndex& index) const;

signals:
    void rowDoubleClicked();

protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool viewportEvent(QEvent* event) override;

private:
    std::function<void(const std::vector<std::string>&)> m_filesDropped;
    bool m_userScrolled = false;
    bool m_scrollingForRun = false;
};

} // namespace tunevale
