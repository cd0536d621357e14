// Genesis (ISO-style) line handling: line preparation, the orientation and compensation codes,
// the code table, and the codes that only change state (header, offsets, letter variables,
// conditions). The codes that draw live in genesis_iso_codes.cpp.
#include "translate/genesis_iso.h"

#include <charconv>
#include <cmath>

#include "base/text_codec.h"
#include "base/value_text.h"
#include "drawing/layer_names.h"
#include "translate/line_fields.h"

namespace retracer {
namespace {

constexpr int kOutlineColour = 1;

// Condition words: joiners 0 and 1, comparisons 2 to 7.
constexpr std::array<std::string_view, 8> kCompareOps = {" & ", " | ", "<",  ">",
                                                         "=",   "<=",  ">=", "<>"};

// The parameter words that a line names by number, and the characters that stand for them.
struct ParameterWord {
    std::string_view word;
    char mark;
};
constexpr ParameterWord kParameterWords[] = {
    {"R50=", kR50Mark}, {"R51=", kR51Mark}, {"R52=", kR52Mark}, {"R54=", kR54Mark}};

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

bool IsNameChar(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_';
}

// A whole number as the code of a G word; values beyond any code give 0.
long CodeValue(double v) {
    const double rounded = std::nearbyint(v);
    return std::abs(rounded) < 1e9 ? static_cast<long>(rounded) : 0;
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// The words' value: a plain number directly, anything else through the evaluator.
double Evaluate(std::string_view text, TranslationState& state) {
    double value = 0;
    if (ReadPlainLeadingNumber(text, value)) return value;
    return EvalExpression(text, state.Eval());
}

}  // namespace

bool ReadPlainLeadingNumber(std::string_view text, double& value) {
    std::size_t i = 0;
    while (i < text.size() && IsBlank(text[i])) ++i;
    const bool negative = i < text.size() && text[i] == '-';
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) ++i;
    const std::size_t begin = i;
    int digits = 0;
    int decimals = 0;
    bool point = false;
    for (; i < text.size(); ++i) {
        if (IsDigit(text[i])) {
            ++digits;
            if (point) ++decimals;
        } else if (text[i] == '.' && !point) {
            point = true;
        } else {
            break;
        }
    }
    if (digits == 0 || digits > 15 || decimals > 8) return false;
    const std::size_t end = i;
    // An exponent, or more of the expression, is the evaluator's to read.
    if (end < text.size() && (text[end] == 'e' || text[end] == 'd' || text[end] == '.')) {
        return false;
    }
    while (i < text.size() && IsBlank(text[i])) ++i;
    if (i < text.size()) {
        const auto c = static_cast<unsigned char>(text[i]);
        const bool endsExpression = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c >= 0x80;
        if (!endsExpression || (i > end && (c == 'e' || c == 'd'))) return false;
    }
    double v = 0;
    if (ReadShortDecimal(text.data() + begin, text.data() + end, v) != text.data() + end)
        return false;
    if (v == 0 && negative) return false;  // the evaluator's negative zero
    value = negative ? -v : v;
    return true;
}

bool AppendPlainGeneralText(std::string_view word, std::string& out) {
    std::size_t i = 0;
    const bool negative = !word.empty() && word[0] == '-';
    if (!word.empty() && (word[0] == '-' || word[0] == '+')) ++i;
    std::string_view whole = word.substr(i);
    const std::size_t point = whole.find('.');
    std::string_view integer = whole.substr(0, point);
    std::string_view fraction =
        point == std::string_view::npos ? std::string_view() : whole.substr(point + 1);
    if (integer.empty() && fraction.empty()) return false;
    if (integer.size() + fraction.size() > 15 || fraction.size() > 8) return false;
    for (std::string_view part : {integer, fraction}) {
        for (char c : part) {
            if (!IsDigit(c)) return false;
        }
    }
    while (!integer.empty() && integer.front() == '0') integer.remove_prefix(1);
    while (!fraction.empty() && fraction.back() == '0') fraction.remove_suffix(1);
    if (integer.empty() && fraction.empty()) {
        if (negative) return false;  // the evaluator's negative zero
        out += '0';
        return true;
    }
    // Below 0.0001 the general form is the exponent form.
    if (integer.empty() && fraction.size() >= 4 && fraction.substr(0, 4) == "0000") return false;
    if (negative) out += '-';
    if (integer.empty()) {
        out += '0';
    } else {
        out += integer;
    }
    if (!fraction.empty()) {
        out += '.';
        out += fraction;
    }
    return true;
}

// G codes and their handlers. Codes 40 to 42 and 54 to 57 are read from every G word of a line
// beforehand; 152 (end of condition) is handled after the dispatch. Clockwise and
// counter-clockwise arcs share a handler: the arc direction flag tells them apart.
const std::array<GenesisIsoTranslator::Code, 23> GenesisIsoTranslator::kCodes = {{
    {1, &GenesisIsoTranslator::LineTo},
    {2, &GenesisIsoTranslator::Arc},
    {3, &GenesisIsoTranslator::Arc},
    {12, &GenesisIsoTranslator::Arc},
    {13, &GenesisIsoTranslator::Arc},
    {37, &GenesisIsoTranslator::Arc},
    {38, &GenesisIsoTranslator::Arc},
    {70, &GenesisIsoTranslator::Header},
    {71, &GenesisIsoTranslator::Header},
    {81, &GenesisIsoTranslator::SingleHole},
    {85, &GenesisIsoTranslator::GrooveAlongX},
    {86, &GenesisIsoTranslator::GrooveAlongY},
    {88, &GenesisIsoTranslator::RouteStart},
    {92, &GenesisIsoTranslator::ProgramOffset},
    {110, &GenesisIsoTranslator::PolarLineTo},
    {112, &GenesisIsoTranslator::ArcThroughPoint},
    {113, &GenesisIsoTranslator::ArcThroughPoint},
    {150, &GenesisIsoTranslator::AssignLetters},
    {151, &GenesisIsoTranslator::Condition},
    {185, &GenesisIsoTranslator::RowAlongX},
    {186, &GenesisIsoTranslator::RowAlongY},
    {187, &GenesisIsoTranslator::RowAlongLine},
    {200, &GenesisIsoTranslator::CircleHoles},
}};

GenesisIsoTranslator::Handler GenesisIsoTranslator::FindHandler(int code) {
    for (const Code& c : kCodes) {
        if (c.code == code) return c.handler;
    }
    return nullptr;
}

GenesisIsoTranslator::GenesisIsoTranslator(const TranslationContext& context)
    : ctx_(context), notes_(context.job) {
    ctx_.state.notes = &notes_;
}

GenesisIsoTranslator::~GenesisIsoTranslator() {
    if (ctx_.state.notes == &notes_) ctx_.state.notes = nullptr;
}

void GenesisIsoTranslator::Warn(std::string message) const {
    ctx_.Warn(std::string(file_), lineNumber_, std::move(message));
}

void GenesisIsoTranslator::TranslateLine(FieldSplitter& line, std::string_view file,
                                         int lineNumber) {
    file_ = file;
    lineNumber_ = lineNumber;
    ctx_.job.AtLine(file, lineNumber);
    clockwise_ = false;
    PrepareLine(line.Text());
    // Coordinates are read as plain numbers, not expressions: "X10,5" must be told here.
    if (text_.find(',') != std::string::npos) NoteDecimalCommas(text_, notes_);
    line.Assign(text_, "G");

    TranslationState& state = ctx_.state;
    edge_ = static_cast<int>(CodeValue(Word(line, 'E')));
    feed_ = static_cast<float>(Word(line, 'F'));

    const double first = NumericValue(line.Field(2));
    if (state.condStack[0] && line.FieldCount() > 1) {
        OrientationCodes(line);
        const long g = CodeValue(first);
        if (first == static_cast<double>(g)) {
            if (g == 2 || g == 12 || g == 37 || g == 112) clockwise_ = true;
            if (Handler handler = FindHandler(static_cast<int>(g))) (this->*handler)(line);
        }
    }
    // The end of a condition is seen even on the lines the condition skips.
    if (first == 152) state.condStack[0] = true;
}

void GenesisIsoTranslator::PrepareLine(std::string_view raw) {
    std::string_view s = raw.substr(0, raw.find(';'));
    s = TrimBlanks(s);
    if (!s.empty() && s.front() == '*') s = {};
    text_.assign(s);
    if (text_.find("R5") != std::string::npos) {
        for (const ParameterWord& p : kParameterWords) {
            for (std::size_t at = text_.find(p.word); at != std::string::npos;
                 at = text_.find(p.word, at + 1)) {
                text_.replace(at, p.word.size(), 1, p.mark);
            }
        }
    }
    // An assignment line: the same as G150, its "=" kept for the letters to be read.
    if (!text_.empty() && text_.front() == '!') {
        text_.replace(0, 1, "G150() ");
        return;
    }
    if (text_.compare(0, 4, "G150") == 0 || text_.find('=') == std::string::npos) return;
    RewriteValueWords();
}

// Every letter=expression becomes the letter followed by the expression's value ("X=L/2 Y=H-10"
// gives "X300 Y390"). Each piece after an "=" is its expression, then the words up to the next
// "=", kept exactly as written: writing X=10 instead of X10 must not change what the later words
// read (the tool words "T1 3" read differently once their blank is gone).
void GenesisIsoTranslator::RewriteValueWords() {
    if (text_.find('=') == std::string::npos) return;  // nothing to rewrite
    words_.Assign(text_, "=");
    scratch_.assign(words_.Field(1));
    if (!scratch_.empty()) {
        for (int i = 2; i <= words_.FieldCount(); ++i) {
            std::string_view piece = words_.Field(i);
            while (!piece.empty() && IsBlank(piece.front())) piece.remove_prefix(1);
            std::size_t end = 0;
            while (end < piece.size() && !IsBlank(piece[end])) ++end;
            if (end == 0) continue;
            const std::string_view word = piece.substr(0, end);
            if (!AppendPlainGeneralText(word, scratch_)) {
                scratch_ += GeneralText(Evaluate(word, ctx_.state));
            }
            scratch_.append(piece.substr(end));
        }
    }
    text_.swap(scratch_);
}

// Compensation and orientation words, from the last G word of the line to the first. A slashed
// orientation word ("G56/") sets the mapping of centres, a plain one that of positions.
void GenesisIsoTranslator::OrientationCodes(FieldSplitter& line) {
    TranslationState& state = ctx_.state;
    bool parsed = false;
    for (int i = line.FieldCount(); i >= 2; --i) {
        std::string_view field = line.Field(i);
        if (field.find('/') != std::string_view::npos) {
            scratch_.assign(field);
            for (char& c : scratch_) {
                if (c == '/') c = ' ';
            }
            field = scratch_;
        }
        const long code = CodeValue(Evaluate(field, state));
        switch (code) {
            case 40:
                state.pendingTag.text.clear();
                break;
            case 41:  // a mirrored part is cut with the tool on the other side of the path
                state.pendingTag.text = ctx_.job.mirrorJob ? "_R" : "_L";
                break;
            case 42:
                state.pendingTag.text = ctx_.job.mirrorJob ? "_L" : "_R";
                break;
            case 54:
            case 55:
            case 56:
            case 57: {
                if (!parsed) parser_.Assign(text_, "GXE");
                parsed = true;
                const std::string_view word = TrimBlanks(parser_.Field(i));
                const bool slashed = !word.empty() && word.back() == '/';
                (slashed ? state.centreMapping : state.xyMapping) = static_cast<int>(code - 54);
                break;
            }
            default:
                break;
        }
    }
}

// The value of a word, as WordValue reads it (the expression after the letter's first occurrence,
// up to its next one), found in the prepared text directly: a handler reads up to a dozen words
// of one line, and re-splitting the line for each of them was most of the time spent on it.
double GenesisIsoTranslator::Word(FieldSplitter&, char letter) {
    const std::string_view text = text_;
    const std::size_t at = text.find(letter);
    if (at == std::string_view::npos) return 0;
    const std::size_t end = text.find(letter, at + 1);
    return Evaluate(text.substr(at + 1, end == std::string_view::npos ? end : end - at - 1),
                    ctx_.state);
}

bool GenesisIsoTranslator::HasLetter(char letter) const {
    return text_.find(letter) != std::string::npos;
}

// ---- State codes -----------------------------------------------------------------------------

void GenesisIsoTranslator::Header(FieldSplitter& line) {
    JobState& job = ctx_.job;
    ProgramHeader& header = ctx_.header;
    auto& letters = ctx_.state.vars.letters;
    line.SetSeparators("G");
    if (CodeValue(NumericValue(line.Field(2))) == 70) job.unitDivisor = 25.4;
    // The blank size as plain numbers, without the orientation mapping.
    auto plain = [this](char letter) {
        const std::size_t at = text_.find(letter);
        return at == std::string::npos
                   ? 0.0f
                   : static_cast<float>(NumericValue(std::string_view(text_).substr(at + 1)));
    };
    letters[ProgramVariables::kLength] = plain('X');
    letters[ProgramVariables::kWidth] = plain('Y');
    letters[ProgramVariables::kThickness] = plain('Z');
    if (job.dimsFromJob) {
        letters[ProgramVariables::kLength] = static_cast<float>(header.partLength);
        letters[ProgramVariables::kWidth] = static_cast<float>(header.partWidth);
        letters[ProgramVariables::kThickness] = static_cast<float>(header.partThickness);
    } else {
        header.partLength = RoundDecimals(letters[ProgramVariables::kLength], 4);
        header.partWidth = RoundDecimals(letters[ProgramVariables::kWidth], 4);
        header.partThickness = RoundDecimals(letters[ProgramVariables::kThickness], 4);
    }
    // The header's size too: mirrored X is measured from its length.
    const std::pair<int, double*> sizes[] = {{ProgramVariables::kLength, &header.partLength},
                                             {ProgramVariables::kWidth, &header.partWidth},
                                             {ProgramVariables::kThickness, &header.partThickness}};
    for (const auto& [slot, size] : sizes) {
        float& v = letters[static_cast<std::size_t>(slot)];
        if (!std::isfinite(v)) {
            Warn("blank size out of range; 0 is used");
            v = 0;
            *size = 0;
        }
    }
    const float l = letters[ProgramVariables::kLength];
    const float h = letters[ProgramVariables::kWidth];
    const float s = letters[ProgramVariables::kThickness];

    // The outline layer is named as in the other dialect, so that both give BORDER_Z18.
    std::string& layer = ctx_.state.borderLayer;
    layer = BorderLayerName(ctx_.roots, s);
    DrawingWriter& w = ctx_.writer;
    w.AddLine(0, 0, 0, 0, h, 0, layer, kOutlineColour);
    w.AddLine(0, h, 0, l, h, 0, layer, kOutlineColour);
    w.AddLine(l, h, 0, l, 0, 0, layer, kOutlineColour);
    w.AddLine(l, 0, 0, 0, 0, 0, layer, kOutlineColour);
}

void GenesisIsoTranslator::ProgramOffset(FieldSplitter& line) {
    JobState& job = ctx_.job;
    job.programOffsetX = GeneralText(Word(line, 'X'));
    job.programOffsetY = GeneralText(Word(line, 'Y'));
    job.programOffsetZ = GeneralText(Word(line, 'Z'));
}

// Letters A to I, each from its own word, in alphabetical order so that later letters see the
// values just set (B=A*2 after A=5 gives 10). A letter is a word where it starts one or where an
// "=" follows it: a letter inside an expression (the H of B=H/2) is read, never assigned.
void GenesisIsoTranslator::AssignLetters(FieldSplitter&) {
    std::string_view text = text_;
    const std::size_t paren = text.find(')');
    if (paren != std::string_view::npos) text.remove_prefix(paren + 1);
    TranslationState& state = ctx_.state;
    for (char letter = 'A'; letter <= 'I'; ++letter) {
        for (std::size_t at = text.find(letter); at != std::string_view::npos;
             at = text.find(letter, at + 1)) {
            std::size_t next = at + 1;
            while (next < text.size() && IsBlank(text[next])) ++next;
            const bool assigned = next < text.size() && text[next] == '=';
            const bool startsWord = at == 0 || IsBlank(text[at - 1]);
            const bool insideName = at > 0 && IsNameChar(text[at - 1]);
            if (insideName || !(assigned || startsWord)) continue;
            const std::string_view value = text.substr(at + 1);
            if (TrimBlanks(value).empty()) break;
            state.vars.letters[static_cast<std::size_t>(letter - 'A' + 1)] =
                static_cast<float>(EvalExpression(value, state.Eval()));
            break;
        }
    }
}

// The comparison or joiner of a parameter word: its value plus `shift` indexes the condition
// words. A value without meaning is reported and read as " & ", as in the other dialect.
int GenesisIsoTranslator::CompareIndex(FieldSplitter& line, char mark, int shift, int low,
                                       int high) {
    const double v = std::nearbyint(Word(line, mark));
    if (v >= low && v <= high) return static_cast<int>(v) + shift;
    const std::string_view name = mark == kR50Mark ? "R50" : mark == kR51Mark ? "R51" : "R52";
    Warn("condition word " + std::string(name) + "=" + GeneralText(v) + " has no meaning (" +
         std::to_string(low) + " to " + std::to_string(high) + "); \" & \" is used");
    return 0;
}

void GenesisIsoTranslator::Condition(FieldSplitter& line) {
    TranslationState& state = ctx_.state;
    const int op1 = CompareIndex(line, kR50Mark, 2, -2, 5);
    const int op2 = CompareIndex(line, kR52Mark, 2, -2, 5);
    const float x = GetAwkValX(text_, ctx_.state);
    const float y = GetAwkValY(text_, ctx_.state);
    std::string condition = StandardText(x);
    condition += kCompareOps[static_cast<std::size_t>(op1)];
    condition += StandardText(y);
    const std::size_t joinAt = text_.find(kR51Mark);
    if (joinAt != std::string::npos && joinAt + 1 < text_.size() && text_[joinAt + 1] != kR51Mark) {
        const int join = CompareIndex(line, kR51Mark, 0, 0, 7);
        condition += kCompareOps[static_cast<std::size_t>(join)];
        condition += StandardText(GetAwkValI(text_, ctx_.state));
        condition += kCompareOps[static_cast<std::size_t>(op2)];
        condition += StandardText(GetAwkValJ(text_, ctx_.state));
    }
    state.condStack[0] = EvalExpression(condition, state.Eval()) != 0;
}

}  // namespace retracer
