#pragma once

#include <string>
#include <string_view>

namespace retracer {

class IniFile;

// Layer names carry the machining data the nesting application reads back: operation, depth,
// tool, compensation, feeds and spindle speed. Every part below is appended without separators.

// How an integral value is written: route depths show 0 as "0", every other number leaves it out.
enum class ZeroForm { kShown, kBlank };

// The number form of layer names: integral values without decimals, others with at most three
// decimals (rounded half away from zero) and "P" for the point: 12.5 gives "12P5", 0.25 "0P25",
// -3.5 "-3P5". Values of any size are tested and written the same way (1000000 gives "1000000"),
// and a non-finite value is named as 0 would be. A single is rounded as the decimal it shows, so
// 2.0005f gives "2P001" like the 2.0005 typed in the program.
std::string LayerNumber(float v, ZeroForm zero = ZeroForm::kBlank);

// `text` and the number of v; empty when v is 0. Used with "_F", "_FD", "_FR" and "_Ex".
std::string LayerSuffix(std::string_view text, float v);

// "_Z" and the number of v; empty when v is 0.
std::string ThicknessSuffix(float v);

// "_S" and the spindle speed; speeds in whole thousands above 30 are written in thousands
// (18000 gives "_S18", 1500 "_S1500"). Empty for speed 0.
std::string SpindleSuffix(int speed);

// The layer roots of one installation, resolved once per job from the settings file's
// LayerNameRoot section; default-constructed they are the built-in words.
struct LayerRoots {
    std::string route = "ROUTE";
    std::string border = "BORDER";
    std::string hbore = "HBORE";
    std::string vbore = "VBORE";

    static LayerRoots FromSettings(const IniFile& ini);
};

// Layer of a drilled hole on the given root (VBORE or HBORE): depth, tool part, "_Ex" and the edge
// flag when it is not 0, and the drilling feed, e.g. "VBORE_Z12T21".
std::string DrillLayerName(std::string_view root, float depth, std::string_view toolPart,
                           int edgeFlag, float feed);

// Layer of the part outline: "BORDER_Z18", or the root alone for a thickness of 0.
std::string BorderLayerName(const LayerRoots& roots, float thickness);

// Layer of a groove: "GROOVE_Z", the depth in its general form with the point kept, then "T" and
// the tool number when the program names one ("GROOVE_Z8T12", "GROOVE_Z-6.5").
std::string GrooveLayerName(float depth, std::string_view toolNumber);

// Layer of the start marks of routing tools.
inline constexpr std::string_view kNotationLayer = "Retracer Notation";

}  // namespace retracer
