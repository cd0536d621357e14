// Replacing v and r references in Genesis Ev lines: the one-pass replacement against the plain
// downward rule, and the cache of evaluated values.
#include <gtest/gtest.h>

#include <array>
#include <map>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "translate/r_replacement.h"

namespace retracer {
namespace {

using Values = std::map<int, std::string>;

// The rule as written: for n = 299 down to 0, every "r" and n's digits, left to right, without
// looking again at inserted text.
std::string DownwardRule(std::string text, const Values& values) {
    for (int n = 299; n >= 0; --n) {
        auto it = values.find(n);
        if (it == values.end()) continue;
        const std::string pattern = "r" + std::to_string(n);
        std::string out;
        std::size_t pos = 0;
        for (std::size_t hit = text.find(pattern); hit != std::string::npos;
             hit = text.find(pattern, pos)) {
            out.append(text, pos, hit - pos);
            out += it->second;
            pos = hit + pattern.size();
        }
        out.append(text, pos, std::string::npos);
        text = out;
    }
    return text;
}

std::string OnePass(const std::string& text, const Values& values) {
    auto lookup = [&](int n) -> const std::string* {
        auto it = values.find(n);
        return it == values.end() ? nullptr : &it->second;
    };
    return ReplaceRReferences(text, RValueLookup(lookup));
}

struct RCase {
    const char* name;
    std::string text;
    Values values;
    std::string expected;
};

TEST(RReplaceTest, KnownCases) {
    const std::vector<RCase> cases = {
        {"longer number first", "#1=r12", {{1, "5"}, {12, "7"}}, "#1=7"},
        {"r1 followed by 2 when r12 is empty", "#1=r12", {{1, "5"}}, "#1=52"},
        {"three digits", "r123+r29", {{123, "1"}, {12, "2"}, {29, "3"}}, "1+3"},
        {"r300 is r30 followed by 0", "r300", {{30, "4"}, {0, "9"}}, "40"},
        {"r0", "x=r0*2", {{0, "8"}}, "x=8*2"},
        {"leading zero is r0 then digits", "r012", {{0, "1"}, {12, "2"}}, "112"},
        {"unset reference stays", "r7+r8", {{8, "1"}}, "r7+1"},
        {"no digits", "rr+ r", {{1, "1"}}, "rr+ r"},
        {"rr1 with a plain value", "rr1", {{1, "5"}}, "r5"},
        {"rr2 becomes r15, then r1 and 5", "rr2", {{1, "A"}, {2, "15"}, {15, "B"}}, "A5"},
        {"r1r2 becomes r15, already passed", "r1r2", {{2, "5"}, {15, "X"}}, "r15"},
        {"r1r2 both set", "r1r2", {{1, "3"}, {2, "5"}, {15, "X"}}, "35"},
        {"rrr2 chains leftwards", "rrr2", {{0, "Z"}, {1, "07"}, {2, "15"}}, "Z75"},
        {"value with an r replaced later", "r5", {{5, "r3"}, {3, "9"}}, "9"},
        {"value with an r of a passed number", "r5", {{5, "r7"}, {7, "9"}}, "r7"},
        {"empty value joins its neighbours", "rr9", {{9, ""}, {1, "X"}}, "r"},
        {"empty value then digits", "rr92", {{9, ""}, {2, "Y"}}, "Y"},
        {"inside words too", "bar1.pgm", {{1, "2"}}, "ba2.pgm"},
        {"upper case R is not replaced", "R1+r1", {{1, "4"}}, "R1+4"},
        {"negative value ends the digits", "rr1", {{1, "-1"}, {0, "Q"}}, "r-1"},
    };
    for (const RCase& c : cases) {
        EXPECT_EQ(DownwardRule(c.text, c.values), c.expected) << c.name << " (reference)";
        EXPECT_EQ(OnePass(c.text, c.values), c.expected) << c.name;
    }
}

// Lines and value tables built from the pieces that make the order of the rule matter: runs of
// "r", digits with and without leading zeros, numbers around 1, 12, 29, 123, 299 and 300, and
// values that are empty, hold digits that join what follows, or hold "r" themselves.
TEST(RReplaceTest, OnePassEqualsDownwardRuleOnGeneratedLines) {
    std::mt19937 random(20240611);
    const std::vector<std::string> textPieces = {
        "r", "r", "rr", "1", "2", "12", "0",   "9",  "29",   "123", "299",  "300", "3", "5",
        "#", "=", " ",  "x", "+", "r1", "r12", "r0", "r300", "r29", "r123", "r2",  "v", ".",
    };
    const std::vector<std::string> valuePieces = {
        "", "1", "2", "12", "0", "5", "9", "29", "r", "r1", "r2", "rr", "-", ".", "E", "3",
    };
    const std::vector<int> favoured = {0,  1,  2,   3,   5,   9,   10,  12,  15,  20,
                                       29, 30, 100, 120, 123, 129, 200, 229, 290, 299};
    auto pick = [&](std::size_t size) {
        return std::uniform_int_distribution<std::size_t>(0, size - 1)(random);
    };
    int checked = 0;
    for (int table = 0; table < 400; ++table) {
        Values values;
        const std::size_t setCount = 1 + pick(12);
        for (std::size_t i = 0; i < setCount; ++i) {
            const int n =
                pick(3) == 0 ? static_cast<int>(pick(300)) : favoured[pick(favoured.size())];
            std::string value;
            for (std::size_t k = pick(4); k > 0; --k)
                value += valuePieces[pick(valuePieces.size())];
            values[n] = value;
        }
        for (int line = 0; line < 50; ++line) {
            std::string text;
            for (std::size_t k = 1 + pick(10); k > 0; --k)
                text += textPieces[pick(textPieces.size())];
            ASSERT_EQ(OnePass(text, values), DownwardRule(text, values))
                << "line \"" << text << "\", table " << table;
            ++checked;
        }
    }
    EXPECT_EQ(checked, 400 * 50);
}

// Values as the translator produces them: general number texts, which never hold an "r".
TEST(RReplaceTest, OnePassEqualsDownwardRuleWithNumberValues) {
    std::mt19937 random(7);
    auto pick = [&](int size) { return std::uniform_int_distribution<int>(0, size - 1)(random); };
    const std::vector<std::string> numbers = {"0",     "1",   "12", "2.5",   "-3",
                                              "1E-05", "300", "29", "0.125", "1200"};
    for (int table = 0; table < 200; ++table) {
        Values values;
        for (int i = 0; i < 40; ++i)
            values[pick(300)] = numbers[static_cast<std::size_t>(pick(10))];
        for (int line = 0; line < 20; ++line) {
            std::string text = "W#81{";
            for (int k = 0; k < 6; ++k) {
                text += " #" + std::to_string(pick(9000)) + "=";
                text += pick(2) ? "r" + std::to_string(pick(320)) : std::to_string(pick(99));
                if (pick(3) == 0) text += "r" + std::to_string(pick(40));
            }
            text += " }";
            ASSERT_EQ(OnePass(text, values), DownwardRule(text, values)) << text;
        }
    }
}

TEST(RReplaceTest, VReferencesBecomeLetters) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"v0+v1+v2+v3+v4+v5+v6+v7", "a+b+c+d+e+f+g+i"},
        {"v8 v9 vv0 v", "v8 v9 va v"},
        {"#1=v07", "#1=a7"},
        {"", ""},
    };
    for (const auto& [text, expected] : cases) {
        std::string replaced = text;
        ReplaceVReferences(replaced);
        EXPECT_EQ(replaced, expected) << text;
    }
}

