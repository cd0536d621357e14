#pragma once

#include <string>

#include "variables/eval_expression.h"
#include "variables/program_variables.h"

namespace retracer {

// Everything the translators and the drawing output share while one job is translated. A job
// starts from a fresh object, so nothing carries over from the job before; the main program and
// its subprograms share one.
struct TranslationState {
    ProgramVariables vars;

    // Coordinate mappings set by the orientation codes (0..3), for positions and for centres.
    int xyMapping = 0;
    int centreMapping = 0;

    // Machine type code of the program header.
    int machineType = 0;

    // Route sequence number text, emptied at the start of each scan.
    std::string routeSeq;

    // Expression faults met during the job, for its diagnostics.
    EvalFaultLog evalFaults;

    EvalContext Eval() { return EvalContext{vars, machineType, &evalFaults}; }
};

}  // namespace retracer
