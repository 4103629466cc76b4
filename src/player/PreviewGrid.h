#pragma once

#include <string>

namespace tunevale
{

// The job grid as the preview player sees it: its rows in view order, each row's path cell and
// the user's selection. Row numbers count from 0. UI thread only.
class PreviewGrid
{
public:
    virtual ~PreviewGrid() = default;
    virtual int rowCount() const = 0;
    // The raw text of the row's FilePath cell.
    virtual std::string pathAt(int row) const = 0;
    // Selects the active row's path cell, and the tick-box cell of every row that holds a selected
    // cell, so that such rows count as marked.
    virtual void markActiveAndSelectedRows() = 0;
    // True when the row or its tick-box cell is selected.
    virtual bool isRowMarked(int row) const = 0;
    // Selects or unselects the row with its tick-box cell.
    virtual void setRowSelected(int row, bool selected) = 0;
};

} // namespace tunevale
