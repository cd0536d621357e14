// The G codes of Genesis programs that draw: holes, hole circles and rows, route starts, straight
// and circular route moves, and grooves.
#include <algorithm>
#include <cmath>

#include "base/value_text.h"
#include "drawing/geometry.h"
#include "drawing/layer_names.h"
#include "translate/drill_hole.h"
#include "translate/genesis_iso.h"
#include "translate/line_fields.h"
#include "translate/route_path.h"

namespace retracer {
namespace {

constexpr int kGrooveColour = 3;

// A centre this far out is a numerical accident of three points nearly on one line; no panel
// is that large.
constexpr double kFarthestCentre = 1e7;

// An integer word (plane, spindle speed, hole count), rounded to the nearest whole number.
int IntValue(double v) {
    const double rounded = std::nearbyint(v);
    if (!(rounded > -2e9)) return rounded < 0 ? -2000000000 : 0;
    return rounded > 2e9 ? 2000000000 : static_cast<int>(rounded);
}

}  // namespace

void GenesisIsoTranslator::EndPath(FieldSplitter& line) {
    EndRoutePath(ctx_.Routes(&line));
}

void GenesisIsoTranslator::ReadMoveDepth(FieldSplitter& line) {
    if (HasLetter('Z')) ctx_.state.moveZ = RoundDecimals(Word(line, 'Z'), 3);
}

void GenesisIsoTranslator::Hole(const HoleWords& words, double x, double y) {
    if (!std::isfinite(static_cast<float>(x)) || !std::isfinite(static_cast<float>(y))) {
        Warn("hole position out of range; the hole is left out");
        return;
    }
    HoleRequest hole;
    hole.x = static_cast<float>(x);
    hole.y = static_cast<float>(y);
    hole.depth = words.depth;
    hole.diameter = words.diameter;
    hole.planeCode = words.plane;
    hole.edgeFlag = edge_;
    hole.feed = feed_;
    hole.tool = words.tool;
    ++ctx_.job.holesRequested;
    DrillHole(ctx_.Holes(), hole);
}

// ---- Drilling --------------------------------------------------------------------------------

void GenesisIsoTranslator::SingleHole(FieldSplitter& line) {
    EndPath(line);
    HoleWords words;
    words.diameter = static_cast<float>(Word(line, kR54Mark));
    double x = GetAwkValX(text_, ctx_.state);
    double y = GetAwkValY(text_, ctx_.state);
    words.depth = static_cast<float>(Word(line, 'Z'));
    words.plane = IntValue(Word(line, 'P'));
    words.tool = GetDrTool(line);
    const double a = Word(line, 'A');
    const double u = Word(line, 'U');
    if (u != 0) {  // a polar offset from the given point
        x += u * CosDeg(a);
        y += u * SinDeg(a);
    }
    Hole(words, x, y);
}

void GenesisIsoTranslator::CircleHoles(FieldSplitter& line) {
    EndPath(line);
    HoleWords words;
    words.diameter = static_cast<float>(Word(line, kR54Mark));
    const double x = GetAwkValX(text_, ctx_.state);
    const double y = GetAwkValY(text_, ctx_.state);
    words.depth = static_cast<float>(Word(line, 'Z'));
    words.plane = IntValue(Word(line, 'P'));
    words.tool = GetDrTool(line);
    const double a = Word(line, 'A');
    const double u = Word(line, 'U');
    int n = IntValue(Word(line, kR51Mark));
    double step = Word(line, kR52Mark);
    if (step == 0 && n > 0) step = 360.0 / n;
    if (n == 0) n = 1;
    if (n > kMaxHolesPerLine) {
        Warn("hole circle of " + std::to_string(n) + " holes cut to " +
             std::to_string(kMaxHolesPerLine));
        n = kMaxHolesPerLine;
    }
    for (int k = 0; k < n; ++k) {
        if (!ctx_.NextPatternHole(file_, lineNumber_)) return;
        const double angle = a + k * step;
        Hole(words, x + u * CosDeg(angle), y + u * SinDeg(angle));
    }
}

// The words every hole row reads, in their order. False when the pitch draws nothing.
bool GenesisIsoTranslator::ReadRow(FieldSplitter& line, Row& row) {
    EndPath(line);
    row.x1 = GetAwkValX(text_, ctx_.state);
    row.y1 = GetAwkValY(text_, ctx_.state);
    row.words.depth = static_cast<float>(Word(line, 'Z'));
    row.words.diameter = static_cast<float>(Word(line, kR54Mark));
    row.words.plane = IntValue(Word(line, 'P'));
    if (row.words.plane == 0) row.words.plane = 5;
    row.x2 = GetAwkValI(text_, ctx_.state);
    row.y2 = GetAwkValJ(text_, ctx_.state);
    row.pitch = static_cast<float>(Word(line, 'K'));
    row.words.tool = GetDrTool(line);
    return row.pitch > 0;
}

// Holes from (x0, y0) along the direction (dx, dy) at every multiple of the pitch up to `length`.
void GenesisIsoTranslator::DrillRow(const Row& row, double x0, double y0, double dx, double dy,
                                    double length) {
    for (int k = 0;; ++k) {
        const double t = k * static_cast<double>(row.pitch);
        if (!(t <= length)) break;
        if (k == kMaxHolesPerLine) {
            Warn("more than " + std::to_string(kMaxHolesPerLine) + " holes in one row (pitch " +
                 GeneralText(row.pitch) + "); the rest of the row is left out");
            break;
        }
        if (!ctx_.NextPatternHole(file_, lineNumber_)) break;
        Hole(row.words, x0 + t * dx, y0 + t * dy);
    }
}

void GenesisIsoTranslator::RowAlongX(FieldSplitter& line) {
    Row row;
    if (!ReadRow(line, row)) return;
    const double from = std::min(row.x1, row.x2);
    const double to = std::max(row.x1, row.x2) + 0.1;
    DrillRow(row, from, row.y1, 1, 0, to - from);
}

// Always drilled from the higher Y to the lower.
void GenesisIsoTranslator::RowAlongY(FieldSplitter& line) {
    Row row;
    if (!ReadRow(line, row)) return;
    const double from = std::max(row.y1, row.y2);
    const double to = std::min(row.y1, row.y2) - 0.1;
    DrillRow(row, row.x1, from, 0, -1, from - to);
}

void GenesisIsoTranslator::RowAlongLine(FieldSplitter& line) {
    Row row;
    if (!ReadRow(line, row)) return;
    const double angle = DirectionAngle(row.x1, row.y1, row.x2, row.y2);
    const double length =
        std::hypot(static_cast<double>(row.x2) - row.x1, static_cast<double>(row.y2) - row.y1) +
        0.1;
    DrillRow(row, row.x1, row.y1, CosDeg(angle), SinDeg(angle), length);
}

// ---- Grooves ---------------------------------------------------------------------------------

void GenesisIsoTranslator::Groove(FieldSplitter& line, bool alongX) {
    EndPath(line);
    const double x = GetAwkValX(text_, ctx_.state);
    const float y = GetAwkValY(text_, ctx_.state);
    const auto z = static_cast<float>(Word(line, 'Z'));
    const double q = alongX ? GetAwkValQx(text_, ctx_.state) : GetAwkValQy(text_, ctx_.state);
    const bool mirror = ctx_.job.mirrorJob;
    const double length = ctx_.header.partLength;
    const auto x1 = static_cast<float>(XForMirror(x, mirror, length));
    const auto x2 = alongX ? static_cast<float>(XForMirror(q, mirror, length)) : x1;
    const float y2 = alongX ? y : static_cast<float>(q);
    if (!std::isfinite(x1) || !std::isfinite(x2) || !std::isfinite(y) || !std::isfinite(y2)) {
        Warn("groove position out of range; the groove is left out");
        return;
    }
    ctx_.writer.AddLine(x1, y, 0, x2, y2, 0, GrooveLayerName(z, ""), kGrooveColour);
}

void GenesisIsoTranslator::GrooveAlongX(FieldSplitter& line) {
    Groove(line, true);
}
void GenesisIsoTranslator::GrooveAlongY(FieldSplitter& line) {
    Groove(line, false);
}

// ---- Routing ---------------------------------------------------------------------------------

void GenesisIsoTranslator::RouteStart(FieldSplitter& line) {
    TranslationState& state = ctx_.state;
    state.feedDown = static_cast<float>(Word(line, 'F'));
    state.feedRate = static_cast<float>(Word(line, 'B'));
    state.curX = GetAwkValX(text_, ctx_.state);
    state.curY = GetAwkValY(text_, ctx_.state);
    state.curZ = static_cast<float>(Word(line, 'Z'));
    state.moveZ = state.curZ;
    state.toolName = GetTool(line);
    state.planeCode = IntValue(Word(line, 'P'));
    state.spindleSpeed = IntValue(Word(line, 'S'));
    state.edgeCode = edge_;

    EndPath(line);
    state.routeLayer.clear();
    if (!state.pendingTag.text.empty()) {
        state.pendingTag.number = static_cast<float>(Word(line, 'R'));
    }
    IncRSeq(state, ctx_.options.maintainRtSeq);
}

void GenesisIsoTranslator::LineTo(FieldSplitter& line) {
    ReadMoveDepth(line);
    const double x = GetAwkValX(text_, ctx_.state);
    const double y = GetAwkValY(text_, ctx_.state);
    RouteLineTo(ctx_.Routes(&line), x, y);
}

void GenesisIsoTranslator::PolarLineTo(FieldSplitter& line) {
    const TranslationState& state = ctx_.state;
    const double a = Word(line, 'A');
    const double u = Word(line, 'U');
    const double x = state.curX + u * CosDeg(a);
    const double y = state.curY + u * SinDeg(a);
    ReadMoveDepth(line);
    RouteLineTo(ctx_.Routes(&line), x, y);
}

void GenesisIsoTranslator::StraightInsteadOfArc(FieldSplitter& line, double ex, double ey,
                                                std::string_view why) {
    Warn("arc " + std::string(why) + "; drawn as a straight move");
    RouteLineTo(ctx_.Routes(&line), ex, ey);
}

void GenesisIsoTranslator::Arc(FieldSplitter& line) {
    const TranslationState& state = ctx_.state;
    const double a = Word(line, 'A');
    const bool byAngle = HasLetter('A');
    double cx = 0, cy = 0, ex = 0, ey = 0;
    bool degenerate = false;
    std::string_view why;
    if (byAngle) {
        // X and Y give the centre; the arc keeps its radius and ends at angle A.
        cx = GetAwkValX(text_, ctx_.state);
        cy = GetAwkValY(text_, ctx_.state);
        const double r = std::hypot(state.curX - cx, state.curY - cy);
        ex = cx + r * CosDeg(a);
        ey = cy + r * SinDeg(a);
        degenerate = r == 0;
        why = "has a radius of 0";
    } else {
        ex = GetAwkValX(text_, ctx_.state);
        ey = GetAwkValY(text_, ctx_.state);
        const double u = Word(line, 'U');
        if (u != 0) {
            const double r = clockwise_ ? -u : u;
            degenerate = !ArcCentre(state.curX, state.curY, ex, ey, r, cx, cy);
            why = "has a radius shorter than half the distance to its end";
        } else {
            // Centre relative to the current position, J counted downwards.
            cx = state.curX + Word(line, 'I');
            cy = state.curY - Word(line, 'J');
            degenerate = cx == state.curX && cy == state.curY;
            why = "has a radius of 0";
        }
    }
    ReadMoveDepth(line);
    if (degenerate) {
        StraightInsteadOfArc(line, ex, ey, why);
        return;
    }
    RouteArcTo(ctx_.Routes(&line), cx, cy, ex, ey, clockwise_);
}

// The arc from the current position through (I, J) to (X, Y); its centre is the circumcentre of
// the three points.
void GenesisIsoTranslator::ArcThroughPoint(FieldSplitter& line) {
    const TranslationState& state = ctx_.state;
    const double x1 = state.curX, y1 = state.curY;
    const double x2 = GetAwkValI(text_, ctx_.state), y2 = GetAwkValJ(text_, ctx_.state);
    const double x3 = GetAwkValX(text_, ctx_.state), y3 = GetAwkValY(text_, ctx_.state);
    const double a = (x1 * x1 + y1 * y1 - x2 * x2 - y2 * y2) / 2;
    const double b = (x2 * x2 + y2 * y2 - x3 * x3 - y3 * y3) / 2;
    const double d = (x1 - x2) * (y2 - y3) - (x2 - x3) * (y1 - y2);
    const double cx = (a * (y2 - y3) - b * (y1 - y2)) / d;
    const double cy = (b * (x1 - x2) - a * (x2 - x3)) / d;
    if (d == 0 || !(std::abs(cx) < kFarthestCentre && std::abs(cy) < kFarthestCentre)) {
        StraightInsteadOfArc(line, x3, y3, "has its three points on one line");
        return;
    }
    RouteArcTo(ctx_.Routes(&line), cx, cy, x3, y3, clockwise_);
}

}  // namespace retracer
