#include "drawing/layer_names.h"

#include <charconv>
#include <cmath>

#include "base/value_text.h"
#include "settings/options.h"

namespace retracer {
namespace {

// The double nearest to the shortest decimal that identifies the single, so that rounding to
// three decimals works on the number as the program wrote it rather than on its binary
// neighbour (2.0005f is 2.00049996...).
double AsWrittenDecimal(float v) {
    char buf[32];
    const auto written = std::to_chars(buf, buf + sizeof buf, v);
    double out = v;
    std::from_chars(buf, written.ptr, out);
    return out;
}

}  // namespace

std::string LayerNumber(float v, ZeroForm zero) {
    if (!std::isfinite(v)) v = 0;
    // nearbyint rounds ties to even and works on any magnitude, so large values are tested and
    // named like small ones instead of failing a 16-bit conversion.
    if (std::nearbyint(v) == v) {
        return FormatPattern(static_cast<double>(v), zero == ZeroForm::kShown ? "###0" : "####");
    }
    std::string text = FormatPattern(AsWrittenDecimal(v), "###0.###");
    for (char& c : text) {
        if (c == '.') c = 'P';
    }
    return text;
}

std::string LayerSuffix(std::string_view text, float v) {
    if (v == 0) return {};
    std::string out(text);
    out += LayerNumber(v);
    return out;
}

std::string ThicknessSuffix(float v) {
    return LayerSuffix("_Z", v);
}

std::string SpindleSuffix(int speed) {
    if (speed == 0) return {};
    if (speed > 30 && speed % 1000 == 0) speed /= 1000;
    return "_S" + std::to_string(speed);
}

LayerRoots LayerRoots::FromSettings(const IniFile& ini) {
    LayerRoots roots;
    roots.route = RootName(ini, "ROUTE");
    roots.border = RootName(ini, "BORDER");
    roots.hbore = RootName(ini, "HBORE");
    roots.vbore = RootName(ini, "VBORE");
    return roots;
}

std::string DrillLayerName(std::string_view root, float depth, std::string_view toolPart,
                           int edgeFlag, float feed) {
    std::string name(root);
    name += ThicknessSuffix(depth);
    name += toolPart;
    if (edgeFlag != 0) name += "_Ex" + std::to_string(edgeFlag);
    name += LayerSuffix("_F", feed);
    return name;
}

std::string BorderLayerName(const LayerRoots& roots, float thickness) {
    return roots.border + ThicknessSuffix(thickness);
}

std::string GrooveLayerName(float depth, std::string_view toolNumber) {
    std::string name = "GROOVE_Z" + GeneralText(depth);
    if (!toolNumber.empty()) {
        name += 'T';
        name += toolNumber;
    }
    return name;
}

}  // namespace retracer
