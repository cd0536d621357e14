// Reading numbers from text and the number-to-text forms.
#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <cstdint>
#include <random>
#include <string>

#include "base/value_text.h"

namespace retracer {
namespace {

TEST(NumericValue, ReadsTheLeadingNumberLeniently) {
    struct Case {
        const char* text;
        double value;
    };
    const Case cases[] = {
        {"12.5", 12.5},   {"  -3", -3},   {"+4", 4},     {"1 2 3", 123},   {" - 5", -5},
        {"1\t.\n5", 1.5}, {"1.2.3", 1.2}, {"2E3", 2000}, {"2e-2", 0.02},   {"2D2", 200},
        {"2d 2", 200},    {"7E", 7},      {"7EX", 7},    {"300Y590", 300}, {"abc", 0},
        {"", 0},          {".", 0},       {"-.5", -0.5}, {"5.", 5},        {"1e999", 0},
        {"0000042", 42},  {"3\r4", 3},    {"--3", 0},
    };
    for (const Case& c : cases) EXPECT_DOUBLE_EQ(NumericValue(c.text), c.value) << c.text;
}

// Short decimals are read on a fast path; it must give the correctly rounded value that
// from_chars gives, bit for bit, up to the longest numbers it takes and beyond.
TEST(NumericValue, ShortDecimalsReadExactlyAsFromChars) {
    std::mt19937_64 random(11);
    for (int i = 0; i < 200000; ++i) {
        std::string text = random() % 4 == 0 ? "-" : "";
        const int intDigits = static_cast<int>(random() % 12);
        const int decDigits = static_cast<int>(random() % 24);
        for (int k = 0; k < intDigits; ++k) text += static_cast<char>('0' + random() % 10);
        if (decDigits > 0 || intDigits == 0) text += '.';
        for (int k = 0; k < decDigits; ++k) text += static_cast<char>('0' + random() % 10);
        if (intDigits == 0 && decDigits == 0) text += '0';
        double want = 0;
        std::from_chars(text.data(), text.data() + text.size(), want);
        const double got = NumericValue(text);
        ASSERT_EQ(std::signbit(got), std::signbit(want)) << text;
        ASSERT_EQ(got, want) << text;
    }
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

// Values with few decimals take a fast path; whole thousandths have an exact expected text.
TEST(FormatPattern, ThousandthsFormatExactly) {
    std::mt19937_64 random(5);
    for (int i = 0; i < 100000; ++i) {
        const auto k = static_cast<std::int64_t>(random() % 16'000'000'000ull) - 8'000'000'000;
        const double v = static_cast<double>(k) / 1000.0;
        const std::uint64_t m = static_cast<std::uint64_t>(k < 0 ? -k : k);
        std::string frac = std::to_string(m % 1000);
        frac.insert(0, 3 - frac.size(), '0');
        const std::string want = (k < 0 ? "-" : "") + std::to_string(m / 1000) + "." + frac;
        ASSERT_EQ(FormatPattern(v, "0.000"), want) << k;
        ASSERT_EQ(FormatPattern(v + (k % 2 ? 1e-7 : -1e-7), "0.000"), want) << k;
        ASSERT_EQ(RoundDecimals(v, 8), v) << k;
    }
}

TEST(RoundDecimals, AgreesWithThePatternFormatOnAnyValue) {
    std::mt19937_64 random(3);
    std::uniform_real_distribution<double> unit(-1.0, 1.0);
    for (int i = 0; i < 100000; ++i) {
        const int decimals = static_cast<int>(random() % 9);
        const double v = unit(random) * std::pow(10.0, static_cast<double>(random() % 12) - 3);
        // A value just beside a tie of its last kept decimal, half of them.
        const double near =
            i % 2 ? v
                  : std::round(v * std::pow(10.0, decimals)) / std::pow(10.0, decimals) +
                        0.5 / std::pow(10.0, decimals);
        const std::string pattern = "0." + std::string(static_cast<std::size_t>(decimals), '#');
        ASSERT_EQ(RoundDecimals(near, decimals), NumericValue(FormatPattern(near, pattern)))
            << near << " to " << decimals;
    }
}

TEST(RoundDecimals, MatchesFormattingAndReadingBack) {
    EXPECT_EQ(RoundDecimals(0.123456785, 8), 0.12345678);  // stored just below the tie
    EXPECT_EQ(RoundDecimals(0.001953125, 8), 0.00195313);  // an exact tie: away from zero
    EXPECT_EQ(RoundDecimals(-0.001953125, 8), -0.00195313);
    EXPECT_EQ(RoundDecimals(1e300, 8), 1e300);
    EXPECT_EQ(RoundDecimals(NAN, 8), 0);
    EXPECT_FALSE(std::signbit(RoundDecimals(-0.0, 8)));  // as the digits read: "0.00000000"
    EXPECT_EQ(RoundDecimals(-4503599627370497.0, 3), -4503599627370497.0);
}

}  // namespace
}  // namespace retracer
