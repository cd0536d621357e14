#include "job/worklist_editor.h"

#include <algorithm>

#include "base/file_lookup.h"
#include "base/value_text.h"
#include "job/job_driver.h"
#include "job/job_variables.h"
#include "job/session.h"
#include "worklist/worklist.h"

namespace retracer {
namespace {

std::string FolderText(const std::filesystem::path& folder) {
    std::string out = PathText(folder);
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
    if (!ChkPFile(session, sourceFolder / std::string(name))) return false;
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

bool WorklistEditor::CellClick(Session& session, int column, int row, JobResult* result) {
    bool previewed = false;
    if ((column != lastColumn_ || row != lastRow_) && column >= 0 && column < 4) {
        currentRow_ = row;
        currentMirror_ = column == WorklistColumn::kMir;
        // Once a part size is known, the recognition keeps it for the row's own.
        const bool dimsFromJob = session.header.partWidth * session.header.partLength > 0;
        previewed = TranslateRow(session, row, currentMirror_, dimsFromJob, result);
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
    DeleteRows(worklist, rows);
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

}  // namespace retracer
