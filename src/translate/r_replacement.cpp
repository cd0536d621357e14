#include "translate/r_replacement.h"

#include <bitset>
#include <cmath>
#include <cstring>

#include "base/value_text.h"
#include "variables/expression.h"

namespace retracer {
namespace {

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// One character of the text being built from the right. A replaced reference leaves its value;
// the first character of that value remembers the pass (the variable number) that put it there,
// because a reference further left sees the value only in the passes after that one, and sees
// the reference's own "r" before. A value may be empty; a ghost cell keeps its pass then.
struct Cell {
    char c = 0;
    bool ghost = false;
    int pass = kNoPass;

    static constexpr int kNoPass = 1 << 20;  // an original character: always there
};

class OnePassReplacer {
  public:
    OnePassReplacer(RValueLookup values, std::vector<Cell>& reversed)
        : values_(values), reversed_(reversed) {}

    // Adds `chars` in front of what is built so far. Their "r"s can be replaced only in passes
    // up to `lastPass`: characters of a value inserted in pass k exist from pass k - 1 on.
    void Prepend(std::string_view chars, int lastPass) {
        std::size_t end = chars.size();
        for (;;) {
            std::size_t r = end;
            while (r > 0 && chars[r - 1] != 'r') --r;
            PushPlain(chars.substr(r, end - r));
            if (r == 0) return;
            PrependR(lastPass);
            end = r - 1;
        }
    }

  private:
    // Characters that are not "r": copied as they are, last one first.
    void PushPlain(std::string_view chars) {
        const std::size_t old = reversed_.size();
        reversed_.resize(old + chars.size());
        Cell* out = reversed_.data() + old;
        for (std::size_t i = chars.size(); i-- > 0;) *out++ = Cell{chars[i], false, Cell::kNoPass};
    }

    void PrependR(int lastPass) {
        const int pass = PassOf(lastPass);
        if (pass < 0) {
            reversed_.push_back(Cell{'r', false, Cell::kNoPass});
            return;
        }
        Consume(DigitCount(pass));
        const std::string* value = values_(pass);
        if (value->empty()) {
            reversed_.push_back(Cell{0, true, pass});
            return;
        }
        if (value->find('r') == std::string::npos) {
            PushPlain(*value);
        } else {
            const std::string copy = *value;  // the lookup may be asked again below
            Prepend(copy, pass - 1);
        }
        Cell& first = reversed_.back();
        if (pass < first.pass) first.pass = pass;
    }

    static int DigitCount(int n) { return n >= 100 ? 3 : n >= 10 ? 2 : 1; }

    // The pass in which an "r" standing in front of what is built so far gets replaced, or -1.
    // What follows the "r" changes from pass to pass only where a later value appears; between
    // such passes its leading digits are fixed, and the highest pass in that stretch whose
    // number they begin with (and whose variable is set) is the one.
    int PassOf(int lastPass) const {
        int high = lastPass;
        while (high >= 0) {
            char digits[3];
            int count = 0;
            int hiddenFrom = -1;  // the stretch ends where a value is not there yet
            for (std::size_t j = reversed_.size(); j-- > 0 && count < 3;) {
                const Cell& cell = reversed_[j];
                if (cell.pass <= high) {
                    hiddenFrom = cell.pass;
                    break;
                }
                if (cell.ghost) continue;
                if (!IsDigit(cell.c)) break;
                digits[count++] = cell.c;
            }
            const int low = hiddenFrom < 0 ? 0 : hiddenFrom;
            const int found = Candidate(digits, count, low, high);
            if (found >= 0) return found;
            if (hiddenFrom < 0) return -1;
            high = hiddenFrom - 1;
        }
        return -1;
    }

    // The highest n in [low, high] whose decimal text begins the digits and whose variable is set.
    int Candidate(const char* digits, int count, int low, int high) const {
        if (count == 0) return -1;
        if (digits[0] == '0') return low == 0 && values_(0) != nullptr ? 0 : -1;
        int numbers[3];
        int value = 0;
        for (int i = 0; i < count; ++i) {
            value = value * 10 + (digits[i] - '0');
            numbers[i] = value;
        }
        for (int i = count; i-- > 0;) {
            const int n = numbers[i];
            if (n >= low && n <= high && n < kRReplacedCount && values_(n) != nullptr) return n;
        }
        return -1;
    }

    // Drops the digits a replaced reference took with it, and the empty values among them.
    void Consume(int digits) {
        while (digits > 0 && !reversed_.empty()) {
            if (!reversed_.back().ghost) --digits;
            reversed_.pop_back();
        }
    }

