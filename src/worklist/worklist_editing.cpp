#include "worklist/worklist_editing.h"

#include <algorithm>
#include <set>

#include "base/prompt.h"
#include "base/value_text.h"
#include "worklist/worklist.h"

namespace retracer {

void DeleteRows(Worklist& worklist, const std::vector<int>& rows) {
    constexpr int kColumns = Worklist::kColumnCount;
    const std::set<int> doomed(rows.begin(), rows.end());
    int target = 0;
    for (int r = 1; r <= worklist.RowCount(); ++r) {
        if (doomed.count(r) != 0) continue;
        ++target;
        if (target == r) continue;
        for (int c = 1; c <= kColumns; ++c) {
            worklist.SetCell(target, c, worklist.GetCell(r, c));
            worklist.SetCellNote(target, c, worklist.Grid().Note(r, c));
        }
    }
    for (int r = target + 1; r <= worklist.RowCount(); ++r) {
        for (int c = 1; c <= kColumns; ++c) {
            worklist.SetCell(r, c, "");
            worklist.SetCellNote(r, c, "");
        }
    }
}

bool ClearWorklist(Prompt& prompt, Worklist& worklist) {
    if (!prompt.AskYesNo("Query", "Delete all entries in Worklist?", false)) return false;
    worklist.Clear();
    return true;
}

void PasteCells(Worklist& worklist, int activeColumn, int activeRow, std::string_view text) {
    if (!text.empty() && text.back() == '\n') text.remove_suffix(1);
    if (!text.empty() && text.back() == '\r') text.remove_suffix(1);
    int row = activeRow;
    std::size_t pos = 0;
    while (pos <= text.size() && row <= worklist.RowCount()) {
        std::size_t end = text.find('\n', pos);
        if (end == std::string_view::npos) end = text.size();
        std::string_view line = text.substr(pos, end - pos);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        int column = activeColumn;
        std::size_t start = 0;
        for (;;) {
            const std::size_t tab = line.find('\t', start);
            worklist.SetCell(row, column++, line.substr(start, tab - start));
            if (tab == std::string_view::npos) break;
            start = tab + 1;
        }
        ++row;
        pos = end + 1;
    }
}

void PasteWithFillDown(Worklist& worklist, CellBlock selection, int activeColumn, int activeRow,
                       std::string_view clipboard) {
    int column = selection.firstColumn;
    int first = selection.firstRow;
    int last = selection.lastRow;
    if (first < 1) {
        column = activeColumn;
        first = activeRow;
    }
    column = std::max(column, 1);
    first = std::max(first, 1);
    if (last < 1) last = worklist.RowCount();
    PasteCells(worklist, activeColumn, activeRow, clipboard);
    if (first == last) return;
    const std::string value = worklist.GetCell(first, column);
    for (int r = first; r <= last; ++r) worklist.SetCell(r, column, value);
}

}  // namespace retracer
