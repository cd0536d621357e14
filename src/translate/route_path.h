#pragma once

#include <string>

#include "base/field_splitter.h"
#include "drawing/drawing_writer.h"
#include "settings/options.h"
#include "translate/job_state.h"
#include "translate/state_layer_names.h"
#include "translate/translation_state.h"

namespace retracer {

inline constexpr int kRouteColour = 3;

// What route output needs of the job. `line` is the program line being translated, whose F word
// goes into the layer of a path that starts on it; without one the layer has no "_F" part.
struct RouteOutput {
    DrawingWriter& writer;
    TranslationState& state;
    const TranslationOptions& options;
    const LayerRoots& roots;
    bool mirrorJob = false;
    double partLength = 0;  // mirrored jobs are reflected about the middle of this length
    FieldSplitter* line = nullptr;
    JobState* job = nullptr;  // where moves that cannot be drawn are reported; none in some tests
};

// Each tool path becomes one polyline. A vertex is written only when the move after it is known,
// because its bulge describes the segment that starts at it; until then it waits in
// state.lastVertex.
enum class VertexMode {
    kHold,          // keep (x, y, z) as the waiting vertex, write nothing
    kWriteWaiting,  // write the waiting vertex with `bulge`, then keep (x, y, z)
};
void PutVertex(const RouteOutput& out, float x, float y, float z, float bulge, VertexMode mode);

// Moves on faces other than 5 and -5 draw nothing and leave the current position where it was.
// A move to a point that is not a finite number (or beyond what a drawing holds) is left out and
// reported; the current position stays, so the path goes on from its last good vertex and the
// polyline keeps only finite vertices. A path whose start is not finite starts at the end of its
// first good move instead. The first move after a path ended starts a new polyline at the
// current position, on a layer built from the state at that moment (its pending tag is used up).
// With depth in vertices each vertex carries the depth of its move; otherwise the depth is in the
// layer name and every Z is 0.
void RouteLineTo(const RouteOutput& out, double x, double y);

// Arc about (cx, cy) from the current position to (ex, ey). An arc that ends where it starts is a
// full circle, written as two half circles. On a mirrored job the arc is the mirror image of the
// same arc on the normal job: same sweep, opposite direction, so its bulge is the negated one.
void RouteArcTo(const RouteOutput& out, double cx, double cy, double ex, double ey, bool clockwise);

// Writes the waiting vertex and closes the polyline, if one is open; the next move starts a new
// path either way.
void EndRoutePath(const RouteOutput& out);

}  // namespace retracer
