#include "translate/drill_hole.h"

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <initializer_list>
#include <tuple>
#include <utility>
#include <vector>

#include "base/value_text.h"
#include "drawing/geometry.h"

namespace retracer {
namespace {

// The default drill of a face hole that states no size, in millimetres.
constexpr double kDefaultDiameterMm = 5;

// Layer of the further spindles when tools are shown by number: kept apart from the hole's own
// layer so that the nesting application does not drill them a second time.
constexpr std::string_view kGangLayer = "00";

struct Shape {
    int code = 0;  // 1 … 5 or -5
    double x = 0;
    double y = 0;
    double diameter = 0;
};

void Report(const HoleOutput& out, std::string message) {
    if (out.job) out.job->WarnAtLine(std::move(message));
}

void Line(const HoleOutput& out, std::string_view layer, double x1, double y1, double x2,
          double y2) {
    out.writer.AddLine(static_cast<float>(x1), static_cast<float>(y1), 0, static_cast<float>(x2),
                       static_cast<float>(y2), 0, layer, kHoleColour);
}

double Mirrored(const HoleOutput& out, double x) {
    return XForMirror(x, out.mirrorJob, out.partLength);
}

// False, with a diagnostic, when a value of the shape is not a finite number as the drawing
// holds it (a single).
bool Drawable(const HoleOutput& out, std::initializer_list<double> values) {
    for (double v : values) {
        if (!std::isfinite(static_cast<float>(v))) {
            Report(out, "Hole with a size or position that is not a finite number is left out");
            return false;
        }
    }
    return true;
}

// Face holes are circles; edge holes are the bore seen from above, open towards its edge.
void DrawShape(const HoleOutput& out, const Shape& s, std::string_view layer) {
    if (std::isfinite(s.diameter) && s.diameter < 0) {
        Report(out, "Hole with a negative diameter (" +
                        GeneralText(static_cast<float>(s.diameter)) +
                        ") is left out: a negative diameter is an error in the program");
        return;
    }
    const double half = s.diameter / 2;
    switch (s.code) {
        case 5:
        case -5: {
            const double x = Mirrored(out, s.x);
            if (!Drawable(out, {x, s.y, half})) return;
            out.writer.AddCircle(static_cast<float>(x), static_cast<float>(s.y), 0,
                                 static_cast<float>(half), layer, kHoleColour);
            return;
        }
        case 1:
        case 2: {
            const double w = out.state.vars.Letter(ProgramVariables::kWidth);
            // The depth is measured from the nearer edge along X.
            const double depth = s.y > w / 2 ? w - s.y : s.y;
            const double a = Mirrored(out, s.x - half);
            const double b = Mirrored(out, s.x + half);
            const double edge = s.code == 1 ? w : 0;
            const double bottom = s.code == 1 ? w - depth : depth;
            if (!Drawable(out, {a, b, edge, bottom})) return;
            Line(out, layer, a, edge, a, bottom);
            Line(out, layer, a, bottom, b, bottom);
            Line(out, layer, b, bottom, b, edge);
            return;
        }
        case 3:
        case 4: {
            // A mirrored job swaps the two edges along Y, so its X is not mirrored again.
            const double c = s.y - half;
            const double e = s.y + half;
            if ((s.code == 3) != out.mirrorJob) {
                if (!Drawable(out, {c, e, s.x})) return;
                Line(out, layer, 0, c, s.x, c);
                Line(out, layer, s.x, c, s.x, e);
                Line(out, layer, 0, e, s.x, e);
            } else {
                const double l = out.state.vars.Letter(ProgramVariables::kLength);
                if (!Drawable(out, {c, e, l, l - s.x})) return;
                Line(out, layer, l, c, l - s.x, c);
                Line(out, layer, l - s.x, c, l - s.x, e);
                Line(out, layer, l - s.x, e, l, e);
            }
            return;
        }
        default:
            return;
    }
}

const std::string& MemoDrillLayerName(TranslationState::DrillLayerMemo& memo, std::string_view root,
                                      float depth, std::string_view toolText, bool toolPart,
                                      int edgeFlag, float feed) {
    constexpr std::size_t kRemembered = 16;
    const auto depthBits = std::bit_cast<std::uint32_t>(depth);
    const auto feedBits = std::bit_cast<std::uint32_t>(feed);
    for (const auto& e : memo.entries) {
        if (e.depthBits == depthBits && e.feedBits == feedBits && e.edgeFlag == edgeFlag &&
            e.toolPart == toolPart && e.root == root && e.toolText == toolText)
            return e.layer;
    }
    const std::string part = toolPart ? DrillToolPart(toolText, false) : std::string();
    TranslationState::DrillLayerMemo::Entry entry{
        std::string(root),
        depthBits,
        std::string(toolText),
        toolPart,
        edgeFlag,
        feedBits,
        DrillLayerName(root, depth, part, edgeFlag, feed)};
    if (memo.entries.size() < kRemembered) {
        memo.entries.push_back(std::move(entry));
        return memo.entries.back().layer;
    }
    auto& slot = memo.entries[memo.next];
    memo.next = (memo.next + 1) % kRemembered;
    slot = std::move(entry);
    return slot.layer;
}

// The drill numbers a tool text names (none when it names no tool), remembered for the next
// hole, which mostly has the same tool.
const std::vector<int>& MemoToolNumbers(TranslationState::DrillLayerMemo& memo,
                                        std::string_view toolText) {
    if (!memo.toolNumbersValid || memo.toolText != toolText) {
        memo.toolText.assign(toolText);
        memo.toolNumbers =
            NamesDrillTools(toolText) ? DrillToolNumbers(toolText) : std::vector<int>{};
        memo.toolNumbersValid = true;
    }
    return memo.toolNumbers;
}

}  // namespace

float DrillHole(const HoleOutput& out, const HoleRequest& hole) {
    const double divisor = out.unitDivisor;
    const std::vector<int>& toolNumbers = MemoToolNumbers(out.state.drillLayerMemo, hole.tool);
    const DrillTool* reference = toolNumbers.empty() ? nullptr : out.tools.Find(toolNumbers[0]);

    float diameter = hole.diameter;
    if (reference) diameter = static_cast<float>(reference->dia / divisor);

    const bool byNumber = !out.options.toolNumberToDiameter;

    // Side faces arrive with the depth and a position exchanged; bring them to the edge codes.
    float x = hole.x;
    float y = hole.y;
    float depth = hole.depth;
    int code = hole.planeCode;
    if (code == -4 || code == -3) {
        std::tie(x, y, depth) = std::tuple(depth, x, y);
        code = -code;
    } else if (code == -2 || code == -1) {
        std::tie(y, depth) = std::pair(depth, y);
        code = -code;
    }

    std::string_view root;
    if (code >= 1 && code <= 4) {
        root = out.roots.hbore;
    } else if (code == 5 || code == -5) {
        root = out.roots.vbore;
    } else {
        return diameter;
    }
    const std::string& layer =
        MemoDrillLayerName(out.state.drillLayerMemo, root, depth, hole.tool,
                           reference != nullptr && byNumber, hole.edgeFlag, hole.feed);

    if (std::abs(code) == 5 && diameter == 0) {
        diameter = static_cast<float>(kDefaultDiameterMm / divisor);
    }
    DrawShape(out, Shape{code, x, y, diameter}, layer);

    if (!reference || toolNumbers.size() < 2) return diameter;
    const std::string_view gangLayer = byNumber ? kGangLayer : std::string_view(layer);
    for (std::size_t i = 1; i < toolNumbers.size(); ++i) {
        const DrillTool* spindle = out.tools.Find(toolNumbers[i]);
        if (!spindle) continue;
        const double dx = (spindle->x - reference->x) / divisor;
        const double dy = (spindle->y - reference->y) / divisor;
        Shape shape{code, x, y, spindle->dia / divisor};
        // On an edge one coordinate is the depth into the part; only the other one shifts.
        if (code != 3 && code != 4) shape.x += dx;
        if (code != 1 && code != 2) shape.y += dy;
        DrawShape(out, shape, gangLayer);
    }
    return diameter;
}

}  // namespace retracer
