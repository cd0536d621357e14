#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "variables/eval_expression.h"
#include "variables/program_variables.h"

namespace retracer {

// A compensation tag ("_L" or "_R" and a number) waiting for the next route path's layer name;
// it goes into exactly one layer and is then cleared.
struct PendingTag {
    std::string text;
    float number = 0;
};

// A vertex known but not yet written: its bulge is only known once the next move is.
struct PendingVertex {
    float x = 0;
    float y = 0;
    float z = 0;
};

// Everything the translators and the drawing output share while one job is translated. A job
// starts from a fresh object, so nothing carries over from the job before; the main program and
// its subprograms share one.
struct TranslationState {
    ProgramVariables vars;

    // Current position as the program gives it (not mirrored), and the depth of the move being
    // made.
    float curX = 0;
    float curY = 0;
    float curZ = 0;
    double moveZ = 0;

    // Routing data of the current tool.
    std::string toolName;  // "T" and the tool number, or a layer part such as "_T105"
    int spindleSpeed = 0;
    float feedDown = 0;
    float feedRate = 0;
    int edgeCode = 0;
    int planeCode = 0;  // face of the current tool; routes are drawn only on faces 5 and -5
    PendingTag pendingTag;

    // The route polyline being written.
    std::string routeLayer;  // empty: the next move begins a new path
    bool pathOpen = false;
    PendingVertex lastVertex;
    std::string routeSeq;  // route sequence number text, emptied at the start of each scan

    // Conditions: lines are translated only while the innermost entry holds.
    static constexpr int kConditionLevels = 11;
    std::array<bool, kConditionLevels> condStack{};
    int condDepth = 0;

    // Layer of the part outline.
    std::string borderLayer;

    // Coordinate mappings set by the orientation codes (0..3), for positions and for centres.
    int xyMapping = 0;
    int centreMapping = 0;

    // Machine type code of the program header.
    int machineType = 0;

    // Expression faults met during the job, for its diagnostics.
    EvalFaultLog evalFaults;

    // Told what expressions read by mistake; set by the translator of the job, if any.
    ExpressionNotes* notes = nullptr;

    EvalContext Eval() { return EvalContext{vars, machineType, &evalFaults, notes}; }

    // The last few drill layer names with what they were made from: rows of holes repeat one
    // name thousands of times. Filled by the hole output; it changes no result, hence mutable.
    struct DrillLayerMemo {
        struct Entry {
            std::string root;
            std::uint32_t depthBits = 0;
            std::string toolText;
            bool toolPart = false;  // whether the layer names the tools
            int edgeFlag = 0;
            std::uint32_t feedBits = 0;
            std::string layer;
        };
        std::vector<Entry> entries;
        std::size_t next = 0;  // the entry replaced next once all are used
        // The drill numbers of the last tool text.
        std::string toolText;
        std::vector<int> toolNumbers;
        bool toolNumbersValid = false;
    };
    mutable DrillLayerMemo drillLayerMemo;
};

}  // namespace retracer
