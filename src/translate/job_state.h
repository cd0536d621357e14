#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "translate/label_field.h"
#include "variables/subprogram_call.h"

namespace retracer {

// A problem found in the input while translating: the job goes on, and the caller shows it.
struct Diagnostic {
    std::string file;  // program or subprogram path
    int line = 0;      // 1-based; 0 when not tied to a line
    std::string message;
};

// What the translators read and collect while one job is scanned. A job starts from a fresh
// object.
struct JobState {
    // Set by the job from its request.
    bool mirrorJob = false;
    bool dimsFromJob = false;  // the part size comes from the worklist row, not the program

    // Reset per job, set by the translators.
    double unitDivisor = 1.0;           // 25.4 for inch programs
    std::vector<SubprogramCall> calls;  // calls[k - 1] is call number k
    int currentCall = 0;                // 0 = the main program
    std::vector<LabelField> labelFields;
    // Holes the translators asked for, drawn or not (a hole outside any face is not): the work
    // subprogram calls may multiply.
    std::size_t holesRequested = 0;
    std::string programOffsetX;
    std::string programOffsetY;
    std::string programOffsetZ;

    // Problems found in the input.
    std::vector<Diagnostic> diagnostics;

    SubprogramCall* CurrentCall() {
        return currentCall > 0 && currentCall <= static_cast<int>(calls.size())
                   ? &calls[static_cast<std::size_t>(currentCall - 1)]
                   : nullptr;
    }
};

}  // namespace retracer
