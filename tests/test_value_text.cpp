// Reading numbers from text and the number-to-text forms.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "translate/value_text.h"

namespace retracer {
namespace {

TEST(NumericValue, ReadsTheLeadingNumberLeniently) {
    struct Case {
        const char* text;
        double value;
    };
    const Case cases[] = {
        {"12.5", 12.5},      {"  -3", -3},       {"+4", 4},        {"1 2 3", 123},
        {" - 5", -5},        {"1\t.\n5", 1.5},   {"1.2.3", 1.2},   {"2E3", 2000},
        {"2e-2", 0.02},      {"2D2", 200},       {"2d 2", 200},    {"7E", 7},
        {"7EX", 7},          {"300Y590", 300},   {"abc", 0},       {"", 0},
        {".", 0},            {"-.5", -0.5},      {"5.", 5},        {"1e999", 0},
        {"0000042", 42},     {"3\r4", 3},        {"--3", 0},
    };
    for (const Case& c : cases) EXPECT_DOUBLE_EQ(NumericValue(c.text), c.value) << c.text;
}

TEST(NumericValue, PlainNumberIsTheWholeText) {
    EXPECT_TRUE(IsPlainNumber(" 12.5 "));
    EXPECT_TRUE(IsPlainNumber("-1E3"));
    EXPECT_FALSE(IsPlainNumber("L/2"));
    EXPECT_FALSE(IsPlainNumber("100-R2"));
    EXPECT_FALSE(IsPlainNumber(""));
    EXPECT_FALSE(IsPlainNumber("5mm"));
}

TEST(GeneralText, ShortestTextWithFifteenDigits) {
    struct Case {
        double value;
        const char* text;
    };
    const Case cases[] = {
        {0, "0"},
        {-0.0, "0"},
        {5, "5"},
        {-2.5, "-2.5"},
        {0.1 + 0.2, "0.3"},
        {1.0 / 3, "0.333333333333333"},
        {123456789012345, "123456789012345"},
        {1e15, "1E+15"},
        {1.5e20, "1.5E+20"},
        {0.0001, "0.0001"},
        {0.00001, "1E-05"},
        {-0.000012, "-1.2E-05"},
        {1250.75, "1250.75"},
        {18000, "18000"},
        {1e100, "1E+100"},
    };
    for (const Case& c : cases) EXPECT_EQ(GeneralText(c.value), c.text) << c.value;
}

TEST(GeneralText, SinglesShowSevenDigits) {
    EXPECT_EQ(GeneralText(0.1f), "0.1");
    EXPECT_EQ(GeneralText(1250.75f), "1250.75");
    EXPECT_EQ(GeneralText(1.0f / 3), "0.3333333");
    EXPECT_EQ(GeneralText(16777216.0f), "1.677722E+07");
}

TEST(StandardText, LeadingBlankForNumbersThatAreNotNegative) {
    EXPECT_EQ(StandardText(5.0), " 5");
    EXPECT_EQ(StandardText(0.0), " 0");
    EXPECT_EQ(StandardText(0.5), " 0.5");
    EXPECT_EQ(StandardText(-2.5), "-2.5");
    EXPECT_EQ(StandardText(600.0f), " 600");
}

TEST(FormatPattern, RoundsToThePatternsDecimals) {
    struct Case {
        double value;
        const char* pattern;
        const char* text;
    };
    const Case cases[] = {
        {12.5, "###0.###", "12.5"},
        {0.25, "###0.###", "0.25"},
        {-3.5, "###0.###", "-3.5"},
        {1.23456, "###0.###", "1.235"},
        {0.0625, "###0.###", "0.063"},  // an exact tie rounds away from zero
        {-0.0625, "###0.###", "-0.063"},
        {2.0005, "###0.###", "2.001"},  // stored a hair above the tie
        {12.0001, "###0.###", "12"},    // no dangling decimal point
        {-0.0001, "###0.###", "0"},     // no negative zero
        {0, "###0", "0"},
        {0, "####", ""},
        {0, "###", ""},
        {7, "####", "7"},
        {7, "0000", "0007"},
        {12345, "0000", "12345"},
        {42, "00000", "00042"},
        {0.25, "####.###", ".25"},
        {1.23456789012, "######.########", "1.23456789"},
        {5, "######.########", "5"},
        {5, "########.0####", "5.0"},
        {5.123456, "########.0####", "5.12346"},
        {2.5, "#0", "3"},
        {-2.5, "#0", "-3"},
        {999.9996, "###0.###", "1000"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(FormatPattern(c.value, c.pattern), c.text) << c.value << " " << c.pattern;
    }
}

TEST(RoundDecimals, MatchesFormattingAndReadingBack) {
    EXPECT_EQ(RoundDecimals(0.123456785, 8), 0.12345678);  // stored just below the tie
    EXPECT_EQ(RoundDecimals(0.001953125, 8), 0.00195313);  // an exact tie: away from zero
    EXPECT_EQ(RoundDecimals(-0.001953125, 8), -0.00195313);
    EXPECT_EQ(RoundDecimals(1e300, 8), 1e300);
    EXPECT_EQ(RoundDecimals(NAN, 8), 0);
}

}  // namespace
}  // namespace retracer
