#include "job/job_variables.h"

#include <algorithm>
#include <cctype>
#include <string_view>

#include "base/field_splitter.h"
#include "base/text_codec.h"
#include "base/value_text.h"
#include "job/control_panel_lists.h"
#include "job/job_driver.h"
#include "job/session.h"
#include "translate/translation_state.h"
#include "variables/eval_expression.h"
#include "worklist/row_program.h"
#include "worklist/worklist.h"

namespace retracer {
namespace {

void LoadVVariables(std::string_view cell, TranslationState& state, ControlPanelLists& panel) {
    std::string packed;
    for (char c : cell) {
        if (c != ' ' && c != '\n') packed += c;
    }
    FieldSplitter pieces;
    pieces.Assign(packed, "|");
    for (int i = 1; i <= pieces.FieldCount(); ++i) {
        std::string piece(pieces.Field(i));
        std::transform(piece.begin(), piece.end(), piece.begin(),
                       [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
        if (piece.empty() || piece.front() != 'V') continue;
        piece.erase(0, 1);
        // "VX=5" would read as V0 by its number; only a digit names a V variable.
        if (piece.empty() || !std::isdigit(static_cast<unsigned char>(piece.front()))) continue;
        const double k = NumericValue(piece);
        if (k >= 8) continue;
        panel.AddVVar(VVarMode::kName, "V" + piece.substr(0, 1));
        panel.AddVVar(VVarMode::kValue, piece.size() > 2 ? piece.substr(2) : std::string());
        const std::size_t eq = piece.find('=');
        const std::string_view value =
            eq == std::string::npos ? std::string_view() : std::string_view(piece).substr(eq + 1);
        state.vars.letters[static_cast<std::size_t>(k) + 1] =
            static_cast<float>(EvalExpression(value, state.Eval()));
    }
}

void LoadRVariables(const JobRowVariables& row, TranslationState& state, ControlPanelLists& panel) {
    FieldSplitter texts;
    texts.Assign(row.rVariables, kRVarSeparator);
    FieldSplitter notes;
    notes.Assign(TrimSpaces(row.rNotes), kRVarSeparator);
    for (int i = 1; i <= texts.FieldCount(); ++i) {
        // Entries are joined by " ¦ "; the blanks around them are not part of the names.
        std::string entry =
            std::string(TrimSpaces(texts.Field(i))) + "|" + std::string(notes.Field(i));
        const RVarFields fields = panel.AddRVar(entry);
        const std::string_view name = TrimSpaces(fields.name);
        // A piece without a name (an empty cell, a trailing separator) names no variable; reading
        // it as R0 would wipe that variable.
        if (name.empty()) continue;
        const double n = NumericValue(name.substr(1));
        if (n < 0 || n >= ProgramVariables::kAnyRSet) continue;
        const std::string_view value = TrimSpaces(fields.value);
        state.vars.r[static_cast<std::size_t>(n)] = value.empty() ? "0" : std::string(value);
        state.vars.r[ProgramVariables::kAnyRSet] = "1";
    }
}

}  // namespace

JobRowVariables RowVariables(const Worklist& worklist, int row) {
    JobRowVariables vars;
    vars.row = row;
    vars.fileName = worklist.GetCell(row, WorklistColumn::kFilename);
    vars.vVariables = worklist.GetCell(row, WorklistColumn::kVVariables);
    vars.rVariables = worklist.GetCell(row, WorklistColumn::kRVariables);
    vars.rNotes = worklist.GetCellNote(row, WorklistColumn::kRVariables);
    return vars;
}

void LoadJobVariables(const JobRowVariables& row, const ProgramHeader& header,
                      TranslationState& state, ControlPanelLists& panel) {
    if (row.row <= 0 || row.fileName.empty()) return;
    state.vars.letters[ProgramVariables::kLength] = static_cast<float>(header.partLength);
    state.vars.letters[ProgramVariables::kWidth] = static_cast<float>(header.partWidth);
    state.vars.letters[ProgramVariables::kThickness] = static_cast<float>(header.partThickness);
    panel.AddVVar(VVarMode::kClear, "");
    LoadVVariables(row.vVariables, state, panel);
    std::string clear = "Clear";
    panel.AddRVar(clear);
    LoadRVariables(row, state, panel);
}

bool TranslateRow(Session& session, JobState& job, int row, JobOutcome* outcome) {
    if (row < 1) return false;
    const Worklist& worklist = session.worklist;
    const std::filesystem::path program = ProgramPathOfRow(worklist, row, session.worklistFolder);
    if (!ChkPFile(session, job, program)) return false;
    session.header.partLength = NumericValue(worklist.GetCell(row, WorklistColumn::kLength));
    session.header.partWidth = NumericValue(worklist.GetCell(row, WorklistColumn::kWidth));
    session.header.partThickness = NumericValue(worklist.GetCell(row, WorklistColumn::kThick));
    job.currentRow = row;
    job.rowVariables = RowVariables(worklist, row);
    TranslationState shown;  // the lists show the row; the job loads its own copy when it scans
    LoadJobVariables(job.rowVariables, session.header, shown, session.panel);
    if (worklist.GetCellNote(row, WorklistColumn::kRVariables).empty()) {
        session.worklist.SetCellNote(row, WorklistColumn::kRVariables, session.header.rVarNotes);
        job.rowVariables.rNotes = session.worklist.GetCellNote(row, WorklistColumn::kRVariables);
    }
    // A preview is the program under its own name: an output name left over from the last run
    // must not make it overwrite that run's drawing.
    job.outputNameOverride.clear();
    JobOutcome result = TranslateJob(session, job, 0, program);
    if (outcome != nullptr) *outcome = std::move(result);
    return true;
}

}  // namespace retracer
