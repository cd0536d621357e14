// Replacing v and r references in Genesis Ev lines: the one-pass replacement against the plain
// downward rule, and the cache of evaluated values.
#include <gtest/gtest.h>

#include <map>
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
    for (auto it = values.rbegin(); it != values.rend(); ++it) {
        const std::string pattern = "r" + std::to_string(it->first);
        std::string out;
        std::size_t pos = 0;
        for (std::size_t hit; (hit = text.find(pattern, pos)) != std::string::npos;
             pos = hit + pattern.size())
            out.append(text, pos, hit - pos) += it->second;
        text = out.append(text, pos);
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

TEST(RReplaceTest, KnownCases) {
    struct Case {
        std::string text;
        Values values;
        std::string expected;
    };
    const std::vector<Case> cases = {
        {"#1=r12", {{1, "5"}, {12, "7"}}, "#1=7"},
        {"#1=r12", {{1, "5"}}, "#1=52"},  // r1 followed by 2 when r12 is unset
        {"r300", {{30, "4"}, {0, "9"}}, "40"},
        {"r7+r8", {{8, "1"}}, "r7+1"},
        {"rr2", {{1, "A"}, {2, "15"}, {15, "B"}}, "A5"},
        {"r1r2", {{2, "5"}, {15, "X"}}, "r15"},
        {"r5", {{5, "r3"}, {3, "9"}}, "9"},
        {"r5", {{5, "r7"}, {7, "9"}}, "r7"},
        {"rr92", {{9, ""}, {2, "Y"}}, "Y"},
        {"R1+r1", {{1, "4"}}, "R1+4"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(DownwardRule(c.text, c.values), c.expected) << c.text << " (reference)";
        EXPECT_EQ(OnePass(c.text, c.values), c.expected) << c.text;
    }
}

// Lines and tables built from the pieces that make the order of the rule matter: runs of "r",
// digits with and without leading zeros, and values that are empty, join digits or hold "r".
TEST(RReplaceTest, OnePassEqualsDownwardRuleOnGeneratedLines) {
    std::mt19937 random(20240611);
    const std::vector<std::string> pieces = {"r",   "rr",   "1",  "2", "12", "0",  "9",   "29",
                                             "123", "300",  "#",  "=", " ",  "r1", "r12", "r0",
                                             "r29", "r123", "r2", "-", "",   "v"};
    const std::vector<int> favoured = {0, 1, 2, 9, 12, 15, 29, 30, 120, 123, 229, 299};
    auto pick = [&](std::size_t size) {
        return std::uniform_int_distribution<std::size_t>(0, size - 1)(random);
    };
    auto piecesText = [&](std::size_t count) {
        std::string text;
        for (; count > 0; --count) text += pieces[pick(pieces.size())];
        return text;
    };
    for (int table = 0; table < 400; ++table) {
        Values values;
        for (std::size_t i = 1 + pick(12); i > 0; --i)
            values[pick(3) == 0 ? static_cast<int>(pick(300)) : favoured[pick(favoured.size())]] =
                piecesText(pick(3));
        for (int line = 0; line < 50; ++line) {
            const std::string text = piecesText(1 + pick(10));
            ASSERT_EQ(OnePass(text, values), DownwardRule(text, values))
                << "line \"" << text << "\", table " << table;
        }
    }
}

TEST(RReplaceTest, VReferencesBecomeLetters) {
    for (const auto& [text, expected] : std::vector<std::pair<std::string, std::string>>{
             {"v0+v1+v6+v7", "a+b+g+i"}, {"v8 vv0 v", "v8 va v"}, {"#1=v07", "#1=a7"}}) {
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

TEST_F(RValueCacheTest, ValuesFollowChangesOfLettersAndReadVariablesOnly) {
    state_.vars.letters[ProgramVariables::kLength] = 600;
    state_.vars.r[3] = "r2*2";
    state_.vars.r[2] = "R1+L/100";
    state_.vars.r[1] = "10";
    state_.vars.r[7] = "40";
    EXPECT_EQ(Value(4), nullptr) << "empty";
    EXPECT_EQ(Value(300), nullptr) << "out of range";
    EXPECT_EQ(*Value(3), "32");
    EXPECT_EQ(*Value(7), "40");
    state_.vars.r[1] = "20";
    EXPECT_EQ(*Value(3), "52");
    state_.vars.letters[ProgramVariables::kLength] = 800;
    EXPECT_EQ(*Value(3), "56");
    const auto before = cache_.Evaluations();
    EXPECT_EQ(*Value(7), "40");
    state_.vars.r[7] = "99";  // not read by R3
    EXPECT_EQ(*Value(3), "56");
    EXPECT_EQ(cache_.Evaluations(), before) << "unchanged values are not evaluated again";
}

}  // namespace
}  // namespace retracer
