#pragma once

#include <string>
#include <string_view>

#include "drawing/drawing_writer.h"
#include "settings/options.h"
#include "translate/job_state.h"
#include "translate/state_layer_names.h"
#include "translate/tool_table.h"
#include "translate/translation_state.h"

namespace retracer {

inline constexpr int kHoleColour = 4;

// What hole output needs of the job. The part's width and length for the edges come from the
// letter variables W and L of `state`; `partLength` is the program header's length, about which
// mirrored jobs are reflected.
struct HoleOutput {
    DrawingWriter& writer;
    const TranslationState& state;
    const TranslationOptions& options;
    const ToolTable& tools;
    const LayerRoots& roots;
    bool mirrorJob = false;
    double partLength = 0;
    double unitDivisor = 1;   // 25.4 on inch programs: table sizes are millimetres
    JobState* job = nullptr;  // where holes that cannot be drawn are reported; none in some tests
};

// One hole as a translator hands it over. The tool text holds one or more two-digit drill numbers
// ("21", "0512"); with more than one, the first is the spindle the position refers to and the
// others are further spindles of a multi-spindle unit, each drilling its own hole.
//
// Plane codes: 5 and -5 the top and bottom faces; 1 and 2 the edges along X at Y = W and Y = 0;
// 3 and 4 the edges along Y at X = 0 and X = L; -4 … -1 side faces given with depth and position
// exchanged, drawn as 4 … 1.
struct HoleRequest {
    float x = 0;
    float y = 0;
    float depth = 0;
    float diameter = 0;
    int planeCode = 0;
    int edgeFlag = 0;
    float feed = 0;
    std::string_view tool = {};
};

// Draws the hole (a circle on a face, a three-sided outline on an edge) and the holes of further
// spindles. Returns the diameter used: the first tool's from the table when the text names a tool
// of the table, else the request's, and 5 mm for a face hole that had none. Only plane codes
// -5 … -1 and 1 … 5 draw. A hole of negative diameter is an error in the program, not a hole,
// and one whose size or position is not a finite number (or beyond what a drawing holds) cannot
// be drawn: both are left out and reported at the line being translated. A tool number outside 1 …
// 100 names no tool when it comes first (no table size, no tool part, no further spindles) and
// drills no hole when it is a further spindle.
float DrillHole(const HoleOutput& out, const HoleRequest& hole);

}  // namespace retracer
