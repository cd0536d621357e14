// Genesis Ev line handling: line preparation, sections, the header line, conditions, the macro
// table and the label block. The macro handlers live in genesis_ev_blocks.cpp, the parameter
// reader in genesis_ev_params.cpp.
#include "translate/genesis_ev.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <utility>

#include "base/text_codec.h"
#include "base/value_text.h"
#include "drawing/geometry.h"
#include "translate/line_fields.h"
#include "translate/route_path.h"

namespace retracer {
namespace {

constexpr int kOutlineColour = 1;

// The comparison words of conditions: joiners 0 and 1, operators 2 to 7.
constexpr std::array<std::string_view, 8> kCompareWords = {
    " & ", " | ", "<", "<=", ">", ">=", "=", "<>"};

// Label field words that name a worklist column.
struct ColumnWord {
    std::string_view word;
    std::string_view column;
};
constexpr ColumnWord kColumnWords[] = {
    {"F", "Filename"},  {"FILE", "Filename"},   {"FILENAME", "Filename"},
    {"N", "Filename"},  {"NAM", "Filename"},    {"NAME", "Filename"},
    {"J", "Job"},       {"JOB", "Job"},         {"R", "Room"},
    {"ROOM", "Room"},   {"RM", "Room"},         {"C", "Cabinet"},
    {"CAB", "Cabinet"}, {"CABINET", "Cabinet"},
};

}  // namespace

const std::array<GenesisEvTranslator::Macro, 22> GenesisEvTranslator::kMacros = {{
    {"W#81{", &GenesisEvTranslator::SingleHole, true, Condition::kNone},
    {"W#83{", &GenesisEvTranslator::PolarHole, true, Condition::kNone},
    {"W#1010{", &GenesisEvTranslator::CircleHoles, true, Condition::kNone},
    {"W#1001{", &GenesisEvTranslator::RowAlongX, true, Condition::kNone},
    {"W#1902{", &GenesisEvTranslator::RowAlongX, true, Condition::kNone},
    {"W#1903{", &GenesisEvTranslator::RowAlongY, false, Condition::kNone},
    {"W#1904{", &GenesisEvTranslator::RowAlongLine, true, Condition::kNone},
    {"W#1050{", &GenesisEvTranslator::GrooveAlongX, true, Condition::kNone},
    {"W#1051{", &GenesisEvTranslator::GrooveAlongY, true, Condition::kNone},
    {"W#89{", &GenesisEvTranslator::ToolStart, true, Condition::kNone},
    {"W#2201{", &GenesisEvTranslator::LineTo, true, Condition::kNone},
    {"W#2203{", &GenesisEvTranslator::LineByAngle, true, Condition::kNone},
    {"W#2101{", &GenesisEvTranslator::ArcByCentreOffsets, true, Condition::kNone},
    {"W#2104{", &GenesisEvTranslator::ArcThroughPoint, true, Condition::kNone},
    {"W#2111{", &GenesisEvTranslator::ArcByRadiusShort, true, Condition::kNone},
    {"W#2112{", &GenesisEvTranslator::ArcByRadiusLong, true, Condition::kNone},
    {"W#2113{", &GenesisEvTranslator::ArcToAngle, true, Condition::kNone},
    {"W#2010{", &GenesisEvTranslator::SubprogramCallBlock, false, Condition::kNone},
    {"W#2006{", &GenesisEvTranslator::LabelBlock, false, Condition::kNone},
    // A condition opens whatever the state, and reads its parameters doing so.
    {"W#2001{", &GenesisEvTranslator::Ignore, false, Condition::kOpen},
    {"W#2005{", &GenesisEvTranslator::Ignore, true, Condition::kElse},
    {"W#2002{", &GenesisEvTranslator::Ignore, true, Condition::kEnd},
}};

const GenesisEvTranslator::Macro* GenesisEvTranslator::FindMacro(std::string_view code) {
    for (const Macro& macro : kMacros) {
        if (macro.code == code) return &macro;
    }
    return nullptr;
}

GenesisEvTranslator::GenesisEvTranslator(const TranslationContext& context)
    : ctx_(context), notes_(context.job) {
    ctx_.state.notes = &notes_;
}

GenesisEvTranslator::~GenesisEvTranslator() {
    if (ctx_.state.notes == &notes_) ctx_.state.notes = nullptr;
}

void GenesisEvTranslator::Warn(std::string_view message) const {
    ctx_.Warn(std::string(file_), lineNumber_, std::string(message));
}

void GenesisEvTranslator::TranslateLine(FieldSplitter& line, std::string_view file,
                                        int lineNumber) {
    // Every scan starts with all conditions true; the shared ones are reset by the job driver.
    if (lineNumber == 1) std::fill(deeperConditions_.begin(), deeperConditions_.end(), char{1});
    file_ = file;
    lineNumber_ = lineNumber;
    ctx_.job.AtLine(file, lineNumber);

    PrepareLine(line.Text());
    std::size_t keyEnd = 0;
    while (keyEnd < text_.size() && text_[keyEnd] != ' ' && text_[keyEnd] != '=' &&
           text_[keyEnd] != '\r')
        ++keyEnd;
    std::string_view keyWord = std::string_view(text_).substr(0, keyEnd);
    const bool sectionWord = HandleKeyWord(keyWord);

    if (inOffsBlock_) {
        OffsetLine();
    } else if (inVarvBlock_) {
        if (!ctx_.job.dimsFromJob) VVariableLine(keyWord);
    } else if (inVarBlock_) {
        RVariableLine(keyWord);
    } else if (!sectionWord) {
        MacroBlock(line, keyWord);
    }
}

void GenesisEvTranslator::PrepareLine(const std::string& raw) {
    text_ = raw;
    ReplaceVReferences(text_);
    TranslationState& state = ctx_.state;
    if (state.vars.r[ProgramVariables::kAnyRSet] != "1") return;
    rValues_.BeginLine(state);
    auto lookup = [&](int n) { return rValues_.Value(n, state); };
    ReplaceRReferences(text_, RValueLookup(lookup), replaced_);
    text_.swap(replaced_);
}

// Section and header words. Returns true when the word is one of them; any other word is the
// text up to the first blank (a macro code with its brace).
bool GenesisEvTranslator::HandleKeyWord(std::string_view& keyWord) {
    const std::optional<SectionWord> word = FindSectionWord(keyWord);
    if (!word) {
        keyWord = std::string_view(text_).substr(0, text_.find(' '));
        return false;
    }
    ApplySectionWord(*word, keyWord);
    return true;
}

std::optional<GenesisEvTranslator::SectionWord> GenesisEvTranslator::FindSectionWord(
    std::string_view keyWord) {
    static constexpr std::pair<std::string_view, SectionAction> kWords[] = {
        {"$", SectionAction::kNone},        {"::UNm", SectionAction::kHeader},
        {"::UNi", SectionAction::kHeader},  {"OFFS{", SectionAction::kOffsOn},
        {"}OFFS", SectionAction::kOffsOff}, {"VARV{", SectionAction::kVarvOn},
        {"}VARV", SectionAction::kVarvOff}, {"VAR{", SectionAction::kVarOn},
        {"}VAR", SectionAction::kVarOff},   {"}SIDE", SectionAction::kSideEnd},
    };
    if (!keyWord.empty() && keyWord.front() == 'W')
        return std::nullopt;  // a macro code: most lines
    for (const auto& [text, action] : kWords) {
        if (text == keyWord) return SectionWord{action, 0};
    }
    if (keyWord.size() == 7 && keyWord.substr(0, 5) == "SIDE#" && keyWord[6] == '{' &&
        keyWord[5] >= '1' && keyWord[5] <= '6') {
        return SectionWord{SectionAction::kSide, keyWord[5] - '0'};
    }
    return std::nullopt;
}

void GenesisEvTranslator::ApplySectionWord(const SectionWord& word, std::string_view& keyWord) {
    switch (word.action) {
        case SectionAction::kNone:
            break;
        case SectionAction::kHeader:
            HeaderLine();
            break;
        case SectionAction::kOffsOn:
        case SectionAction::kOffsOff:
            inOffsBlock_ = word.action == SectionAction::kOffsOn;
            break;
        case SectionAction::kVarvOn:
        case SectionAction::kVarvOff:
            inVarvBlock_ = word.action == SectionAction::kVarvOn;
            break;
        case SectionAction::kVarOn:
            inVarBlock_ = true;
            keyWord = {};
            break;
        case SectionAction::kVarOff:
            inVarBlock_ = false;
            break;
        case SectionAction::kSideEnd:
        case SectionAction::kSide:
            curSide_ = word.side;
            break;
    }
}

void GenesisEvTranslator::HeaderLine() {
    ProgramHeader& header = ctx_.header;
    JobState& job = ctx_.job;
    scratch_.Assign(text_, "= \r");
    if (!job.dimsFromJob && job.currentCall == 0) {
        header.partLength = NumericValue(scratch_.Field(3));
        header.partWidth = NumericValue(scratch_.Field(5));
        header.partThickness = NumericValue(scratch_.Field(7));
    }
    auto& letters = ctx_.state.vars.letters;
    for (double* size : {&header.partLength, &header.partWidth, &header.partThickness}) {
        if (!std::isfinite(static_cast<float>(*size))) {
            Warn("part size out of range; 0 is used");
            *size = 0;
        }
    }
    const auto l = static_cast<float>(header.partLength);
    const auto h = static_cast<float>(header.partWidth);
    const auto s = static_cast<float>(header.partThickness);
    letters[ProgramVariables::kLength] = l;
    letters[ProgramVariables::kWidth] = h;
    letters[ProgramVariables::kThickness] = s;
    if (scratch_.Field(1) == "::UNi") job.unitDivisor = 25.4;

    // A subprogram's own header describes the same part: drawing its outline again would give
    // the nesting application a doubled contour.
    if (job.currentCall != 0) return;
    std::string& layer = ctx_.state.borderLayer;
    layer = BorderLayerName(ctx_.roots, s);
    DrawingWriter& w = ctx_.writer;
    w.AddLine(0, 0, 0, 0, h, 0, layer, kOutlineColour);
    w.AddLine(0, h, 0, l, h, 0, layer, kOutlineColour);
    w.AddLine(l, h, 0, l, 0, 0, layer, kOutlineColour);
    w.AddLine(l, 0, 0, 0, 0, 0, layer, kOutlineColour);
}

// The value of an OFFS or VARV entry. Entries are written "#n=value|note"; the value is the text
// between "=" and the first "|". An entry without "=" has its value after the first "|".
std::string_view GenesisEvTranslator::DataValueText() {
    const std::string_view text = text_;
    const std::string_view first = text.substr(0, text.find('|'));
    const std::size_t eq = first.find('=');
    if (eq != std::string_view::npos) return first.substr(eq + 1);
    scratch_.Assign(text_, "|");
    return scratch_.Field(2);
}

void GenesisEvTranslator::OffsetLine() {
    const std::string_view text = text_;
    const std::string_view key = text.substr(0, text.find_first_of(" =|"));
    std::string* target = key == "#0"   ? &ctx_.job.programOffsetX
                          : key == "#1" ? &ctx_.job.programOffsetY
                          : key == "#2" ? &ctx_.job.programOffsetZ
                                        : nullptr;
    if (target != nullptr) *target = FormatPattern(NumericValue(DataValueText()), "###0.####");
}

void GenesisEvTranslator::VVariableLine(std::string_view keyWord) {
    // Only "#n…" lines are entries; the section's own opening line is not.
    if (keyWord.find('#') == std::string_view::npos) return;
    std::string number(keyWord);
    std::replace(number.begin(), number.end(), '#', ' ');
    const double n = NumericValue(number);
    // The number is checked before it becomes a slot: "#1e90" is no int.
    const bool known = n == std::trunc(n) && n >= 0 && n < ProgramVariables::kLetterCount;
    const int slot = !known ? -1 : n < 7 ? static_cast<int>(n) + 1 : static_cast<int>(n) + 2;
    if (slot < 0 || slot >= ProgramVariables::kLetterCount) {
        Warn("V variable " + GeneralText(n) + " does not exist (V0 to V18); the entry is ignored");
        return;
    }
    TranslationState& state = ctx_.state;
    state.vars.letters[static_cast<std::size_t>(slot)] =
        static_cast<float>(EvalExpression(DataValueText(), state.Eval()));
}

void GenesisEvTranslator::RVariableLine(std::string_view keyWord) {
    if (keyWord.empty()) return;
    std::string number(keyWord);
    std::replace(number.begin(), number.end(), '#', ' ');
    const double n = std::nearbyint(NumericValue(number));
    scratch_.Assign(text_, "=|");
    const std::string_view value = scratch_.Field(2);
    if (!(n >= 0 && n < ProgramVariables::kRCount)) {
        Warn("R variable " + GeneralText(n) + " does not exist (R0 to R299); the entry is ignored");
        return;
    }
    auto& r = ctx_.state.vars.r;
    std::string& entry = r[static_cast<std::size_t>(n)];
    // Values set for the job before the scan win over the program's defaults.
    if (entry.empty()) entry = std::string(value);
    if (!value.empty()) r[ProgramVariables::kAnyRSet] = "1";
}

void GenesisEvTranslator::MacroBlock(FieldSplitter& line, std::string_view code) {
    const Macro* macro = FindMacro(code);
    if (macro == nullptr) {
        if (code.substr(0, 2) == "W#") Warn("unknown macro code " + std::string(code) + " ignored");
        return;
    }
    if (macro->condition == Condition::kOpen) OpenCondition();
    Block block{line, code};
    if (Active()) {
        (this->*(macro->handler))(block);
    } else if (macro->readWhenInactive) {
        ReadBlockParams(false);
    }
    if (macro->condition == Condition::kElse) ElseCondition();
    if (macro->condition == Condition::kEnd) EndCondition();
}

// ---- Conditions ------------------------------------------------------------------------------

int GenesisEvTranslator::OpenConditions() const {
    return ctx_.state.condDepth + static_cast<int>(deeperConditions_.size());
}

void GenesisEvTranslator::OpenCondition() {
    ReadBlockParams(false);
    const BlockParams& p = params_;
    auto word = [&](int index, std::string_view what) -> std::string_view {
        if (index >= 0 && index < static_cast<int>(kCompareWords.size()))
            return kCompareWords[static_cast<std::size_t>(index)];
        Warn("condition " + std::string(what) + " " + std::to_string(index) +
             " does not exist; \" & \" is used");
        return kCompareWords[0];
    };
    std::string condition;
    if (!p.operands[0].empty() || !p.operands[1].empty()) {
        condition += p.operands[0];
        condition += word(p.operators[0], "operator");
        condition += p.operands[1];
    }
    for (int k = 1; k < 3; ++k) {
        const std::string& left = p.operands[static_cast<std::size_t>(2 * k)];
        const std::string& right = p.operands[static_cast<std::size_t>(2 * k + 1)];
        if (left.empty() && right.empty()) continue;
        condition += word(p.joiners[static_cast<std::size_t>(k - 1)], "joiner");
        condition += left;
        condition += word(p.operators[static_cast<std::size_t>(k)], "operator");
        condition += right;
    }
    const bool holds = EvalExpression(condition, ctx_.state.Eval()) != 0;

    TranslationState& state = ctx_.state;
    if (state.condDepth < TranslationState::kConditionLevels - 1) {
        ++state.condDepth;
        state.condStack[static_cast<std::size_t>(state.condDepth)] = holds;
        return;
    }
    // Conditions nest deeper than the shared stack holds: they are kept here and still obeyed.
    if (!warnedDeepConditions_) {
        Warn("more than " + std::to_string(TranslationState::kConditionLevels - 1) +
             " conditions are open at once; the deeper ones are still obeyed");
        warnedDeepConditions_ = true;
    }
    deeperConditions_.push_back(holds ? 1 : 0);
}

bool GenesisEvTranslator::Active() const {
    const TranslationState& state = ctx_.state;
    for (int i = 0; i <= state.condDepth; ++i) {
        if (!state.condStack[static_cast<std::size_t>(i)]) return false;
    }
    return std::find(deeperConditions_.begin(), deeperConditions_.end(), char{0}) ==
           deeperConditions_.end();
}

void GenesisEvTranslator::ElseCondition() {
    if (!deeperConditions_.empty()) {
        deeperConditions_.back() = deeperConditions_.back() ? 0 : 1;
        return;
    }
    TranslationState& state = ctx_.state;
    if (state.condDepth == 0) Warn("else (W#2005) without an open condition");
    auto& entry = state.condStack[static_cast<std::size_t>(state.condDepth)];
    entry = !entry;
}

void GenesisEvTranslator::EndCondition() {
    if (!deeperConditions_.empty()) {
        deeperConditions_.pop_back();
        return;
    }
    TranslationState& state = ctx_.state;
    state.condStack[static_cast<std::size_t>(state.condDepth)] = true;
    if (state.condDepth > 0) {
        --state.condDepth;
    } else {
        Warn("end of condition (W#2002) without an open condition");
    }
}

// ---- Label block -----------------------------------------------------------------------------

void GenesisEvTranslator::LabelBlock(Block& block) {
    if (!ctx_.options.engraveLabel || ctx_.job.currentCall != 0) return;
    ctx_.job.labelFields.emplace_back();
    ReadBlockParams(false);
    EndRoutePath(ctx_.Routes(&block.line));
    LabelField& field = ctx_.job.labelFields.back();
    field.x =
        static_cast<float>(XForMirror(params_.x2, ctx_.job.mirrorJob, ctx_.header.partLength));
    field.y = params_.y2;
    if (!std::isfinite(field.x) || !std::isfinite(field.y)) {
        Warn("label position out of range; the label is left out");
        ctx_.job.labelFields.pop_back();
        return;
    }

    const std::size_t bang = comment_.find('!');
    const std::string_view words = std::string_view(comment_).substr(0, bang);
    scratch_.Assign(words, "~");
    std::string tag;
    bool depthUsed = false;
    int columns = 0;
    for (int i = 2; i <= scratch_.FieldCount(); ++i) {
        const std::string_view w = scratch_.Field(i);
        if (params_.z2Given && !w.empty() && (w.front() == 'Z' || w.front() == 'z')) continue;
        if (params_.z2Given && !depthUsed) {
            tag += "Z" + GeneralText(params_.z2);
            depthUsed = true;
        }
        if (columns < 4) {
            std::string key(TrimSpaces(w));
            std::replace(key.begin(), key.end(), ',', ' ');
            key = UpperAscii(key);
            for (const ColumnWord& c : kColumnWords) {
                if (c.word == key) {
                    field.columns[static_cast<std::size_t>(++columns)] = std::string(c.column);
                    break;
                }
            }
        }
        const std::string u = UpperAscii(w.substr(0, w.find(' ')));
        if (!u.empty() && u.front() == 'H') {
            field.height = static_cast<float>(NumericValue(std::string_view(u).substr(1)));
        } else if (!u.empty() && u.front() == 'W') {
            field.width = static_cast<float>(NumericValue(std::string_view(u).substr(1)));
        } else {
            tag += u;
        }
    }
    if (bang != std::string::npos) {
        field.caption = RemoveTilde(std::string_view(comment_).substr(bang + 1));
        if (field.caption.empty()) field.caption = "-";
    }
    std::string trimmed(TrimSpaces(tag));
    std::replace(trimmed.begin(), trimmed.end(), ' ', '_');
    field.tagText = std::move(trimmed);
}

}  // namespace retracer
