#pragma once

#include <cstddef>
#include <string>
#include <string_view>
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

    // Problems found in the input, the first kMaxDiagnostics of them: a program that is wrong on
    // every one of its million lines must not cost more memory than its drawing.
    static constexpr std::size_t kMaxDiagnostics = 1000;
    std::vector<Diagnostic> diagnostics;
    std::size_t diagnosticsLeftOut = 0;  // those found beyond the first kMaxDiagnostics

    // Holes that rows and circles of holes may add in one job. Each pattern is bounded on its
    // own, but a program of thousands of huge rows would still make a drawing of billions; no
    // panel comes near this.
    static constexpr std::size_t kMaxPatternHoles = 2'000'000;
    std::size_t maxPatternHoles = kMaxPatternHoles;
    std::size_t patternHoles = 0;  // made so far

    // The program line being translated, so that the output routines can name it when they
    // leave out geometry they cannot draw.
    std::string lineFile;
    int lineNumber = 0;

    void AtLine(std::string_view file, int line) {
        if (lineFile != file) lineFile.assign(file);
        lineNumber = line;
    }
    // Reports a problem of the line being translated. The same message for the same line is
    // given once: a row of a hundred holes with one fault is one problem of the program.
    void WarnAtLine(std::string message) {
        if (!diagnostics.empty()) {
            const Diagnostic& last = diagnostics.back();
            if (last.line == lineNumber && last.message == message && last.file == lineFile) return;
        }
        diagnostics.push_back(Diagnostic{lineFile, lineNumber, std::move(message)});
    }

    SubprogramCall* CurrentCall() {
        return currentCall > 0 && currentCall <= static_cast<int>(calls.size())
                   ? &calls[static_cast<std::size_t>(currentCall - 1)]
                   : nullptr;
    }
};

}  // namespace retracer
