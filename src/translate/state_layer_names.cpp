#include "translate/state_layer_names.h"

#include "translate/tool_table.h"

namespace retracer {

std::string DepthSuffix(const TranslationState& state, bool depthInVertices) {
    if (depthInVertices) return {};
    return "_Z" + LayerNumber(state.curZ, ZeroForm::kShown);
}

std::string TakePendingTag(PendingTag& tag) {
    if (tag.text.empty()) return {};
    std::string out = tag.text + LayerNumber(tag.number);
    tag.text.clear();
    tag.number = 0;
    return out;
}

std::string RouteLayerName(TranslationState& state, const LayerRoots& roots, bool depthInVertices,
                           float lineFeed) {
    std::string name = roots.route;
    name += state.routeSeq;
    name += DepthSuffix(state, depthInVertices);
    name += state.toolName;
    name += TakePendingTag(state.pendingTag);
    name += LayerSuffix("_Ex", static_cast<float>(state.edgeCode));
    name += LayerSuffix("_FR", state.feedRate);
    name += LayerSuffix("_FD", state.feedDown);
    name += LayerSuffix("_F", lineFeed);
    name += SpindleSuffix(state.spindleSpeed);
    return name;
}

std::string DrillToolPart(std::string_view toolText, bool toolNumberToDiameter) {
    if (toolNumberToDiameter || !NamesDrillTools(toolText)) return {};
    std::string part;
    for (int tool : DrillToolNumbers(toolText)) {
        part += 'T';
        part += std::to_string(tool);
    }
    return part;
}

}  // namespace retracer
