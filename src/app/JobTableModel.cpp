#include "JobTableModel.h"

#include "JobList.h"
#include "LookedUpDiscsEngine.h"

#include <QColor>

namespace tunevale
{

JobTableModel::JobTableModel(JobList& jobs, QObject* parent) : QAbstractTableModel(parent), m_jobs(jobs)
{
    m_jobs.setObserver(this);
}

JobTableModel::~JobTableModel()
{
    m_jobs.setObserver(nullptr);
}

int JobTableModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_jobs.rsJobs().size());
}

int JobTableModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : JobColumnCount;
}

QVariant JobTableModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || static_cast<std::size_t>(index.row()) >= m_jobs.rsJobs().size())
        return {};
    const Job& job = m_jobs.rsJobs().at(index.row());
    const auto column = static_cast<JobColumn>(index.column());
    if (role == Qt::CheckStateRole && column == JobColumn::CheckBox)
        return job.ticked() ? Qt::Checked : Qt::Unchecked;
    if (role == Qt::ForegroundRole)
        return foreground(static_cast<std::size_t>(index.row()), column);
    if (role == Qt::ToolTipRole)
        return toolTip(job, column);
    if (role != Qt::DisplayRole && role != Qt::EditRole)
        return {};
    switch (column) {
    case JobColumn::ID:
        return job.ID;
    case JobColumn::CheckBox:
        return role == Qt::EditRole ? QVariant(job.CheckBox) : QVariant();
    case JobColumn::FilePath:
        return QString::fromStdString(job.FilePath);
    case JobColumn::Status:
        return QString::fromStdString(statusText(job));
    case JobColumn::Duration:
        return QString::fromStdString(job.Duration);
    case JobColumn::FileSize:
        return QString::fromStdString(job.FileSize);
    }
    return {};
}

QVariant JobTableModel::toolTip(const Job& job, JobColumn column) const
{
    // Why a job failed: the reason its log entry gives.
    if (column == JobColumn::Status && job.State == JobState::Error && !job.Failure.empty())
        return QString::fromStdString(job.Failure);
    if (!m_discs)
        return {};
    if (column == JobColumn::Status && job.State == JobState::Complete)
        if (const std::string verdict = m_discs->accurateRipVerdict(job.FilePath); !verdict.empty())
            return QString::fromStdString("AccurateRip: " + verdict);
    if (column == JobColumn::FilePath)
        if (const auto tags = m_discs->releaseTags(job.FilePath)) {
            std::string text = tags->title + "\n" + tags->artist + "\n" + tags->album;
            if (!tags->date.empty())
                text += " (" + tags->date + ")";
            return QString::fromStdString(text);
        }
    return {};
}

void JobTableModel::discNotesChanged()
{
    if (rowCount() > 0) {
        const int column = static_cast<int>(JobColumn::FilePath);
        emit dataChanged(index(0, column), index(rowCount() - 1, column), {Qt::ToolTipRole});
    }
}

bool JobTableModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (!index.isValid() || role != Qt::CheckStateRole || static_cast<JobColumn>(index.column()) != JobColumn::CheckBox)
        return false;
    const bool ticked = value.toInt() != Qt::Unchecked;
    m_jobs.rsJobs().setCheckBox(index.row(), ticked ? kGridTicked : 0);
    return true;
}

Qt::ItemFlags JobTableModel::flags(const QModelIndex& index) const
{
    if (!index.isValid())
        return Qt::ItemIsDropEnabled;
    Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (static_cast<JobColumn>(index.column()) == JobColumn::CheckBox)
        flags |= Qt::ItemIsUserCheckable;
    return flags;
}

QVariant JobTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    switch (static_cast<JobColumn>(section)) {
    case JobColumn::ID:
        return {};
    case JobColumn::CheckBox:
        return QStringLiteral(" ");
    case JobColumn::FilePath:
        return QStringLiteral("File Path");
    case JobColumn::Status:
        return QStringLiteral("Conversion Status");
    case JobColumn::Duration:
        return QStringLiteral("Time Length");
    case JobColumn::FileSize:
        return QStringLiteral("File Size");
    }
    return {};
}

int JobTableModel::columnWidthTwips(JobColumn column)
{
    switch (column) {
    case JobColumn::ID:
        return 0;
    case JobColumn::CheckBox:
        return 500;
    case JobColumn::FilePath:
        return 5200;
    case JobColumn::Status:
        return 2000;
    case JobColumn::Duration:
    case JobColumn::FileSize:
        return 1200;
    }
    return 0;
}

void JobTableModel::aboutToAppendRows(std::size_t first, std::size_t count)
{
    beginInsertRows({}, static_cast<int>(first), static_cast<int>(first + count - 1));
}

void JobTableModel::rowsAppended(std::size_t, std::size_t)
{
    endInsertRows();
}

void JobTableModel::rowChanged(std::size_t row)
{
    emit dataChanged(index(static_cast<int>(row), 0), index(static_cast<int>(row), JobColumnCount - 1));
}

QVariant JobTableModel::foreground(std::size_t row, JobColumn column) const
{
    if (m_plainRows.contains(row))
        return {};
    const JobState state = m_jobs.rsJobs().at(row).State;
    if (column == JobColumn::Status) {
        switch (state) {
        case JobState::Complete:
        case JobState::UpToDate:
            return kCompleteColour;
        case JobState::Cancelled:
        case JobState::Error:
        case JobState::CodecNotSupported:
            return kFailedColour;
        case JobState::WaitingConversion:
        case JobState::Measuring:
        case JobState::Converting:
            break;
        }
    }
    if (column == JobColumn::Duration && state == JobState::CodecNotSupported)
        return kFailedColour;
    return {};
}

void JobTableModel::stateChanged(std::size_t row)
{
    m_plainRows.erase(row);
    rowChanged(row);
}

void JobTableModel::aboutToReplaceTable()
{
    beginResetModel();
}

void JobTableModel::tableReplaced()
{
    m_plainRows.clear();
    for (std::size_t row = 0; row < m_jobs.rsJobs().size(); ++row)
        m_plainRows.insert(row);
    endResetModel();
}

} // namespace tunevale
