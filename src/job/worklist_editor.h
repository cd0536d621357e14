#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "worklist/worklist_editing.h"

namespace retracer {

class ControlPanelLists;
class Prompt;
class Worklist;
struct JobResult;
struct Session;

// The markers AddToProc takes around a series of added files.
inline constexpr std::string_view kAddStart = "Start\xC2\xA2";    // "Start¢"
inline constexpr std::string_view kAddFinish = "Finish\xC2\xA2";  // "Finish¢"

inline constexpr std::string_view kWorklistTip =
    "Work List of files to Process. *** Right Click for Menu.";

// The worklist's editing operations and the little state the Process Selection window keeps for
// them. The window's grid, menu and buttons call these; nothing here shows a window.
class WorklistEditor {
  public:
    // "Start¢" begins a series (files go after the last row counted from row 1 that has a file
    // name), "Finish¢" ends it, anything else is a program file name in `sourceFolder`: a
    // recognised program fills the next row, replacing what is there except the quantities of
    // mirrored parts, the job texts, the material and the output name. False when not added.
    bool AddToProc(Session& session, std::string_view name,
                   const std::filesystem::path& sourceFolder);

    // The Add command: every selected file in order, until the user stops at a missing one.
    // Returns how many were added.
    int AddFiles(Session& session, const std::vector<std::string>& selected,
                 const std::filesystem::path& sourceFolder);

    int NextRow() const { return nextRow_; }

    // A click on a cell of the grid. The first three columns (or the row header, column 0)
    // preview the row (mirrored for "Mir"); a second click on the same cell does nothing.
    // Returns true when a preview was made; `result` (when given) receives its job. The clicked
    // row becomes the current row.
    bool CellClick(Session& session, int column, int row, JobResult* result = nullptr);
    // The worklist row whose variables the Control Panel edits; 0 = none.
    int CurrentRow() const { return currentRow_; }
    // The current row was clicked in "Mir": its preview is the mirrored part.
    bool CurrentMirror() const { return currentMirror_; }
    // A job of no row (a program file clicked) is shown: no row is current any more.
    void ForgetCurrentRow() {
        currentRow_ = 0;
        currentMirror_ = false;
    }
    // The grid lost the focus: the next click on any cell counts again.
    void FocusLost() { lastColumn_ = lastRow_ = 0; }

    // The tip the grid shows; only the first four times it asks.
    std::string TipText();

  private:
    int nextRow_ = 0;
    int lastColumn_ = 0;
    int lastRow_ = 0;
    int currentRow_ = 0;
    bool currentMirror_ = false;
    int tipCount_ = 0;
};

// Asks "Delete selected entries in Worklist?" and on Yes deletes the rows (the rows below move
// up, with their notes) and empties the Control Panel's variable, layer, program and size lists.
// Returns true when rows were deleted.
bool DeleteSelectedRows(Session& session, const std::vector<int>& rows);
// The same over the parts it touches, for windows that hold those rather than a session.
bool DeleteSelectedRows(Prompt& prompt, Worklist& worklist, ControlPanelLists& panel,
                        const std::vector<int>& rows);

// ClearWorklist with the session's prompt and worklist.
bool ClearWorklist(Session& session);

}  // namespace retracer
