#pragma once

#include <cstddef>

namespace tunevale
{

// Told of every change of the job list so that a view (the grid's model) can follow it; called on
// the UI thread, synchronously, with the "about to" call before the table changes and the other after.
class JobTableObserver
{
public:
    virtual ~JobTableObserver() = default;
    virtual void aboutToAppendRows(std::size_t first, std::size_t count) = 0;
    virtual void rowsAppended(std::size_t first, std::size_t count) = 0;
    // A field of one row other than its state changed (a tick).
    virtual void rowChanged(std::size_t row) = 0;
    // The row's conversion state, progress or failure changed.
    virtual void stateChanged(std::size_t row) { rowChanged(row); }
    // The whole table is about to be put in place of the current one (removal), and was.
    virtual void aboutToReplaceTable() = 0;
    virtual void tableReplaced() = 0;
};

} // namespace tunevale
