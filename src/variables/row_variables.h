#pragma once

#include <string>

namespace retracer {

// The variable texts of one worklist row, copied out of the grid so that a job can load them
// without reaching into the worklist (a job may run on another thread than the grid's owner).
struct JobRowVariables {
    int row = 0;           // 0: the job comes from no row
    std::string fileName;  // the row's "Filename"; an empty one loads nothing
    std::string vVariables;
    std::string rVariables;
    std::string rNotes;  // the note of the "R Variables" cell, trimmed
};

}  // namespace retracer
