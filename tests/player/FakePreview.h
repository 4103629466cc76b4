#pragma once

#include "Engine.h"
#include "PreviewGrid.h"

#include <map>
#include <set>
#include <string>
#include <vector>

namespace tunevale::test
{

// A job grid of plain rows with a selection and an active row, as the player reads them.
class FakeGrid : public PreviewGrid
{
public:
    std::vector<std::string> paths;
    std::set<int> selectedRows;
    std::set<int> rowsWithSelectedCell;
    int activeRow = -1;

    int rowCount() const override { return static_cast<int>(paths.size()); }
    std::string pathAt(int row) const override { return paths.at(row); }
    void markActiveAndSelectedRows() override
    {
        if (activeRow >= 0)
            rowsWithSelectedCell.insert(activeRow);
    }
    bool isRowMarked(int row) const override { return selectedRows.count(row) || rowsWithSelectedCell.count(row); }
    void setRowSelected(int row, bool selected) override
    {
        if (selected) {
            selectedRows.insert(row);
        } else {
            selectedRows.erase(row);
            rowsWithSelectedCell.erase(row);
        }
    }
};

} // namespace tunevale::test
