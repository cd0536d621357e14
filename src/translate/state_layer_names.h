#pragma once

#include <string>
#include <string_view>

#include "drawing/layer_names.h"
#include "translate/translation_state.h"

namespace retracer {

// The parts of layer names that come from the translation state: depth, compensation tag,
// tool and feeds of the current route, and the drill tools of a hole.

// "_Z" and the number of the current depth, "_Z0" included; empty when depth goes into the
// vertices instead.
std::string DepthSuffix(const TranslationState& state, bool depthInVertices);

// The pending compensation tag with its number ("_L", 3 gives "_L3"; number 0 adds no digits),
// then cleared, so it goes into exactly one layer.
std::string TakePendingTag(PendingTag& tag);

// Layer of a route path: root, route sequence, depth, tool, pending tag (consumed), edge code,
// feed rate, feed down, the F word of the current line and the spindle speed, e.g.
// "ROUTE_Z18T3_L_FD2000_S18".
std::string RouteLayerName(TranslationState& state, const LayerRoots& roots, bool depthInVertices,
                           float lineFeed);

// The drill tools as a layer part: "T" and the value of every two-character group of the tool
// text ("0512" gives "T5T12", "21" gives "T21"). Empty when tools are shown as diameters, when
// the text is shorter than two characters, or when its value is not above 0.
std::string DrillToolPart(std::string_view toolText, bool toolNumberToDiameter);

}  // namespace retracer
