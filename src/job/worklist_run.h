#pragma once

#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "translate/job_state.h"

namespace retracer {

struct Session;

inline constexpr std::string_view kNestingWindowTitle = "Cutplan";
inline constexpr std::string_view kBatchListName = "Batch.lst";

// State of the Process Selection window that outlives one run.
struct RunState {
    // False makes the next selection run only recognise (a click in the file list with
    // TranslateOnSelect off); every run ends by setting it.
    bool translateArmed = false;
    bool selectionRunBusy = false;
};

// The desktop's side of a run: brings the nesting application's window to the front once
// Batch.lst is written. The desktop application implements it; the command-line tool has none.
class NestingWindow {
  public:
    virtual ~NestingWindow() = default;
    // Failures are the implementation's to ignore.
    virtual void Raise(std::string_view title) = 0;
};

// Where a long run is: the row being translated, rows finished and rows in the run.
struct RunProgress {
    int row = 0;  // 0 in a selection run
    int rowsDone = 0;
    int rowsTotal = 0;
};

struct RunOptions {
    bool forceSave = true;     // the Process button saves every job under its own name
    std::string sourceFolder;  // the source folder as shown; stored under "InitDir"
    // Translations at once in a worklist run; 1 runs row by row. Either way messages, the
    // Control Panel and the outputs end as after a run in order.
    int jobs = 1;
    NestingWindow* nestingWindow = nullptr;
    // Told before each row is translated. With more than one job it is called from the run's
    // threads (one call at a time), so it must only hand the figures on.
    std::function<void(const RunProgress&)> progress;
    // Asked before each row is translated (from the run's threads too): true stops the run
    // there exactly as answering No to "File Not Found" does.
    std::function<bool()> cancelled;
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
    bool stopped = false;  // the user answered No to "File Not Found", or the run was cancelled
    int stopRow = 0;       // the row to make active after a stop
    std::vector<Translation> translations;
    std::vector<SkippedRow> skipped;
    std::filesystem::path batchList;  // written Batch.lst, empty when none
    std::string batchListError;       // why Batch.lst could not be written, empty when it was

    std::vector<std::filesystem::path> WrittenOutputs() const;
    bool AllWritten() const;
};

// The worklist run (the Process button with a worklist): every job row once for its normal and
// once for its mirrored quantity, with its size, variables and output name; rows naming the same
// program are numbered. Questions and messages go to session.prompt in row order, whatever
// options.jobs is; with more than one job the output is the same, file for file and byte for
// byte, as a run in row order. Parallel jobs share the session's settings, tool table and
// letters, and nothing else.
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

}  // namespace retracer
