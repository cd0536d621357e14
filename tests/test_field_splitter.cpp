#include "translate/field_splitter.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

namespace retracer {
namespace {

using namespace std::string_literals;

std::vector<std::string> FieldsOf(const FieldSplitter& splitter) {
    std::vector<std::string> fields;
    for (int i = 1; i <= splitter.FieldCount(); ++i) fields.emplace_back(splitter.Field(i));
    return fields;
}

struct SplitCase {
    const char* name;
    std::string text;
    std::string separators;
    std::vector<std::string> fields;
};

void PrintTo(const SplitCase& c, std::ostream* os) {
    *os << c.name;
}

class FieldSplitterTest : public testing::TestWithParam<SplitCase> {};

TEST_P(FieldSplitterTest, Splits) {
    const SplitCase& c = GetParam();
    FieldSplitter splitter;
    splitter.SetSeparators(c.separators);
    splitter.SetText(c.text);
    EXPECT_EQ(splitter.Text(), c.text);
    EXPECT_EQ(splitter.Separators(), c.separators);
    EXPECT_EQ(FieldsOf(splitter), c.fields);
    const int count = static_cast<int>(c.fields.size());
    EXPECT_EQ(splitter.FieldCount(), count);
    EXPECT_EQ(splitter.Field(count + 1), "");
    EXPECT_EQ(splitter.Field(count + 100), "");
    EXPECT_EQ(splitter.Field(0), "");
    EXPECT_EQ(splitter.Field(-1), "");

    // Setting both at once must split the same way.
    FieldSplitter assigned;
    assigned.Assign(c.text, c.separators);
    EXPECT_EQ(FieldsOf(assigned), c.fields);
}

const SplitCase kSplitCases[] = {
    {"NoSeparatorIsOneField", "G1", " ", {"G1"}},
    {"EmptyTextIsOneEmptyField", "", " ", {""}},
    {"FieldOneBeforeFirstSeparator", "X10 Y20", " ", {"X10", "Y20"}},
    {"LeadingSeparator", " X10", " ", {"", "X10"}},
    {"TrailingSeparator", "X10 ", " ", {"X10", ""}},
    {"RunGivesEmptyFields", "a||b", "|", {"a", "", "b"}},
    {"OnlySeparators", "||", "|", {"", "", ""}},
    {"SeveralSeparators", "G1X10Y20Z-5", "XYZ", {"G1", "10", "20", "-5"}},
    {"BlankAndLetters",
     "G1 X1250.5 Y300.25 Z-18.5",
     " XYZ",
     {"G1", "", "1250.5", "", "300.25", "", "-18.5"}},
    {"SeparatorsAreCaseSensitive", "x1X2", "X", {"x1", "2"}},
    {"NoSeparatorsAtAll", "a b", "", {"a b"}},
    {"RepeatedSeparatorCharacter", "a b", "  ", {"a", "b"}},
    {"BarBetweenBlanks", "V1=2 | V2=3", "|", {"V1=2 ", " V2=3"}},
    {"NulIsText", "a\0b c"s, " ", {"a\0b"s, "c"}},
    {"NulAsSeparator", "a\0b"s, "\0"s, {"a", "b"}},
    {"NonAsciiTextAsciiSeparator", "\xC3\x98 20", " ", {"\xC3\x98", "20"}},
    {"BrokenBarSeparator", "R1=5\xC2\xA6R2=7\xC2\xA6", "\xC2\xA6", {"R1=5", "R2=7", ""}},
    // Same lead byte (C2) as the separator, different character: not a separator.
    {"SharedLeadByteDoesNotSplit",
     "\xC2\xA2\xC2\xA6\xC2\xA3",
     "\xC2\xA6",
     {"\xC2\xA2", "\xC2\xA3"}},
    // "é" is C3 A9 and "©" is C2 A9: a byte table would cut "é" after its first byte.
    {"SharedTrailByteDoesNotSplit", "caf\xC3\xA9", "\xC2\xA9", {"caf\xC3\xA9"}},
    {"MixedAsciiAndMultiByte",
     "a|b\xC2\xA6"
     "c d",
     "|\xC2\xA6",
     {"a", "b", "c d"}},
    {"ThreeByteSeparator",
     "1\xE2\x82\xAC"
     "2",
     "\xE2\x82\xAC",
     {"1", "2"}},
    {"FourByteSeparator", "a\xF0\x9F\x98\x80\xF0\x9F\x98\x80", "\xF0\x9F\x98\x80", {"a", "", ""}},
    {"TwoMultiByteSeparators",
     "a\xC2\xA6"
     "b\xE2\x82\xAC"
     "c",
     "\xE2\x82\xAC\xC2\xA6",
     {"a", "b", "c"}},
    // A byte that is not part of a character separates as that byte.
    {"StrayByteSeparator",
     "a\x8E"
     "b",
     "\x8E",
     {"a", "b"}},
};

INSTANTIATE_TEST_SUITE_P(Cases, FieldSplitterTest, testing::ValuesIn(kSplitCases),
                         [](const testing::TestParamInfo<SplitCase>& case_info) {
                             return std::string(case_info.param.name);
                         });

TEST(FieldSplitterBehaviour, DefaultSeparatorIsBlank) {
    FieldSplitter splitter;
    EXPECT_EQ(splitter.Separators(), " ");
    EXPECT_EQ(splitter.FieldCount(), 1);
    EXPECT_EQ(splitter.Field(1), "");
    splitter.SetText("T1 M6");
    EXPECT_EQ(FieldsOf(splitter), (std::vector<std::string>{"T1", "M6"}));
}

TEST(FieldSplitterBehaviour, SetSeparatorsResplitsAndTextKeepsThem) {
    FieldSplitter splitter;
    splitter.SetText("X1 Y2");
    ASSERT_EQ(splitter.FieldCount(), 2);
    splitter.SetSeparators("XY");
    EXPECT_EQ(FieldsOf(splitter), (std::vector<std::string>{"", "1 ", "2"}));
    splitter.SetText("Y5");  // the separators stay until changed
    EXPECT_EQ(FieldsOf(splitter), (std::vector<std::string>{"", "5"}));
    splitter.SetSeparators("\xC2\xA6");
    splitter.SetSeparators(" ");  // back from the multi-byte table to the plain one
    splitter.SetText(
        "a\xC2\xA6"
        "b c");
    EXPECT_EQ(FieldsOf(splitter), (std::vector<std::string>{"a\xC2\xA6"
                                                            "b",
                                                            "c"}));
}

// Handlers narrow a line to one of its own fields; the views point into the splitter itself.
TEST(FieldSplitterBehaviour, TextFromItsOwnFields) {
    FieldSplitter splitter;
    splitter.SetText("N10 G1 X5 Y6");
    splitter.SetText(splitter.Field(3));
    EXPECT_EQ(splitter.Text(), "X5");
    EXPECT_EQ(splitter.FieldCount(), 1);
    splitter.SetText("A B C");
    splitter.SetText(splitter.Text());
    EXPECT_EQ(FieldsOf(splitter), (std::vector<std::string>{"A", "B", "C"}));
    splitter.SetText(std::string_view(splitter.Text()).substr(2));
    EXPECT_EQ(FieldsOf(splitter), (std::vector<std::string>{"B", "C"}));
}

TEST(FieldSplitterBehaviour, SeparatorsFromItsOwnStrings) {
    FieldSplitter splitter;
    splitter.SetText("1X2Y3");
    splitter.SetSeparators("XY");
    splitter.SetSeparators(splitter.Separators().substr(1));
    EXPECT_EQ(splitter.Separators(), "Y");
    EXPECT_EQ(FieldsOf(splitter), (std::vector<std::string>{"1X2", "3"}));

    // Text taken from the separators and separators from the text, in one call.
    splitter.SetText("x;y");
    splitter.SetSeparators("ab;c");
    splitter.Assign(splitter.Separators(), std::string_view(splitter.Text()).substr(1, 1));
    EXPECT_EQ(splitter.Text(), "ab;c");
    EXPECT_EQ(splitter.Separators(), ";");
    EXPECT_EQ(FieldsOf(splitter), (std::vector<std::string>{"ab", "c"}));
}

TEST(FieldSplitterBehaviour, CopiesAreIndependent) {
    FieldSplitter original;
    original.SetText("a b");
    const FieldSplitter copy = original;
    original.SetSeparators("b");
    original.SetText("xbyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyy");
    EXPECT_EQ(FieldsOf(copy), (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(original.FieldCount(), 2);
}

TEST(FieldSplitterBehaviour, LongTextWithManyFields) {
    std::string text;
    for (int i = 0; i < 200'000; ++i) text += "F" + std::to_string(i) + ",";
    FieldSplitter splitter;
    splitter.SetSeparators(",");
    splitter.SetText(text);
    ASSERT_EQ(splitter.FieldCount(), 200'001);
    EXPECT_EQ(splitter.Field(1), "F0");
    EXPECT_EQ(splitter.Field(123'457), "F123456");
    EXPECT_EQ(splitter.Field(200'000), "F199999");
    EXPECT_EQ(splitter.Field(200'001), "");
}

}  // namespace
}  // namespace retracer
