#pragma once

#include <string>
#include <vector>

#include "translate/label_field.h"
#include "variables/row_variables.h"
#include "variables/subprogram_call.h"

namespace retracer {

// A problem found in the input while translating: the job goes on, and the caller shows it.
struct Diagnostic {
    std::string file;  // program or subprogram path
    int line = 0;      // 1-based; 0 when not tied to a line
    std::string message;
};

// The state of one job, from the caller's settings to what the scans collected. A job starts
// from a fresh object.
struct JobState {
    // Set by the caller.
    bool mirrorJob = false;
    bool forceSave = false;
    std::string outputNameOverride;
    int currentRow = 0;     // worklist row whose variables are loaded; 0 = none
    int currentColumn = 0;  // column the user was in, for the missing-file question
    bool dimsFromJob = false;
    // The running counter of the HBD file-name marker: the label block advances it (wrapping
    // after 99999) when RenameForHBD is on, and the run carries it from job to job.
    int hbdCounter = 0;

    // Reset per job, set by the translators.
    double unitDivisor = 1.0;           // 25.4 for inch programs
    std::vector<SubprogramCall> calls;  // calls[k - 1] is call number k
    int currentCall = 0;                // 0 = the main program
    std::vector<LabelField> labelFields;
    std::string programOffsetX;
    std::string programOffsetY;
    std::string programOffsetZ;
    std::string errText;  // of the drawing writer

    // Problems found in the input.
    std::vector<Diagnostic> diagnostics;

    // Set by the caller: the variable texts of the worklist row the job comes from, loaded at
    // the start of the main program's scan when currentRow is not 0.
    JobRowVariables rowVariables;

    SubprogramCall* CurrentCall() {
        return currentCall > 0 && currentCall <= static_cast<int>(calls.size())
                   ? &calls[static_cast<std::size_t>(currentCall - 1)]
                   : nullptr;
    }
};

}  // namespace retracer
