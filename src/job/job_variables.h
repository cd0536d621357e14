#pragma once

#include <string>

#include "variables/row_variables.h"

namespace retracer {

struct JobState;
struct JobOutcome;
struct ProgramHeader;
struct Session;
struct TranslationState;
class ControlPanelLists;
class Worklist;

JobRowVariables RowVariables(const Worklist& worklist, int row);

// Loads a row's variables into a job's state before its main program is scanned, and shows them
// in the Control Panel's V and R lists:
// - L, H and S take the header's part size;
// - "V Variables" entries "Vk=expression" with k from 0 to 7 set V0 to V7 (evaluated at once);
// - "R Variables" entries "Rn=text" store their text as written in R n. Only a blank text
//   becomes "0": an expression such as L/2 stays an expression, read wherever it is used, so the
//   row draws the part the way the program's own VAR block does.
// Does nothing for row 0 or a row without a file name.
void LoadJobVariables(const JobRowVariables& row, const ProgramHeader& header,
                      TranslationState& state, ControlPanelLists& panel);

// The row preview: recognises the row's program, takes the row's part size and variables and
// translates it as job 0 (the scratch drawing, or the program's own name when SaveOnTranslate is
// on). `job` keeps the caller's mirror and dimension settings; the row becomes its current row.
// Returns false when the row names no program that could be recognised.
bool TranslateRow(Session& session, JobState& job, int row, JobOutcome* outcome = nullptr);

}  // namespace retracer
