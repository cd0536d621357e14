#pragma once

#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "translate/job_state.h"

namespace retracer {

struct Session;

// Where the run keeps its per-user values (application title, section).
inline constexpr std::string_view kRetracerApp = "Retracer";
inline constexpr std::string_view kDefaultsSection = "Defaults";
inline constexpr std::string_view kNestingWindowTitle = "Cutplan";
inline constexpr std::string_view kBatchListName = "Batch.lst";

// State of the Process Selection window that outlives one run.
struct RunState {
    // False makes the next selection run only recognise (a click in the file list with
    // TranslateOnSelect off); every run ends by setting it.
    bool translateArmed = false;
    bool selectionRunBusy = false;
};

struct RunOptions {
    bool forceSave = true;     // the Process button saves every job under its own name
    std::string sourceFolder;  // the source folder as shown; stored under "InitDir"
    // Translations at once in a worklist run; 1 runs row by row on the caller's session. With
    // more, the Control Panel ends showing the last row's program and variables but not its
    // subprogram list: meant for callers that show no Control Panel while the run goes on.
    int jobs = 1;
    // Brings the nesting application's window to the front after Batch.lst is written; may be
    // empty. Failures are the callee's to ignore.
    std::function<void(std::string_view title)> raiseWindow;
    // Told before each job row (or selected file) is taken up, in order: the row (0 in a
    // selection run), how many were taken up before it and how many the run has in all. False
    // stops the run there as a No to "File Not Found" would: nothing more is translated, no
    // Batch.lst, no counter stored. A run with more than one job asks only between its stretches
    // of rows. May be empty.
    std::function<bool(int row, int done, int total)> beforeRow;
};

// What a run did, for the caller to show or print.
struct RunReport {
    struct Translation {
        int row = 0;  // 0 in a selection run
        bool mirror = false;
        std::filesystem::path output;
        bool written = false;
        std::vector<Diagnostic> diagnostics;
    };
    struct SkippedRow {
        int row = 0;
        std::filesystem::path program;
        bool missing = false;  // else not a program file
    };
    bool duplicateNames = false;  // nothing was translated
    bool stopped = false;         // the user answered No to "File Not Found"
    int stopRow = 0;              // the row to make active after a stop
    std::vector<Translation> translations;
    std::vector<SkippedRow> skipped;
    std::filesystem::path batchList;  // written Batch.lst, empty when none

    std::vector<std::filesystem::path> WrittenOutputs() const;
    bool AllWritten() const;
};

// The worklist run (the Process button with a worklist): every job row once for its normal and
// once for its mirrored quantity, with its size, variables and output name; rows naming the same
// program are numbered. Questions and messages go to session.prompt in row order, whatever
// options.jobs is; with more than one job the output is the same, file for file and byte for
// byte, as a run in row order.
RunReport RunWorklist(Session& session, RunState& state, const RunOptions& options);

// The selection run: the given files of the source folder in order, each as job 0.
RunReport RunSelection(Session& session, RunState& state, const std::filesystem::path& folder,
                       const std::vector<std::string>& selected, const RunOptions& options);

// The Process button: the worklist run when row 1 names a program, else the selection run of
// the files selected in the source folder.
RunReport ProcessButton(Session& session, RunState& state, const std::filesystem::path& folder,
                        const std::vector<std::string>& selected, const RunOptions& options);

// The text of Batch.lst: every path followed by CR LF.
std::string BatchListText(const std::vector<std::filesystem::path>& outputs);

// Brings a window to the front by its title where the desktop offers a way (wmctrl); every
// failure is ignored.
void RaiseWindowByTitle(std::string_view title);

}  // namespace retracer
