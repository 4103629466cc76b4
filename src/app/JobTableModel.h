#pragma once

#include "Job.h"
#include "JobTableObserver.h"

#include <QAbstractTableModel>
#include <QColor>

#include <set>

namespace tunevale
{

class JobList;
class LookedUpDiscsEngine;

// The grid's view of the job list: one row per job in table order, the six fields as columns. It
// turns each job's state into the Status text and colours (the Status cell's delegate paints
// percentages) and writes back one thing only, the user's tick.
class JobTableModel : public QAbstractTableModel, private JobTableObserver
{
    Q_OBJECT
public:
    // Ticking in the grid stores this value, as the original grid's tick box did.
    static constexpr std::int32_t kGridTicked = -1;
    // Status text colours: green for "Complete"; red for "Cancelled", "Error" and "Codec Not
    // Supported" (whose Duration cell is red too).
    static inline const QColor kCompleteColour{113, 177, 98};
    static inline const QColor kFailedColour{220, 10, 10};

    explicit JobTableModel(JobList& jobs, QObject* parent = nullptr);
    ~JobTableModel() override;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    // Where the tooltips of CD tracks come from: the release's tags over the File Path, the
    // AccurateRip verdict over a completed job's Status. None: no such tooltips.
    void setDiscNotes(const LookedUpDiscsEngine* discs) { m_discs = discs; }
    // A disc's lookup ended: the File Path cells' tooltips may say more.
    void discNotesChanged();

    // Column widths in twips, by column (the ID column is hidden and has none).
    static int columnWidthTwips(JobColumn column);

private:
    void aboutToAppendRows(std::size_t first, std::size_t count) override;
    void rowsAppended(std::size_t first, std::size_t count) override;
    void rowChanged(std::size_t row) override;
    void stateChanged(std::size_t row) override;
    void aboutToReplaceTable() override;
    void tableReplaced() override;

    QVariant foreground(std::size_t row, JobColumn column) const;
    QVariant toolTip(const Job& job, JobColumn column) const;

    JobList& m_jobs;
    // Rows kept when the list was rebuilt: their cells show the grid's own colours until their state
    // next changes, as the colour belongs to the cell shown and is not re-applied on a rebuild.
    std::set<std::size_t> m_plainRows;
    const LookedUpDiscsEngine* m_discs = nullptr;
};

} // namespace tunevale
