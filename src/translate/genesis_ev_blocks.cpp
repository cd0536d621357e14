// The drilling, groove and routing macro blocks of Genesis Ev programs.
#include <algorithm>
#include <cmath>

#include "base/value_text.h"
#include "drawing/geometry.h"
#include "drawing/layer_names.h"
#include "translate/drill_hole.h"
#include "translate/genesis_ev.h"
#include "translate/line_fields.h"
#include "translate/route_path.h"

namespace retracer {
namespace {

// The face each SIDE#n{ section machines, as a plane code; 0 outside any section.
constexpr std::array<int, 7> kSideToPlane = {0, -5, -6, -2, -4, -1, -3};

constexpr int kGrooveColour = 3;
constexpr int kStartMarkColour = 6;
constexpr double kStartMarkRadiusMm = 3;

// A pattern of holes stops here; no panel carries more, and a pitch too small to move the
// position any more would otherwise never end.
constexpr int kMaxHolesPerBlock = 100000;

}  // namespace

int GenesisEvTranslator::FacePlane() const {
    return curSide_ >= 0 && curSide_ < static_cast<int>(kSideToPlane.size())
               ? kSideToPlane[static_cast<std::size_t>(curSide_)]
               : 0;
}

void GenesisEvTranslator::Hole(double x, double y, std::string_view tool) {
    HoleRequest hole;
    hole.x = static_cast<float>(x);
    hole.y = static_cast<float>(y);
    hole.depth = params_.depth;
    hole.diameter = params_.diameter;
    hole.planeCode = FacePlane();
    hole.edgeFlag = 0;
    hole.feed = params_.feedD;
    hole.tool = tool;
    ++ctx_.job.holesRequested;
    DrillHole(ctx_.Holes(), hole);
}

bool GenesisEvTranslator::TooManyHoles(int holes) {
    if (holes < kMaxHolesPerBlock) return !ctx_.NextPatternHole(file_, lineNumber_);
    Warn("more than " + std::to_string(kMaxHolesPerBlock) +
         " holes in one block; the rest of the pattern is left out");
    return true;
}

// The pitch no longer moves a position this far out: the row would never end.
bool GenesisEvTranslator::Stalled(float next, float current) {
    if (next != current) return false;
    Warn("hole pitch too small to advance at " + GeneralText(current) +
         "; the rest of the row is left out");
    return true;
}

// ---- Drilling --------------------------------------------------------------------------------

void GenesisEvTranslator::SingleHole(Block& block) {
    EndRoutePath(ctx_.Routes(&block.line));
    ReadBlockParams(false);
    Hole(params_.x, params_.y, std::to_string(params_.tool));
}

void GenesisEvTranslator::PolarHole(Block& block) {
    EndRoutePath(ctx_.Routes(&block.line));
    ReadBlockParams(false);
    const BlockParams& p = params_;
    Hole(p.centreX + p.radius * CosDeg(p.angle), p.centreY + p.radius * SinDeg(p.angle),
         std::to_string(p.tool));
}

void GenesisEvTranslator::CircleHoles(Block& block) {
    EndRoutePath(ctx_.Routes(&block.line));
    ReadBlockParams(false);
    const BlockParams& p = params_;
    const float radius = p.given.ay;
    float angle = p.given.ax;
    const float step =
        p.given.bx != 0 && p.count != 0 ? 360.0f / static_cast<float>(p.count) : p.step;
    const std::string tool = "0" + GeneralText(p.length);
    for (int i = 1; i <= p.count; ++i) {
        if (TooManyHoles(i - 1)) return;
        Hole(p.x + radius * CosDeg(angle), p.y + radius * SinDeg(angle), tool);
        angle -= step;  // clockwise
    }
}

void GenesisEvTranslator::RowAlongX(Block& block) {
    EndRoutePath(ctx_.Routes(&block.line));
    ReadBlockParams(false);
    DrillRow(params_.ax, params_.bx, 0.0001, true, params_.y2);
}

void GenesisEvTranslator::RowAlongY(Block& block) {
    EndRoutePath(ctx_.Routes(&block.line));
    ReadBlockParams(false);
    DrillRow(params_.ay, params_.by, 0.1, false, params_.x2);
}

void GenesisEvTranslator::DrillRow(float from, float to, double tolerance, bool alongX, float at) {
    const BlockParams& p = params_;
    if (!(p.pitch > 0)) return;
    const std::string tool = std::to_string(p.tool);
    const bool down = from > to;
    const double end = down ? to - tolerance : to + tolerance;
    int holes = 0;
    // The position advances by repeated single-precision steps, as the machine's control does.
    for (float v = from; down ? v >= end : v <= end; ++holes) {
        if (TooManyHoles(holes)) return;
        Hole(alongX ? v : at, alongX ? at : v, tool);
        const float next = down ? v - p.pitch : v + p.pitch;
        if (Stalled(next, v)) return;
        v = next;
    }
}

void GenesisEvTranslator::RowAlongLine(Block& block) {
    EndRoutePath(ctx_.Routes(&block.line));
    ReadBlockParams(false);
    const BlockParams& p = params_;
    float startX = p.ax;
    float startY = p.ay;
    double angle = p.angle;
    float length = p.length;
    if (!p.byAngle) {
        // The row runs from the lower left to the upper right corner of the two points' box.
        startX = std::min(p.ax, p.bx);
        startY = std::min(p.ay, p.by);
        const float endX = std::max(p.ax, p.bx);
        const float endY = std::max(p.ay, p.by);
        angle = DirectionAngle(startX, startY, endX, endY);
        length = static_cast<float>(std::hypot(endX - startX, endY - startY) + 0.1);
    }
    if (!(p.pitch > 0)) return;
    const std::string tool = std::to_string(p.tool);
    const double cosA = CosDeg(angle);
    const double sinA = SinDeg(angle);
    int holes = 0;
    for (float d = 0; d <= length; ++holes) {
        if (TooManyHoles(holes)) return;
        Hole(startX + d * cosA, startY + d * sinA, tool);
        const float next = d + p.pitch;
        if (Stalled(next, d)) return;
        d = next;
    }
}

// ---- Grooves ---------------------------------------------------------------------------------

void GenesisEvTranslator::Groove(float x1, float y1, float x2, float y2) {
    const bool mirror = ctx_.job.mirrorJob;
    const double length = ctx_.header.partLength;
    const auto from = static_cast<float>(XForMirror(x1, mirror, length));
    const auto to = static_cast<float>(XForMirror(x2, mirror, length));
    if (!std::isfinite(from) || !std::isfinite(to) || !std::isfinite(y1) || !std::isfinite(y2)) {
        Warn("groove position out of range; the groove is left out");
        return;
    }
    const std::string layer = GrooveLayerName(params_.depth, std::to_string(params_.tool));
    ctx_.writer.AddLine(from, y1, 0, to, y2, 0, layer, kGrooveColour);
}

void GenesisEvTranslator::GrooveAlongX(Block& block) {
    EndRoutePath(ctx_.Routes(&block.line));
    ReadBlockParams(true);
    Groove(params_.ax, params_.ay, params_.bx, params_.ay);
}

void GenesisEvTranslator::GrooveAlongY(Block& block) {
    EndRoutePath(ctx_.Routes(&block.line));
    ReadBlockParams(true);
    Groove(params_.ax, params_.ay, params_.ax,
           static_cast<float>(params_.given.bx + params_.offsetY));
}

// ---- Routing ---------------------------------------------------------------------------------

void GenesisEvTranslator::ToolStart(Block& block) {
    ReadBlockParams(false);
    const BlockParams& p = params_;
    TranslationState& state = ctx_.state;
    state.feedDown = p.feedD;
    state.curX = p.x;
    state.curY = p.y;
    state.curZ = p.depth;
    state.toolName = "T" + std::to_string(p.tool);
    state.planeCode = FacePlane();
    const double speed = std::nearbyint(static_cast<double>(p.spindleS));
    state.spindleSpeed = speed > 2e9    ? 2000000000
                         : speed < -2e9 ? -2000000000
                                        : static_cast<int>(speed);

    EndRoutePath(ctx_.Routes(&block.line));
    state.routeLayer.clear();
    IncRSeq(state, ctx_.options.maintainRtSeq);

    // A mirrored part is cut with the compensation on the other side of the path.
    const bool mirror = ctx_.job.mirrorJob;
    if (p.compensation == 1 || p.compensation == 2) {
        state.pendingTag.text = (p.compensation == 1) != mirror ? "_L" : "_R";
        state.pendingTag.number = p.tagValue;
    } else if (p.compensation == 0) {
        state.pendingTag.text.clear();
    }

    const auto markX = static_cast<float>(XForMirror(state.curX, mirror, ctx_.header.partLength));
    if (!std::isfinite(markX) || !std::isfinite(state.curY) || !std::isfinite(state.curZ)) {
        Warn("tool start at a point that is not a finite number; its mark is left out");
        return;
    }
    ctx_.writer.AddCircle(markX, state.curY, state.curZ,
                          static_cast<float>(kStartMarkRadiusMm / ctx_.job.unitDivisor),
                          kNotationLayer, kStartMarkColour);
}

// The route layer reads the F word of the line the path starts on: the block's body.
void GenesisEvTranslator::PrepareRouteLine(Block& block) {
    block.line.Assign(body_, " ");
}

void GenesisEvTranslator::LineTo(Block& block) {
    ReadBlockParams(false);
    PrepareRouteLine(block);
    RouteLineTo(ctx_.Routes(&block.line), params_.x, params_.y);
}

void GenesisEvTranslator::LineByAngle(Block& block) {
    ReadBlockParams(false);
    PrepareRouteLine(block);
    const TranslationState& state = ctx_.state;
    RouteLineTo(ctx_.Routes(&block.line), state.curX + params_.radius * CosDeg(params_.angle),
                state.curY + params_.radius * SinDeg(params_.angle));
}

void GenesisEvTranslator::RouteArc(Block& block, double cx, double cy, double ex, double ey,
                                   bool clockwise) {
    PrepareRouteLine(block);
    RouteArcTo(ctx_.Routes(&block.line), cx, cy, ex, ey, clockwise);
}

void GenesisEvTranslator::StraightInsteadOfArc(Block& block, std::string_view why) {
    Warn(std::string(block.code) + " " + std::string(why) + "; drawn as a straight move");
    PrepareRouteLine(block);
    RouteLineTo(ctx_.Routes(&block.line), params_.x, params_.y);
}

void GenesisEvTranslator::ArcByCentreOffsets(Block& block) {
    ReadBlockParams(false);
    const BlockParams& p = params_;
    const TranslationState& state = ctx_.state;
    const double i = !p.cxGiven     ? (p.x - state.curX) / 2.0
                     : p.cxAbsolute ? p.centreX
                                    : p.given.centreX;
    const double j = !p.cyGiven     ? (p.y - state.curY) / 2.0
                     : p.cyAbsolute ? p.centreY
                                    : p.given.centreY;
    const double cx = p.cxAbsolute ? i : state.curX + i;
    const double cy = p.cyAbsolute ? j : state.curY + j;
    RouteArc(block, cx, cy, p.x, p.y, p.direction == 0);
}

void GenesisEvTranslator::ArcThroughPoint(Block& block) {
    ReadBlockParams(false);
    const BlockParams& p = params_;
    const TranslationState& state = ctx_.state;
    const double ax = state.curX, ay = state.curY;
    const double bx = p.x2, by = p.y2;
    const double cx = p.x, cy = p.y;
    const double s = (ax * ax + ay * ay - bx * bx - by * by) / 2;
    const double t = (bx * bx + by * by - cx * cx - cy * cy) / 2;
    const double d = (ax - bx) * (by - cy) - (bx - cx) * (ay - by);
    const double centreX = (s * (by - cy) - t * (ay - by)) / d;
    const double centreY = (t * (ax - bx) - s * (bx - cx)) / d;
    if (d == 0 || !std::isfinite(centreX) || !std::isfinite(centreY)) {
        StraightInsteadOfArc(block, "has its three points on one line");
        return;
    }
    const int direction = d < 0 ? ~p.direction : p.direction;
    RouteArc(block, centreX, centreY, cx, cy, direction != 0);
}

void GenesisEvTranslator::ArcByRadius(Block& block, bool longArc) {
    ReadBlockParams(false);
    const BlockParams& p = params_;
    const TranslationState& state = ctx_.state;
    double r = p.direction != 0 ? p.radius : -p.radius;
    if (longArc) r = -r;
    double cx = 0;
    double cy = 0;
    if (!ArcCentre(state.curX, state.curY, p.x, p.y, r, cx, cy)) {
        StraightInsteadOfArc(block, "has a radius shorter than half the distance to its end");
        return;
    }
    RouteArc(block, cx, cy, p.x, p.y, p.direction == 0);
}

void GenesisEvTranslator::ArcByRadiusShort(Block& block) {
    ArcByRadius(block, false);
}
void GenesisEvTranslator::ArcByRadiusLong(Block& block) {
    ArcByRadius(block, true);
}

void GenesisEvTranslator::ArcToAngle(Block& block) {
    ReadBlockParams(false);
    const BlockParams& p = params_;
    const TranslationState& state = ctx_.state;
    double cx = 0;
    double cy = 0;
    double radius = 0;
    if (p.cxAbsolute) {
        cx = p.centreX;
        cy = p.centreY;
        radius = std::hypot(state.curX - cx, state.curY - cy);
    } else {
        radius =
            std::hypot(static_cast<double>(p.given.centreX), static_cast<double>(p.given.centreY));
        cx = state.curX + static_cast<double>(p.given.centreX);
        cy = state.curY + static_cast<double>(p.given.centreY);
    }
    RouteArc(block, cx, cy, cx + radius * CosDeg(p.angle), cy + radius * SinDeg(p.angle),
             p.direction == 0);
}

}  // namespace retracer
