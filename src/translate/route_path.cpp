#include "translate/route_path.h"

#include <cmath>
#include <cstdlib>

#include "base/value_text.h"
#include "drawing/geometry.h"
#include "translate/line_fields.h"

namespace retracer {
namespace {

// The bulge of a half circle, with the same pi as every other angle of the drawing.
const float kHalfCircleBulge = static_cast<float>(std::sin(3.141593 / 2));

bool OnRoutedFace(const TranslationState& state) {
    return std::abs(state.planeCode) == 5;
}

bool DepthInVertices(const RouteOutput& out) {
    return out.options.depthInVertices;
}

float DrawnX(const RouteOutput& out, double x) {
    return static_cast<float>(XForMirror(x, out.mirrorJob, out.partLength));
}

// Angles are compared and swept as the four-decimal values they would be shown as, so that start
// and end of a full circle match even when computed from different coordinates.
float ShownAngle(double cx, double cy, double x, double y) {
    return static_cast<float>(RoundDecimals(DirectionAngle(cx, cy, x, y), 4));
}

void Report(const RouteOutput& out, std::string message) {
    if (out.job) out.job->WarnAtLine(std::move(message));
}

bool Finite(float x, float y, float z) {
    return std::isfinite(x) && std::isfinite(y) && std::isfinite(z);
}

// The depth the path's first vertex carries.
float StartZ(const RouteOutput& out) {
    return DepthInVertices(out) ? out.state.curZ : 0.0f;
}

// False when the move cannot be drawn: its end (x, y, z as drawn) is not a finite number, or no
// path is open and the current position, where the path would start, is not one. In the latter
// case the current position moves to the end, so the path starts there with the next move.
bool Drawable(const RouteOutput& out, double x, double y, std::string_view what) {
    TranslationState& state = out.state;
    if (!Finite(DrawnX(out, x), static_cast<float>(y), static_cast<float>(state.moveZ))) {
        Report(out, "Route " + std::string(what) +
                        " to a point that is not a finite number is left out; the path goes on "
                        "from its last point");
        return false;
    }
    if (state.routeLayer.empty() && !Finite(DrawnX(out, state.curX), state.curY, StartZ(out))) {
        Report(out,
               "Route path starts at a point that is not a finite number; it starts at the "
               "end of this " +
                   std::string(what) + " instead");
        state.curX = static_cast<float>(x);
        state.curY = static_cast<float>(y);
        state.curZ = static_cast<float>(state.moveZ);
        return false;
    }
    return true;
}

void StartPathIfNeeded(const RouteOutput& out) {
    TranslationState& state = out.state;
    if (!state.routeLayer.empty()) return;
    // A layer name never comes out empty with real roots; should it, the open polyline is still
    // closed before another begins.
    if (state.pathOpen) EndRoutePath(out);
    const float lineFeed = out.line ? static_cast<float>(WordValue(*out.line, 'F', state)) : 0.0f;
    state.routeLayer = RouteLayerName(state, out.roots, DepthInVertices(out), lineFeed);
    out.writer.BeginPolyline(state.routeLayer, kRouteColour);
    state.pathOpen = true;
    PutVertex(out, DrawnX(out, state.curX), state.curY, StartZ(out), 0, VertexMode::kHold);
}

void FinishMove(const RouteOutput& out, double x, double y) {
    TranslationState& state = out.state;
    state.curX = static_cast<float>(x);
    state.curY = static_cast<float>(y);
    state.curZ = static_cast<float>(state.moveZ);
}

}  // namespace

void PutVertex(const RouteOutput& out, float x, float y, float z, float bulge, VertexMode mode) {
    TranslationState& state = out.state;
    if (mode == VertexMode::kWriteWaiting) {
        const PendingVertex& v = state.lastVertex;
        out.writer.AddVertex(v.x, v.y, v.z, state.routeLayer, kRouteColour, bulge);
    } else if (mode != VertexMode::kHold) {
        return;
    }
    state.lastVertex = PendingVertex{x, y, z};
}

void RouteLineTo(const RouteOutput& out, double x, double y) {
    TranslationState& state = out.state;
    if (!OnRoutedFace(state)) return;
    if (!DepthInVertices(out)) state.moveZ = 0;
    if (!Drawable(out, x, y, "move")) return;
    StartPathIfNeeded(out);
    PutVertex(out, DrawnX(out, x), static_cast<float>(y), static_cast<float>(state.moveZ), 0,
              VertexMode::kWriteWaiting);
    FinishMove(out, x, y);
}

void RouteArcTo(const RouteOutput& out, double cx, double cy, double ex, double ey,
                bool clockwise) {
    TranslationState& state = out.state;
    if (!OnRoutedFace(state)) return;
    const double r = std::hypot(ex - cx, ey - cy);
    if (!std::isfinite(cx) || !std::isfinite(cy) || !std::isfinite(ex) || !std::isfinite(ey)) {
        Report(out,
               "Route arc to a point that is not a finite number is left out; the path goes "
               "on from its last point");
        return;
    }
    // Measured in the program's own coordinates: a mirror image sweeps the same angle the other
    // way round, so mirroring only flips the bulge's sign below.
    const float a1 = ShownAngle(cx, cy, state.curX, state.curY);
    const float a2 = ShownAngle(cx, cy, ex, ey);
    const bool fullCircle = a1 == a2;
    // A full circle adds a middle vertex up to a radius away from the centre either way.
    if (!Finite(DrawnX(out, cx), static_cast<float>(cy), static_cast<float>(r)) ||
        (fullCircle && !Finite(DrawnX(out, cx - r), DrawnX(out, cx + r),
                               static_cast<float>(std::fabs(cy) + r)))) {
        Report(out,
               "Route arc with a centre or radius that is not a finite number is left out; "
               "the path goes on from its last point");
        return;
    }
    if (!DepthInVertices(out)) state.moveZ = 0;
    if (!Drawable(out, ex, ey, "arc")) return;

    StartPathIfNeeded(out);

    float bulge =
        fullCircle ? kHalfCircleBulge : static_cast<float>(TanDeg(ArcSweep(a1, a2, clockwise) / 4));
    if (clockwise != out.mirrorJob) bulge = -bulge;

    if (fullCircle) {
        double middle = a1 + 180.0;
        if (middle > 360) middle -= 360;
        const float zm =
            DepthInVertices(out) ? static_cast<float>((state.curZ + state.moveZ) / 2) : 0.0f;
        PutVertex(out, DrawnX(out, cx + r * CosDeg(middle)),
                  static_cast<float>(cy + r * SinDeg(middle)), zm, bulge,
                  VertexMode::kWriteWaiting);
    }

    PutVertex(out, DrawnX(out, ex), static_cast<float>(ey), static_cast<float>(state.moveZ), bulge,
              VertexMode::kWriteWaiting);
    FinishMove(out, ex, ey);
}

void EndRoutePath(const RouteOutput& out) {
    TranslationState& state = out.state;
    if (state.pathOpen) {
        PutVertex(out, 0, 0, 0, 0, VertexMode::kWriteWaiting);
        out.writer.EndPolyline();
        state.pathOpen = false;
    }
    state.routeLayer.clear();
}

}  // namespace retracer
