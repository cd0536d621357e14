// The parameter reader shared by every Genesis Ev macro block, and the subprogram call block,
// which reads the same body into a call record instead.
#include <algorithm>
#include <cmath>
#include <limits>

#include "base/value_text.h"
#include "translate/genesis_ev.h"
#include "translate/line_fields.h"

namespace retracer {
namespace {

// The parameter that names a subprogram file in a call, and an external macro file in any
// other block.
constexpr int kExternalMacroParameter = 8098;

// One parameter as its field setter sees it.
struct ParamInput {
    BlockParams& p;
    TranslationState& state;
    double offX, offY, offZ;  // of the subprogram call being scanned
    float v;                  // the evaluated value, a single
    bool absolute;            // #31/#32 written "a…": an absolute centre
    bool groove;              // the block is a groove: #8516 names the tool
    bool overflow = false;    // a rounding left the 16-bit range
};

// Halves go to the even neighbour, as the programs' integer parameters always did; the range is
// that of a 16-bit integer, and a value beyond it is clamped and reported.
int RoundParam(ParamInput& in, double v) {
    const double r = std::nearbyint(v);
    if (!(r >= -32768 && r <= 32767)) {
        in.overflow = true;
        return r < 0 ? -32768 : 32767;
    }
    return static_cast<int>(r);
}

float Off(double v, double offset) {
    return static_cast<float>(v + offset);
}

using Setter = void (*)(ParamInput&);
struct ParamField {
    int number;
    Setter set;
};

// Parameter numbers and the fields they fill, sorted by number.
constexpr ParamField kParamFields[] = {
    {1,
     [](ParamInput& in) {
         in.p.x = Off(in.v, in.offX);
         in.p.xGiven = true;
     }},
    {2,
     [](ParamInput& in) {
         in.p.y = Off(in.v, in.offY);
         in.p.yGiven = true;
     }},
    {3,
     [](ParamInput& in) {
         in.p.depth = static_cast<float>(in.offZ - in.v);
         in.p.zGiven = true;
         in.state.moveZ = in.p.depth;
     }},
    {31,
     [](ParamInput& in) {
         in.p.centreX = Off(in.v, in.offX);
         in.p.given.centreX = static_cast<float>(in.v);
         in.p.cxGiven = true;
         in.p.cxAbsolute = in.absolute;
     }},
    {32,
     [](ParamInput& in) {
         in.p.centreY = Off(in.v, in.offY);
         in.p.given.centreY = static_cast<float>(in.v);
         in.p.cyGiven = true;
         in.p.cyAbsolute = in.absolute;
     }},
    {34, [](ParamInput& in) { in.p.direction = RoundParam(in, in.v); }},
    {36, [](ParamInput& in) { in.p.tagValue = in.v; }},
    {40, [](ParamInput& in) { in.p.compensation = RoundParam(in, in.v); }},
    {205, [](ParamInput& in) { in.p.tool = RoundParam(in, in.v); }},
    {1002, [](ParamInput& in) { in.p.diameter = in.v; }},
    {2002, [](ParamInput& in) { in.p.spindleS = in.v; }},
    {2005, [](ParamInput& in) { in.p.feedD = in.v; }},
    {2008, [](ParamInput& in) { in.p.feed3 = in.v; }},
    {8015, [](ParamInput& in) { in.p.incremental = in.v != 0; }},
    {8017, [](ParamInput& in) { in.p.radius = in.v; }},
    {8020, [](ParamInput& in) { in.p.x2 = Off(in.v, in.offX); }},
    {8021, [](ParamInput& in) { in.p.y2 = Off(in.v, in.offY); }},
    {8022,
     [](ParamInput& in) {
         in.p.z2 = Off(in.v, in.offZ);
         in.p.z2Given = true;
     }},
    {8044, [](ParamInput& in) { in.p.angle = in.v; }},
    {8060, [](ParamInput& in) { in.p.operators[0] = RoundParam(in, in.v + 2.0); }},
    {8061, [](ParamInput& in) { in.p.operators[1] = RoundParam(in, in.v + 2.0); }},
    {8062, [](ParamInput& in) { in.p.operators[2] = RoundParam(in, in.v + 2.0); }},
    {8065, [](ParamInput& in) { in.p.joiners[0] = RoundParam(in, in.v); }},
    {8066, [](ParamInput& in) { in.p.joiners[1] = RoundParam(in, in.v); }},
    {8070, [](ParamInput& in) { in.p.operands[0] = GeneralText(in.v); }},
    {8071, [](ParamInput& in) { in.p.operands[2] = GeneralText(in.v); }},
    {8072, [](ParamInput& in) { in.p.operands[4] = GeneralText(in.v); }},
    {8073, [](ParamInput& in) { in.p.operands[1] = GeneralText(in.v); }},
    {8074, [](ParamInput& in) { in.p.operands[3] = GeneralText(in.v); }},
    {8075, [](ParamInput& in) { in.p.operands[5] = GeneralText(in.v); }},
    {8500, [](ParamInput& in) { in.p.tool = RoundParam(in, in.v); }},
    {8509, [](ParamInput& in) { in.p.count = RoundParam(in, in.v); }},
    {8510,
     [](ParamInput& in) {
         in.p.ax = Off(in.v, in.offX);
         in.p.given.ax = static_cast<float>(in.v);
     }},
    {8511,
     [](ParamInput& in) {
         in.p.ay = Off(in.v, in.offY);
         in.p.given.ay = static_cast<float>(in.v);
     }},
    {8512,
     [](ParamInput& in) {
         in.p.depth = std::fabs(in.v);
         in.state.moveZ = in.p.depth;
     }},
    {8513, [](ParamInput& in) { in.p.diameter = in.p.step = in.v; }},
    {8514, [](ParamInput& in) { in.p.depth = in.v; }},
    {8516,
     [](ParamInput& in) {
         if (in.groove) {
             in.p.tool = RoundParam(in, in.v);
         } else {
             in.p.diameter = in.v;
         }
     }},
    {8517,
     [](ParamInput& in) {
         in.p.bx = Off(in.v, in.offX);
         in.p.given.bx = static_cast<float>(in.v);
     }},
    {8518,
     [](ParamInput& in) {
         in.p.bx = Off(in.v, in.offX);
         in.p.given.bx = static_cast<float>(in.v);
     }},
    {8519, [](ParamInput& in) { in.p.by = Off(in.v, in.offY); }},
    {8520, [](ParamInput& in) { in.p.pitch = in.v; }},
    {8526, [](ParamInput& in) { in.p.angle = in.v; }},
    {8527, [](ParamInput& in) { in.p.length = in.v; }},
    {8528, [](ParamInput& in) { in.p.byAngle = in.v != 0; }},
};

constexpr bool SortedByNumber() {
    for (std::size_t i = 1; i < std::size(kParamFields); ++i) {
        if (kParamFields[i - 1].number >= kParamFields[i].number) return false;
    }
    return true;
}
static_assert(SortedByNumber(), "the parameter table is searched by halving");

const ParamField* FindParamField(int number) {
    const auto* end = std::end(kParamFields);
    const auto* it = std::lower_bound(std::begin(kParamFields), end, number,
                                      [](const ParamField& f, int n) { return f.number < n; });
    return it != end && it->number == number ? it : nullptr;
}

// Calls visit(number, value, rest) for each blank-separated field of the body that holds "=":
// the number before the first "=" (only whole numbers count), the text up to the next "=", and
// everything after the first "=".
template <typename F>
void ForEachParameter(std::string_view body, F&& visit) {
    std::size_t pos = 0;
    while (pos <= body.size()) {
        std::size_t end = body.find(' ', pos);
        if (end == std::string_view::npos) end = body.size();
        const std::string_view field = body.substr(pos, end - pos);
        pos = end + 1;
        const std::size_t eq = field.find('=');
        if (eq == std::string_view::npos) continue;
        const double number = NumericValue(field.substr(0, eq));
        if (number != std::trunc(number) || std::fabs(number) > 1e9) continue;
        const std::string_view rest = field.substr(eq + 1);
        visit(static_cast<int>(number), rest.substr(0, rest.find('=')), rest);
    }
}

}  // namespace

// The text between the first brace and the next one (either kind), or to the line end.
std::string_view GenesisEvTranslator::BlockBody() const {
    const std::string_view text = text_;
    auto brace = [&](std::size_t from) {
        while (from < text.size() && text[from] != '{' && text[from] != '}') ++from;
        return from;
    };
    const std::size_t open = brace(0);
    if (open == text.size()) return {};
    return text.substr(open + 1, brace(open + 1) - open - 1);
}

float GenesisEvTranslator::SingleParam(double v, int number) {
    const auto f = static_cast<float>(v);
    if (std::isfinite(f)) return f;
    Warn("parameter #" + std::to_string(number) + " is too large for a drawing; 0 is used");
    return 0;
}

void GenesisEvTranslator::ReadBlockParams(bool groove) {
    comment_ = GetComment(text_);
    params_ = BlockParams{};
    body_.assign(BlockBody());
    std::replace(body_.begin(), body_.end(), '#', ' ');

    const SubprogramCall* call = ctx_.job.CurrentCall();
    params_.offsetX = call ? call->offsetX : 0.0;
    params_.offsetY = call ? call->offsetY : 0.0;
    TranslationState& state = ctx_.state;
    ForEachParameter(body_, [&](int number, std::string_view value, std::string_view rest) {
        if (number == kExternalMacroParameter) {
            // Today's editors hand such a block's work to a macro file of their own, which fills
            // other parameter numbers than the block's own form reads: the drawing may be wrong.
            Warn("Macro block names an external macro file \"" + std::string(value) +
                 "\"; its parameters are read in the block's own form");
            return;
        }
        const ParamField* field = FindParamField(number);
        if (field == nullptr) return;
        bool absolute = false;
        if ((number == 31 || number == 32) && !rest.empty() && rest.front() == 'a') {
            absolute = true;
            value = rest.size() > 2 ? rest.substr(2) : std::string_view();
        }
        ParamInput in{params_,
                      state,
                      call ? call->offsetX : 0.0,
                      call ? call->offsetY : 0.0,
                      call ? call->offsetZ : 0.0,
                      SingleParam(EvalExpression(value, state.Eval()), number),
                      absolute,
                      groove};
        field->set(in);
        if (in.overflow) {
            Warn("parameter #" + std::to_string(number) +
                 " is beyond the range of whole numbers it may take; the nearest is used");
        }
    });

    if (params_.incremental) {
        params_.x += lastGiven_[0];
        params_.y += lastGiven_[1];
        params_.depth += lastGiven_[2];
    }
    if (params_.xGiven) lastGiven_[0] = params_.x;
    if (params_.yGiven) lastGiven_[1] = params_.y;
    if (params_.zGiven) lastGiven_[2] = params_.depth;
}

void GenesisEvTranslator::SubprogramCallBlock(Block&) {
    // Calls beyond the job's bound are never scanned; one more than the bound is kept so that
    // the job driver sees that the list was cut.
    if (ctx_.job.calls.size() > static_cast<std::size_t>(kMaxSubprogramCalls)) {
        if (!warnedTooManyCalls_) {
            Warn("more than " + std::to_string(kMaxSubprogramCalls) +
                 " subprogram calls; further calls are not recorded");
            warnedTooManyCalls_ = true;
        }
        return;
    }
    SubprogramCall call;
    call.parentCall = ctx_.job.currentCall;
    body_.assign(BlockBody());
    std::replace(body_.begin(), body_.end(), '#', ' ');
    constexpr int kFirstParameter = 8500;
    ForEachParameter(body_, [&](int number, std::string_view value, std::string_view) {
        if (number == kExternalMacroParameter) {
            call.fileName = std::string(value);
            return;
        }
        const bool offset = number >= 8020 && number <= 8022;
        const bool parameter =
            number >= kFirstParameter && number < kFirstParameter + SubprogramCall::kParameterCount;
        if (!offset && !parameter) return;
        const float v = SingleParam(EvalExpression(value, ctx_.state.Eval()), number);
        if (number == 8020) call.offsetX = v;
        if (number == 8021) call.offsetY = v;
        if (number == 8022) call.offsetZ = v;
        if (parameter)
            call.parameters[static_cast<std::size_t>(number - kFirstParameter)] = GeneralText(v);
    });
    if (call.fileName.empty()) Warn("subprogram call without a file name (#8098)");
    ctx_.job.calls.push_back(std::move(call));
}

}  // namespace retracer
