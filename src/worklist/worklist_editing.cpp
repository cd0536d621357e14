#include "worklist/worklist_editing.h"

#include <algorithm>
#include <set>

#include "translate/job_driver.h"
#include "translate/session.h"
#include "translate/value_text.h"
#include "variables/job_variables.h"
#include "worklist/worklist.h"

namespace retracer {
namespace {

constexpr int kColumns = Worklist::kColumnCount;

std::string FolderText(const std::filesystem::path& folder) {
    const std::u8string text = folder.u8string();
    std::string out(text.begin(), text.end());
    if (!out.empty() && out.back() != '/' && out.back() != '\\') {
        out += static_cast<char>(std::filesystem::path::preferred_separator);
    }
    return out;
}

}  // namespace

bool WorklistEditor::AddToProc(Session& session, std::string_view name,
                               const std::filesystem::path& sourceFolder) {
    Worklist& worklist = session.worklist;
    if (name == kAddStart) {
        nextRow_ = 0;
        while (nextRow_ < worklist.RowCount() && worklist.IsJob(nextRow_ + 1)) ++nextRow_;
        return false;
    }
    if (name == kAddFinish) return false;
    JobState job;
    if (!ChkPFile(session, job, sourceFolder / std::string(name))) return false;
    if (nextRow_ >= worklist.RowCount()) return false;  // the worklist is full
    const int row = ++nextRow_;
    const ProgramHeader& header = session.header;
    worklist.SetCell(row, WorklistColumn::kNorm, "1");
    worklist.SetCell(row, WorklistColumn::kFilename, name);
    worklist.SetCell(row, WorklistColumn::kPartDescription, session.panel.Labels().Comment());
    worklist.SetCell(row, WorklistColumn::kLength, GeneralText(header.partLength));
    worklist.SetCell(row, WorklistColumn::kWidth, GeneralText(header.partWidth));
    worklist.SetCell(row, WorklistColumn::kThick, GeneralText(header.partThickness));
    worklist.SetCell(row, WorklistColumn::kPath, FolderText(sourceFolder));
    worklist.SetCell(row, WorklistColumn::kVVariables, header.vVarSummary);
    worklist.SetCell(row, WorklistColumn::kRVariables, header.rVarSummary);
    worklist.SetCellNote(row, WorklistColumn::kRVariables, header.rVarNotes);
    return true;
}

int WorklistEditor::AddFiles(Session& session, const std::vector<std::string>& selected,
                             const std::filesystem::path& sourceFolder) {
    session.stopRequested = false;
    AddToProc(session, kAddStart, sourceFolder);
    int added = 0;
    for (const std::string& name : selected) {
        if (AddToProc(session, name, sourceFolder)) ++added;
        if (session.stopRequested) break;
    }
    AddToProc(session, kAddFinish, sourceFolder);
    return added;
}

bool WorklistEditor::CellClick(Session& session, JobState& job, int column, int row,
                               JobOutcome* outcome) {
    bool previewed = false;
    if ((column != lastColumn_ || row != lastRow_) && column >= 0 && column < 4) {
        job.currentRow = row;
        job.currentColumn = column;
        job.mirrorJob = column == WorklistColumn::kMir;
        if (session.header.partWidth * session.header.partLength > 0) job.dimsFromJob = true;
        previewed = TranslateRow(session, job, row, outcome);
        job.dimsFromJob = false;
        session.panel.SetVariableListsEnabled(true);
    }
    lastColumn_ = column;
    lastRow_ = row;
    return previewed;
}

std::string WorklistEditor::TipText() {
    if (tipCount_ < 32767) ++tipCount_;
    return tipCount_ <= 4 ? std::string(kWorklistTip) : std::string();
}

bool DeleteSelectedRows(Session& session, const std::vector<int>& rows) {
    return DeleteSelectedRows(session.prompt, session.worklist, session.panel, rows);
}

bool DeleteSelectedRows(Prompt& prompt, Worklist& worklist, ControlPanelLists& panel,
                        const std::vector<int>& rows) {
    if (!prompt.AskYesNo("Query", "Delete selected entries in Worklist?", false)) return false;
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
    panel.AddVVar(VVarMode::kClear, "");
    std::string clear = "Clear";
    panel.AddRVar(clear);
    panel.LayerList().Clear();
    panel.PrgList().Clear();
    panel.ClearPartSize();
    return true;
}

bool ClearWorklist(Session& session) {
    return ClearWorklist(session.prompt, session.worklist);
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