class RValueCacheTest : public ::testing::Test {
  protected:
    const std::string* Value(int n) {
        cache_.BeginLine(state_);
        return cache_.Value(n, state_);
    }
    TranslationState state_;
    RValueCache cache_;
};

TEST_F(RValueCacheTest, EmptyAndOutOfRangeHaveNoValue) {
    state_.vars.r[4] = "";
    EXPECT_EQ(Value(4), nullptr);
    EXPECT_EQ(Value(-1), nullptr);
    EXPECT_EQ(Value(300), nullptr);
}

TEST_F(RValueCacheTest, ValuesAreReusedUntilTheirTextChanges) {
    state_.vars.r[5] = "12.5";
    ASSERT_NE(Value(5), nullptr);
    EXPECT_EQ(*Value(5), "12.5");
    EXPECT_EQ(*Value(5), "12.5");
    EXPECT_EQ(cache_.Evaluations(), 1u);
    state_.vars.r[5] = "7";
    EXPECT_EQ(*Value(5), "7");
    EXPECT_EQ(cache_.Evaluations(), 2u);
}

TEST_F(RValueCacheTest, LetterChangesReachValuesThatReadThem) {
    state_.vars.letters[ProgramVariables::kLength] = 600;
    state_.vars.r[1] = "L/2";
    state_.vars.r[2] = "40";
    EXPECT_EQ(*Value(1), "300");
    EXPECT_EQ(*Value(2), "40");
    state_.vars.letters[ProgramVariables::kLength] = 800;
    EXPECT_EQ(*Value(1), "400");
    EXPECT_EQ(*Value(2), "40");
    EXPECT_EQ(cache_.Evaluations(), 3u) << "the constant R2 is not evaluated again";
}

TEST_F(RValueCacheTest, ChangesOfReadRVariablesReachValuesThroughChains) {
    state_.vars.r[3] = "r2*2";
    state_.vars.r[2] = "R1+1";
    state_.vars.r[1] = "10";
    EXPECT_EQ(*Value(3), "22");
    state_.vars.r[1] = "20";
    EXPECT_EQ(*Value(3), "42");
    state_.vars.r[2] = "5";
    EXPECT_EQ(*Value(3), "10");
    const auto before = cache_.Evaluations();
    state_.vars.r[7] = "99";  // not read by R3
    EXPECT_EQ(*Value(3), "10");
    EXPECT_EQ(cache_.Evaluations(), before);
}

TEST_F(RValueCacheTest, MachineTypeChangesNamesOfWidthAndThickness) {
    state_.vars.letters[ProgramVariables::kThickness] = 18;
    state_.vars.r[9] = "hf";
    EXPECT_EQ(*Value(9), "0");
    state_.machineType = 4;
    EXPECT_EQ(*Value(9), "18");
}

}  // namespace
}  // namespace retracer
