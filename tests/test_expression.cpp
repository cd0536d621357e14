// The expression evaluator on its own, with a table resolver.
#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <string>
#include <vector>

#include "variables/expression.h"

namespace retracer {
namespace {

struct TableResolver {
    std::map<std::string, double, std::less<>> values;
    std::vector<std::string> asked;
    bool operator()(std::string_view name, double& value) {
        asked.emplace_back(name);
        auto it = values.find(name);
        if (it == values.end()) return false;
        value = it->second;
        return true;
    }
};

struct Case {
    const char* text;
    double value;
    std::size_t consumed;
};

class ExpressionValues : public ::testing::TestWithParam<Case> {};

TEST_P(ExpressionValues, EvaluateTheLeadingExpression) {
    TableResolver resolver{{{"A", 2}, {"B", 3}, {"L", 600}, {"r5", 7}, {"hf", 18}}, {}};
    const Case& c = GetParam();
    ExpressionResult r = EvaluateExpression(c.text, NameResolver(resolver));
    EXPECT_DOUBLE_EQ(r.value, c.value) << c.text;
    EXPECT_EQ(r.consumed, c.consumed) << c.text;
    EXPECT_FALSE(r.faults.Any()) << c.text;
}

INSTANTIATE_TEST_SUITE_P(
    Grammar, ExpressionValues,
    ::testing::Values(
        // The rest after the leading expression is ignored.
        Case{"300Y590", 300, 3}, Case{"100 Y200", 100, 3}, Case{"", 0, 0}, Case{"   ", 0, 0},
        Case{"Y", 0, 1},  // an unknown name reads 0
        // Numbers.
        Case{"12.5", 12.5, 4}, Case{".5", 0.5, 2}, Case{"5.", 5, 2}, Case{"1e3", 1000, 3},
        Case{"1E3", 1000, 3}, Case{"2D2", 200, 3}, Case{"2d-1", 0.2, 4}, Case{"2e", 2, 1},
        Case{"1.5.5", 1.5, 3},
        // Arithmetic and precedence.
        Case{"1+2*3", 7, 5}, Case{"(1+2)*3", 9, 7}, Case{"10-4-3", 3, 6}, Case{"8/4/2", 1, 5},
        Case{"-3+5", 2, 4}, Case{"--3", 3, 3}, Case{"2*-3", -6, 4}, Case{"-(2+3)*2", -10, 8},
        Case{" 2 * ( 3 + 4 ) ", 14, 14}, Case{"L/2-r5*3", 279, 8}, Case{"hf-2", 16, 4},
        // Comparisons bind looser than arithmetic, & looser than comparison, | loosest.
        Case{"1+1=2", 1, 5}, Case{"2<1", 0, 3}, Case{"2<=2", 1, 4}, Case{"3>=4", 0, 4},
        Case{"3<>4", 1, 4}, Case{"3>2", 1, 3}, Case{"(A+B)*2>=L | B<>0", 1, 17},
        Case{"A=2 & B=3", 1, 9}, Case{"A=2 & B=4", 0, 9}, Case{"0 | 0 & 1", 0, 9},
        Case{"1 | 0 & 0", 1, 9}, Case{"A & 0.5", 1, 7},
        // An operator without a right operand is left out; a missing ")" is supplied.
        Case{"5+", 5, 1}, Case{"5 *", 5, 1}, Case{"5+)", 5, 1}, Case{"(5+3", 8, 4},
        Case{"(2*(3+1)", 8, 8}, Case{"4)", 4, 1}, Case{"*5", 0, 0}, Case{"()", 0, 0}));

TEST(Expression, NamesReachTheResolverAsWrittenAndPlaceholdersAreNames) {
    TableResolver resolver;
    const std::string text =
        std::string("Len+r12*x_1+") + kDPlaceholder + "+a" + kEPlaceholder + "b";
    EvaluateExpression(text, NameResolver(resolver));
    ASSERT_EQ(resolver.asked.size(), 5u);
    EXPECT_EQ(resolver.asked[0], "Len");
    EXPECT_EQ(resolver.asked[1], "r12");
    EXPECT_EQ(resolver.asked[2], "x_1");
    EXPECT_EQ(static_cast<unsigned char>(resolver.asked[3][0]), 142u);
    EXPECT_EQ(resolver.asked[4], std::string("a") + kEPlaceholder + "b");

    // A placeholder is a name, not an exponent letter: "2" then a name is the ignored rest.
    TableResolver d{{{std::string(1, kDPlaceholder), 5}}, {}};
    EXPECT_EQ(EvaluateExpression(std::string("2") + kDPlaceholder, NameResolver(d)).value, 2);
    EXPECT_EQ(EvaluateExpression(std::string(1, kDPlaceholder) + "*2", NameResolver(d)).value, 10);
}

TEST(Expression, FaultsGiveZeroAndAreReported) {
    TableResolver resolver{{{"Z", 0}, {"BIG", 1e300}, {"NAN", std::nan("")}}, {}};
    struct FaultCase {
        const char* text;
        double value;
        bool divisionByZero, overflow;
    };
    const FaultCase cases[] = {
        {"1/0", 0, true, false},        {"5+1/Z", 5, true, false},   {"0/0", 0, true, false},
        {"1e999", 0, false, true},      {"BIG*BIG", 0, false, true}, {"NAN+1", 1, false, true},
        {"-BIG*BIG*2", 0, false, true}, {"1e-999", 0, false, false}, {"2*(3/0)+1", 1, true, false},
    };
    for (const FaultCase& c : cases) {
        ExpressionResult r = EvaluateExpression(c.text, NameResolver(resolver));
        EXPECT_EQ(r.value, c.value) << c.text;
        EXPECT_TRUE(std::isfinite(r.value)) << c.text;
        EXPECT_EQ(r.faults.divisionByZero, c.divisionByZero) << c.text;
        EXPECT_EQ(r.faults.overflow, c.overflow) << c.text;
    }
}

TEST(Expression, DeepNestingIsBoundedNotFatal) {
    TableResolver resolver;
    const std::string ok =
        std::string(kMaxExpressionDepth, '(') + "7" + std::string(kMaxExpressionDepth, ')');
    ExpressionResult r = EvaluateExpression(ok, NameResolver(resolver));
    EXPECT_EQ(r.value, 7);
    EXPECT_FALSE(r.faults.tooDeep);

    r = EvaluateExpression(std::string(1'000'000, '(') + "7", NameResolver(resolver));
    EXPECT_EQ(r.value, 0);
    EXPECT_TRUE(r.faults.tooDeep);
    EXPECT_EQ(r.consumed, 0u);
}

TEST(Expression, HugeAndHostileInputsFinish) {
    TableResolver resolver{{{"A", 1}}, {}};
    // A megabyte-long sum is evaluated in full.
    std::string sum = "1";
    for (int i = 0; i < 250'000; ++i) sum += "+1*1";
    EXPECT_EQ(EvaluateExpression(sum, NameResolver(resolver)).value, 250'001);
    // A million signs cost no stack.
    EXPECT_EQ(EvaluateExpression(std::string(1'000'000, '-') + "4", NameResolver(resolver)).value,
              4);
    // A megabyte of digits is one (overflowing) number; a megabyte-long name is one name.
    EXPECT_TRUE(
        EvaluateExpression(std::string(1'000'000, '9'), NameResolver(resolver)).faults.overflow);
    EXPECT_EQ(EvaluateExpression(std::string(1'000'000, 'A'), NameResolver(resolver)).value, 0);
    // Bytes that are not text end the expression.
    EXPECT_EQ(EvaluateExpression(std::string("3*2\0\xff\xfe*9", 8), NameResolver(resolver)).value,
              6);
    for (int seed = 0; seed < 2000; ++seed) {
        std::string noise;
        unsigned x = static_cast<unsigned>(seed) * 2654435761u + 1;
        for (int i = 0; i < 40; ++i) {
            x = x * 1103515245u + 12345u;
            noise += "0123456789+-*/()<>=&|.eEdDA \x8e\xff"[(x >> 16) % 30];
        }
        EXPECT_TRUE(std::isfinite(EvaluateExpression(noise, NameResolver(resolver)).value))
            << noise;
    }
}

}  // namespace
}  // namespace retracer
