#pragma once

#include <string>

namespace retracer {

enum class Dialect { kNone = 0, kGenesis = 1, kGenesisEv = 2 };

// What recognition found out about a program file: its dialect, units, part size, comment and
// variable blocks. Overwritten by every recognition.
struct ProgramHeader {
    Dialect dialect = Dialect::kNone;
    std::string unitsText = "Metric  ";  // "Metric  " or "Inch    ", eight characters
    bool metricUnits = true;
    double partLength = 0;
    double partWidth = 0;
    double partThickness = 0;
    std::string programComment;
    std::string vVarSummary;  // V variable lines joined by " | "
    std::string rVarSummary;  // marked R variable lines joined by " ¦ "
    std::string rVarNotes;    // their descriptions, each followed by "¦"
};

}  // namespace retracer
