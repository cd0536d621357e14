#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

#include "translate/translation_state.h"

namespace retracer {

// Genesis Ev lines name V and R variables in lower case and expect them to be replaced by their
// values before the line is read.

// Replaces "v0" … "v6" by "a" … "g" and "v7" by "i" (h is the part width, so V7 skips it).
void ReplaceVReferences(std::string& text);

// Where ReplaceRReferences gets the text that replaces "r" followed by n: nullptr when R n is
// empty, which leaves its references alone. Non-owning, like a function parameter.
class RValueLookup {
  public:
    template <typename F,
              typename = std::enable_if_t<!std::is_same_v<std::decay_t<F>, RValueLookup>>>
    RValueLookup(F& f)  // NOLINT(google-explicit-constructor): used like a function parameter
        : object_(static_cast<void*>(&f)),
          call_([](void* o, int n) -> const std::string* { return (*static_cast<F*>(o))(n); }) {}

    const std::string* operator()(int n) const { return call_(object_, n); }

  private:
    void* object_;
    const std::string* (*call_)(void*, int);
};

inline constexpr int kRReplacedCount = 300;  // r0 … r299

// The rule the programs were written for goes down from n = 299 to 0 and replaces every "r" and
// the decimal digits of n (left to right, without looking again at what it put in) by the value
// of R n; going down keeps r12 from being read as r1 followed by 2. Each replacement changes the
// text the later ones see: "rr2" with R2 = "15" becomes "r15" and then, since 15 was already
// passed, R1's value followed by 5.
//
// This does the same in one pass from right to left, looking up only the variables that are
// referenced, and gives exactly the text the downward rule gives, for any values.
std::string ReplaceRReferences(std::string_view text, RValueLookup values);
// The same into `out` (not aliasing `text`), reusing its storage.
void ReplaceRReferences(std::string_view text, RValueLookup values, std::string& out);

// The value texts of the R variables as line preparation inserts them (the general form of the
// evaluated expression), computed once and reused until something they depend on changes: their
// own text, the texts of the R variables they read, the letter variables or the machine type.
// Changes are noticed wherever they come from, so the cache needs no notification.
class RValueCache {
  public:
    // The value text of R n (0 … 299), nullptr when R n is empty.
    const std::string* Value(int n, TranslationState& state);

    // Call once per line before Value(): notices changed letter variables.
    void BeginLine(const TranslationState& state);

    // How many values were evaluated rather than reused (for tests).
    std::uint64_t Evaluations() const { return evaluations_; }

  private:
    struct Entry {
        bool filled = false;
        bool constant = false;    // the text reads no variable at all
        std::uint64_t epoch = 0;  // letters and machine type the value was computed with
        std::string source;
        std::string value;
        std::vector<std::pair<int, std::string>> readTexts;  // R variables it reads, as they were
    };

    bool StillValid(const Entry& entry, const ProgramVariables& vars) const;
    void Fill(Entry& entry, int n, TranslationState& state);

    std::array<Entry, kRReplacedCount> entries_{};
    std::array<float, ProgramVariables::kLetterCount> letters_{};
    int machineType_ = 0;
    std::uint64_t epoch_ = 1;
    bool seenLetters_ = false;
    std::uint64_t evaluations_ = 0;
};

}  // namespace retracer