    RValueLookup values_;
    std::vector<Cell>& reversed_;
};

// Nothing is replaced unless an "r" is followed by a digit somewhere.
bool HasRReference(std::string_view text) {
    for (std::size_t i = 0; i + 1 < text.size(); ++i) {
        if (text[i] == 'r' && IsDigit(text[i + 1])) return true;
    }
    return false;
}

bool IsNameChar(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || IsDigit(c) || c == '_' ||
           c == kDPlaceholder || c == kEPlaceholder;
}

// True when evaluating the text reads no variable: no letter, "_" or non-ASCII byte in it.
bool ReadsNoVariable(std::string_view text) {
    for (char c : text) {
        if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' ||
            static_cast<unsigned char>(c) >= 0x80)
            return false;
    }
    return true;
}

// Every R variable an expression may read: each "r" or "R" with the name characters after it,
// read as the evaluator reads a name (D and E are variables there, not exponent letters). A
// name that merely contains an "r" adds a variable it does not read, which costs a needless
// re-evaluation at worst.
template <typename F>
void ForEachRRead(std::string_view text, F&& visit) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != 'r' && text[i] != 'R') continue;
        std::size_t end = i + 1;
        while (end < text.size() && IsNameChar(text[end])) ++end;
        std::string_view rest = text.substr(i + 1, end - i - 1);
        for (std::size_t k = 0; k < rest.size(); ++k) {
            const char c = rest[k];
            if (c == 'D' || c == 'E' || c == kDPlaceholder || c == kEPlaceholder) {
                rest = rest.substr(0, k);
                break;
            }
        }
        const double n = NumericValue(rest);
        if (n >= 0 && n < ProgramVariables::kRCount) {
            const auto index = static_cast<int>(std::nearbyint(n));
            if (index < ProgramVariables::kRCount) visit(index);
        }
    }
}

}  // namespace

void ReplaceVReferences(std::string& text) {
    static constexpr char kLetters[] = {'a', 'b', 'c', 'd', 'e', 'f', 'g', 'i'};
    std::size_t out = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == 'v' && i + 1 < text.size() && text[i + 1] >= '0' && text[i + 1] <= '7') {
            text[out++] = kLetters[text[i + 1] - '0'];
            ++i;
        } else {
            text[out++] = c;
        }
    }
    text.resize(out);
}

void ReplaceRReferences(std::string_view text, RValueLookup values, std::string& out) {
    if (!HasRReference(text)) {
        out.assign(text);
        return;
    }
    thread_local std::vector<Cell> reversed;
    reversed.clear();
    reversed.reserve(text.size() * 2 + 16);
    OnePassReplacer replacer(values, reversed);
    replacer.Prepend(text, kRReplacedCount - 1);
    out.resize(reversed.size());
    std::size_t used = 0;
    for (std::size_t j = reversed.size(); j-- > 0;) {
        if (!reversed[j].ghost) out[used++] = reversed[j].c;
    }
    out.resize(used);
}

std::string ReplaceRReferences(std::string_view text, RValueLookup values) {
    std::string out;
    ReplaceRReferences(text, values, out);
    return out;
}

void RValueCache::BeginLine(const TranslationState& state) {
    if (seenLetters_ && state.machineType == machineType_ &&
        std::memcmp(letters_.data(), state.vars.letters.data(), sizeof(letters_)) == 0)
        return;
    letters_ = state.vars.letters;
    machineType_ = state.machineType;
    seenLetters_ = true;
    ++epoch_;
}

bool RValueCache::StillValid(const Entry& entry, const ProgramVariables& vars) const {
    if (entry.constant) return true;
    if (entry.epoch != epoch_) return false;
    for (const auto& [index, text] : entry.readTexts) {
        if (vars.r[static_cast<std::size_t>(index)] != text) return false;
    }
    return true;
}

void RValueCache::Fill(Entry& entry, int n, TranslationState& state) {
    const std::string& source = state.vars.r[static_cast<std::size_t>(n)];
    ++evaluations_;
    entry.filled = true;
    entry.source = source;
    entry.value = GeneralText(EvalExpression(source, state.Eval()));
    entry.constant = ReadsNoVariable(source);
    entry.readTexts.clear();
    if (entry.constant) return;
    entry.epoch = epoch_;
    // Everything it reads, directly or through other R variables.
    std::bitset<ProgramVariables::kRCount> seen;
    seen.set(static_cast<std::size_t>(n));
    auto visit = [&](int index) {
        if (seen.test(static_cast<std::size_t>(index))) return;
        seen.set(static_cast<std::size_t>(index));
        entry.readTexts.emplace_back(index, state.vars.r[static_cast<std::size_t>(index)]);
    };
    ForEachRRead(source, visit);
    for (std::size_t i = 0; i < entry.readTexts.size(); ++i) {
        const std::string text = entry.readTexts[i].second;
        ForEachRRead(text, visit);
    }
}

const std::string* RValueCache::Value(int n, TranslationState& state) {
    if (n < 0 || n >= kRReplacedCount) return nullptr;
    const std::string& source = state.vars.r[static_cast<std::size_t>(n)];
    if (source.empty()) return nullptr;
    Entry& entry = entries_[static_cast<std::size_t>(n)];
    if (!entry.filled || entry.source != source || !StillValid(entry, state.vars))
        Fill(entry, n, state);
    return &entry.value;
}

}  // namespace retracer
