#include "translate/line_fields.h"

#include <array>
#include <cmath>

#include "base/text_codec.h"
#include "base/value_text.h"

namespace retracer {
namespace {

// Which orientation mappings mirror a coordinate: X-like coordinates are mirrored on the length
// for mappings 2 and 3, Y-like ones on the width for mappings 0 and 2.
constexpr std::array<bool, 4> kMirrorsAlongLength = {false, false, true, true};
constexpr std::array<bool, 4> kMirrorsAlongWidth = {true, false, true, false};

// The text after the first two characters (not bytes) of field 2 of the line split at "T".
std::string_view ToolText(FieldSplitter& line) {
    line.SetSeparators("T");
    std::string_view field = line.Field(2);
    for (int dropped = 0; dropped < 2 && !field.empty(); ++dropped) {
        std::size_t len = 1;
        while (len < field.size() && (static_cast<unsigned char>(field[len]) & 0xC0) == 0x80) ++len;
        field.remove_prefix(len);
    }
    return field;
}

// The plain number after the first `letter` of the text (0 when absent), measured from the far
// end for the mappings that mirror its axis (along the length L when `alongLength`, else along
// the width H).
float MappedWord(std::string_view text, char letter, bool alongLength, int mapping,
                 const TranslationState& state) {
    // The number ends before the letter's next occurrence in any case: the rest of the text
    // reads the same as the field up to it.
    const std::size_t at = text.find(letter);
    const double v = at == std::string_view::npos ? 0.0 : NumericValue(text.substr(at + 1));
    if (mapping < 0 || mapping > 3) return static_cast<float>(v);
    const auto index = static_cast<std::size_t>(mapping);
    if (alongLength && kMirrorsAlongLength[index]) {
        return static_cast<float>(state.vars.Letter(ProgramVariables::kLength) - v);
    }
    if (!alongLength && kMirrorsAlongWidth[index]) {
        return static_cast<float>(state.vars.Letter(ProgramVariables::kWidth) - v);
    }
    return static_cast<float>(v);
}

}  // namespace

double WordValue(FieldSplitter& line, char letter, TranslationState& state) {
    char separator[2] = {letter, '\0'};
    line.SetSeparators(separator);
    if (line.FieldCount() < 2) return 0;
    return EvalExpression(line.Field(2), state.Eval());
}

float GetAwkValX(std::string_view text, const TranslationState& state) {
    return MappedWord(text, 'X', true, state.xyMapping, state);
}
float GetAwkValY(std::string_view text, const TranslationState& state) {
    return MappedWord(text, 'Y', false, state.xyMapping, state);
}
float GetAwkValI(std::string_view text, const TranslationState& state) {
    return MappedWord(text, 'I', true, state.centreMapping, state);
}
float GetAwkValJ(std::string_view text, const TranslationState& state) {
    return MappedWord(text, 'J', false, state.centreMapping, state);
}
float GetAwkValQx(std::string_view text, const TranslationState& state) {
    return MappedWord(text, 'Q', true, state.centreMapping, state);
}
float GetAwkValQy(std::string_view text, const TranslationState& state) {
    return MappedWord(text, 'Q', false, state.centreMapping, state);
}

std::string GetTool(FieldSplitter& line) {
    std::string_view rest = ToolText(line);
    if (rest.empty()) return "";
    std::string number;
    if (rest.front() >= 'a' && rest.front() <= 'z') {
        number = std::to_string(rest.front() - 87) + GeneralText(NumericValue(rest.substr(1)));
    } else {
        number = GeneralText(NumericValue(rest));
    }
    return "_T" + number;
}

std::string GetDrTool(FieldSplitter& line) {
    std::string_view rest = ToolText(line);
    std::string list;
    int lastTool = 0;
    for (std::size_t i = 0; i < rest.size(); ++i) {
        const char c = rest[i];
        if (c >= '0' && c <= '9') {
            list.push_back(c);
            if (list.size() % 2 == 0) lastTool = (list[list.size() - 2] - '0') * 10 + (c - '0');
        } else if (c == '|') {
            const auto end = static_cast<int>(std::lround(NumericValue(rest.substr(i + 1, 2))));
            for (int tool = lastTool + 1; tool < end && tool <= 99; ++tool) {
                list.push_back(static_cast<char>('0' + tool / 10));
                list.push_back(static_cast<char>('0' + tool % 10));
            }
        } else {
            break;
        }
    }
    return list;
}

std::string GetComment(std::string_view text) {
    const std::size_t word = text.find("W$=");
    if (word == std::string_view::npos) return "";
    std::string_view after = text.substr(word + 3);
    const std::size_t end = after.find(" #");
    if (end == std::string_view::npos) return "";
    return std::string(TrimSpaces(after.substr(0, end)));
}

std::string RemoveTilde(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        if (c != '!' && c != '~') out.push_back(c);
    }
    return std::string(TrimSpaces(out));
}

void IncRSeq(TranslationState& state, bool maintainRouteSequence) {
    if (!maintainRouteSequence) return;
    state.routeSeq = GeneralText(NumericValue(state.routeSeq) + 1);
}

}  // namespace retracer
