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
#include "translate/recognition.h"
#include "translate/translation_state.h"
#include "variables/eval_expression.h"
#include "worklist/row_program.h"
#include "worklist/worklist.h"

namespace retracer {
namespace {

void LoadVVariables(std::string_view cell, TranslationState& state, RowVariableLists& lists) {
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
        lists.vVars.emplace_back("V" + piece.substr(0, 1),
                                 piece.size() > 2 ? piece.substr(2) : std::string());
        const std::size_t eq = piece.find('=');
        const std::string_view value =
            eq == std::string::npos ? std::string_view() : std::string_view(piece).substr(eq + 1);
        AssignLetterVariable(state.vars, static_cast<int>(k) + 1, value, state.machineType,
                             &state.evalFaults);
    }
}

void LoadRVariables(const JobRowVariables& row, TranslationState& state, RowVariableLists& lists) {
    FieldSplitter texts;
    texts.Assign(row.rVariables, kRVarSeparator);
    FieldSplitter notes;
    notes.Assign(TrimSpaces(row.rNotes), kRVarSeparator);
    for (int i = 1; i <= texts.FieldCount(); ++i) {
        // Entries are joined by " ¦ "; the blanks around them are not part of the names.
        std::string entry =
            std::string(TrimSpaces(texts.Field(i))) + "|" + std::string(notes.Field(i));
        const RVarEntry& fields = lists.rVars.emplace_back(SplitRVarLine(entry));
        // A piece without a name (an empty cell, a trailing separator) names no variable; reading
        // it as R0 would wipe that variable.
        const std::string_view value = TrimSpaces(fields.value);
        const std::string_view name = TrimSpaces(fields.name);
        if (!AssignRVariable(state.vars, name, value.empty() ? "0" : value) && !name.empty()) {
            lists.unknownRNames.emplace_back(name);
        }
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

RowVariableLists LoadJobVariables(const JobRowVariables& row, const ProgramHeader& header,
                                  TranslationState& state) {
    RowVariableLists lists;
    if (row.row <= 0 || row.fileName.empty()) return lists;
    lists.loaded = true;
    state.vars.letters[ProgramVariables::kLength] = static_cast<float>(header.partLength);
    state.vars.letters[ProgramVariables::kWidth] = static_cast<float>(header.partWidth);
    state.vars.letters[ProgramVariables::kThickness] = static_cast<float>(header.partThickness);
    LoadVVariables(row.vVariables, state, lists);
    LoadRVariables(row, state, lists);
    return lists;
}

RowVariableLists RowVariableListsOf(const JobRowVariables& row, const ProgramHeader& header) {
    TranslationState scratch;
    return LoadJobVariables(row, header, scratch);
}

bool TranslateRow(Session& session, int row, bool mirror, bool dimsFromJob, JobResult* result) {
    if (row < 1) return false;
    Worklist& worklist = session.worklist;
    const std::filesystem::path program = ProgramPathOfRow(worklist, row, session.worklistFolder);
    if (!ChkPFile(session, program, dimsFromJob)) return false;
    session.header.partLength = NumericValue(worklist.GetCell(row, WorklistColumn::kLength));
    session.header.partWidth = NumericValue(worklist.GetCell(row, WorklistColumn::kWidth));
    session.header.partThickness = NumericValue(worklist.GetCell(row, WorklistColumn::kThick));
    JobRequest request = RequestFor(session, session.recognizedProgram);
    request.mirror = mirror;
    request.dimsFromJob = dimsFromJob;
    request.rowVariables = RowVariables(worklist, row);
    // The lists show the row; the job loads its own copy when it scans.
    ShowRowVariables(session.panel, RowVariableListsOf(request.rowVariables, session.header));
    if (worklist.GetCellNote(row, WorklistColumn::kRVariables).empty()) {
        worklist.SetCellNote(row, WorklistColumn::kRVariables, session.header.rVarNotes);
        request.rowVariables.rNotes = worklist.GetCellNote(row, WorklistColumn::kRVariables);
    }
    // A preview is the program under its own name as job 0: an output name left over from the
    // last run must not make it overwrite that run's drawing.
    JobResult job = TranslateJob(ResourcesOf(session), request);
    RaiseJobMessages(session.prompt, job);
    ShowJobResult(session.panel, job);
    session.header = job.header;
    if (result != nullptr) *result = std::move(job);
    return true;
}

}  // namespace retracer
