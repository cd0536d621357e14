#pragma once

#include <string>
#include <utility>
#include <vector>

#include "translate/recognition.h"
#include "variables/row_variables.h"

namespace retracer {

struct JobResult;
struct ProgramHeader;
struct Session;
struct TranslationState;
class Worklist;

// The lists a worklist row's variables fill on the Control Panel.
struct RowVariableLists {
    bool loaded = false;  // false: the job came from no row, and the lists stay as they are
    std::vector<std::pair<std::string, std::string>> vVars;  // name, value text
    std::vector<RVarEntry> rVars;
    std::vector<std::string> unknownRNames;  // entries naming no R variable (past R299)
};

// The variable texts of worklist row `row`.
JobRowVariables RowVariables(const Worklist& worklist, int row);

// Loads a row's variables into a job's state before its main program is scanned, and returns
// what the Control Panel's V and R lists show of them:
// - L, H and S take the header's part size;
// - "V Variables" entries "Vk=expression" with k from 0 to 7 set V0 to V7 (evaluated at once);
// - "R Variables" entries "Rn=text" store their text as written in R n. Only a blank text
//   becomes "0": an expression such as L/2 stays an expression, read wherever it is used, so the
//   row draws the part the way the program's own VAR block does. Entries naming no R variable
//   (R300 and above) are listed in unknownRNames.
// Loads nothing for row 0 or a row without a file name.
RowVariableLists LoadJobVariables(const JobRowVariables& row, const ProgramHeader& header,
                                  TranslationState& state);

// The variable lists of a row as a click on it shows them, without a job.
RowVariableLists RowVariableListsOf(const JobRowVariables& row, const ProgramHeader& header);

// The row preview: recognises the row's program, takes the row's part size and variables and
// translates it as job 0 (the scratch drawing, or the program's own name when SaveOnTranslate is
// on), mirrored when asked; with `dimsFromJob` the recognition keeps the part size. Messages go
// to the session's prompt and the Control Panel shows the row. Nothing (false) when the row
// names no program that could be recognised.
bool TranslateRow(Session& session, int row, bool mirror, bool dimsFromJob,
                  JobResult* result = nullptr);

}  // namespace retracer
