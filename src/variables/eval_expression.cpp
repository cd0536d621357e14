#include "variables/eval_expression.h"

#include <array>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "base/value_text.h"

namespace retracer {
namespace {

// R variables defined through each other ("R1=R2+1", "R2=R1") must not recurse without end.
constexpr int kMaxRDepth = 16;

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

std::string_view Trim(std::string_view text) {
    while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
    return text;
}

// Rounds to 8 decimals exactly as formatting and reading back would. Most results are whole or
// far from a rounding tie, and for those plain arithmetic gives the same double.
double RoundTo8Decimals(double v) {
    if (v == std::trunc(v)) return v;
    const double scaled = v * 1e8;
    if (std::fabs(scaled) >= 0x1p52) return RoundDecimals(v, 8);
    // The product carries a rounding error of a few units in its last place; unless that could
    // move it across the .5 boundary, rounding the product picks the same last decimal, and the
    // division then gives the double nearest to that decimal.
    const double frac = std::fabs(scaled - std::trunc(scaled));
    const double error = std::fabs(scaled) * 0x1p-50 + 0x1p-60;
    if (std::fabs(frac - 0.5) <= error) return RoundDecimals(v, 8);
    return std::round(scaled) / 1e8;
}

// The values of R variables already worked out in one evaluation, by variable and depth. An R
// variable's value at a given depth depends on nothing else, and without them a text naming
// itself several times ("R1=R1+R1+R1") is evaluated a number of times exponential in the depth.
class RValues {
  public:
    const double* Find(std::size_t r, int depth) const {
        for (const Entry& e : entries_) {
            if (e.r == r && e.depth == depth) return &e.value;
        }
        return nullptr;
    }
    void Add(std::size_t r, int depth, double value) { entries_.push_back({r, depth, value}); }

  private:
    struct Entry {
        std::size_t r;
        int depth;
        double value;
    };
    std::vector<Entry> entries_;
};

double Evaluate(std::string_view text, const EvalContext& context, int depth, RValues& known);

// The name as the program wrote it: D and E stand in the text as their placeholders.
std::string WrittenName(std::string_view name) {
    std::string written(name);
    for (char& c : written) {
        if (c == kDPlaceholder) c = 'D';
        if (c == kEPlaceholder) c = 'E';
    }
    return written;
}

// Kept off the evaluator's path: only a name that reads 0 for want of a variable comes here.
double Unknown(std::string_view name, const EvalContext& context) {
    if (context.notes != nullptr) context.notes->UnknownName(WrittenName(name));
    return 0;
}

bool IsDigitChar(char c) {
    return c >= '0' && c <= '9';
}

// The expression stopped at a comma between two digits: a decimal comma ("7,5").
void NoteDecimalComma(std::string_view prepared, std::size_t at, ExpressionNotes& notes) {
    if (at == 0 || at + 1 >= prepared.size() || !IsDigitChar(prepared[at - 1]) ||
        !IsDigitChar(prepared[at + 1]))
        return;
    std::size_t begin = at;
    while (begin > 0 && (IsDigitChar(prepared[begin - 1]) || prepared[begin - 1] == '.')) --begin;
    std::size_t end = at + 1;
    while (end < prepared.size() && IsDigitChar(prepared[end])) ++end;
    const std::string_view before = prepared.substr(begin, at - begin);
    notes.DecimalComma(prepared.substr(begin, end - begin), NumericValue(before));
}

double ResolveAt(std::string_view name, const EvalContext& context, int depth, RValues& known) {
    if (context.machineType == 4 || context.machineType == 6) {
        if (name == "hf") name = "s";
        if (name == "lf") name = "h";
    }
    if (name.empty()) return 0;
    const char first = name.front();
    if (first == kDPlaceholder) return context.vars.Letter(4);
    if (first == kEPlaceholder) return context.vars.Letter(5);
    const int c = (first >= 'a' && first <= 'z' ? first - 32 : first) - 64;
    if (c == 18) {  // R
        const double n = NumericValue(name.substr(1));
        if (!(n >= 0 && n < ProgramVariables::kRCount)) return Unknown(name, context);
        const auto index = static_cast<std::size_t>(std::nearbyint(n));
        const std::string& text = context.vars.r[index];
        double plain = 0;
        if (IsPlainNumber(text, &plain)) return plain;
        if (Trim(text).empty()) return Unknown(name, context);
        if (depth >= kMaxRDepth) {
            if (context.faults != nullptr) {
                EvalFaults f;
                f.tooDeep = true;
                context.faults->Record(name, f);
            }
            return 0;
        }
        if (const double* value = known.Find(index, depth)) return *value;
        const double value = Evaluate(text, context, depth + 1, known);
        known.Add(index, depth, value);
        return value;
    }
    if (c >= 1 && c <= 19) return context.vars.Letter(c);
    return Unknown(name, context);
}

double Evaluate(std::string_view text, const EvalContext& context, int depth, RValues& known) {
    text = Trim(text);
    // The placeholders replace D and E in a copy; short texts stay on the stack.
    std::array<char, 128> local{};
    std::string heap;
    char* buffer = local.data();
    if (text.size() > local.size()) {
        heap.resize(text.size());
        buffer = heap.data();
    }
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char ch = text[i];
        buffer[i] = ch == 'D' ? kDPlaceholder : ch == 'E' ? kEPlaceholder : ch;
    }
    std::string_view prepared(buffer, text.size());
    if (!prepared.empty() && prepared.front() == '=') prepared.remove_prefix(1);

    auto resolve = [&](std::string_view name, double& value) {
        value = ResolveAt(name, context, depth, known);
        return true;
    };
    const ExpressionResult result = EvaluateExpression(prepared, NameResolver(resolve));
    if (result.faults.Any() && context.faults != nullptr)
        context.faults->Record(text, result.faults);
    if (context.notes != nullptr && result.consumed < prepared.size() &&
        prepared[result.consumed] == ',')
        NoteDecimalComma(prepared, result.consumed, *context.notes);
    return RoundTo8Decimals(result.value);
}

}  // namespace

void EvalFaultLog::Record(std::string_view text, const EvalFaults& faults) {
    if (count++ == 0) {
        firstText = std::string(text);
        firstFaults = faults;
    }
}

double EvalExpression(std::string_view text, const EvalContext& context) {
    RValues known;
    return Evaluate(text, context, 0, known);
}

void NoteDecimalCommas(std::string_view text, ExpressionNotes& notes) {
    for (std::size_t at = text.find(','); at != std::string_view::npos; at = text.find(',', at + 1))
        NoteDecimalComma(text, at, notes);
}

double ResolveVariable(std::string_view name, const EvalContext& context) {
    RValues known;
    return ResolveAt(name, context, 0, known);
}

bool AssignRVariable(ProgramVariables& vars, std::string_view name, std::string_view text) {
    if (name.empty()) return false;
    const double n = NumericValue(name.substr(1));
    if (!(n >= 0 && n < ProgramVariables::kAnyRSet)) return false;
    vars.r[static_cast<std::size_t>(n)] = std::string(text);
    vars.r[ProgramVariables::kAnyRSet] = "1";
    return true;
}

bool AssignLetterVariable(ProgramVariables& vars, int slot, std::string_view expression,
                          int machineType, EvalFaultLog* faults) {
    if (slot < 1 || slot >= ProgramVariables::kLetterCount) return false;
    const double value = EvalExpression(expression, EvalContext{vars, machineType, faults});
    vars.letters[static_cast<std::size_t>(slot)] = static_cast<float>(value);
    return true;
}

}  // namespace retracer
