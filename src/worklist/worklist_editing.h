#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace retracer {

class Prompt;
class Worklist;

// A block of cells as the grid reports it (rows and columns from 1; 0 when nothing is selected).
struct CellBlock {
    int firstColumn = 0;
    int firstRow = 0;
    int lastRow = 0;
};

// Deletes the given rows (numbered from 1, in any order); the rows below move up with their
// notes and the freed rows at the end are left empty.
void DeleteRows(Worklist& worklist, const std::vector<int>& rows);

// Asks "Delete all entries in Worklist?" and on Yes empties the worklist.
bool ClearWorklist(Prompt& prompt, Worklist& worklist);

// Pastes tab-separated cells (lines are rows) with their top left at the active cell, as the
// grid does; cells past the worklist are dropped.
void PasteCells(Worklist& worklist, int activeColumn, int activeRow, std::string_view text);

// The paste command: the block (or, without one, the active cell) decides where; after the grid's
// paste the first row's text of the first column is filled down to the block's last row.
void PasteWithFillDown(Worklist& worklist, CellBlock selection, int activeColumn, int activeRow,
                       std::string_view clipboard);

}  // namespace retracer
