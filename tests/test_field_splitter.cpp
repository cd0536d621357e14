#include "base/field_splitter.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace retracer {
namespace {

using namespace std::string_literals;
using Fields = std::vector<std::string>;

Fields FieldsOf(const FieldSplitter& splitter) {
    Fields fields;
    for (int i = 1; i <= splitter.FieldCount(); ++i) fields.emplace_back(splitter.Field(i));
    return fields;
}

TEST(FieldSplitterTest, Splits) {
    const struct {
        std::string text;
        std::string separators;
        Fields fields;
    } cases[] = {
        {"", " ", {""}},
        {" X10 ", " ", {"", "X10", ""}},
        {"a||b", "|", {"a", "", "b"}},
        {"G1 X1250.5 Y300.25", " XY", {"G1", "", "1250.5", "", "300.25"}},
        {"x1X2", "X", {"x1", "2"}},
        {"a b", "", {"a b"}},
        {"a\0b c"s, " ", {"a\0b"s, "c"}},
        {"R1=5\xC2\xA6R2=7\xC2\xA6", "\xC2\xA6", {"R1=5", "R2=7", ""}},
        // Same lead byte (C2) as the separator, different character: not a separator.
        {"\xC2\xA2\xC2\xA6\xC2\xA3", "\xC2\xA6", {"\xC2\xA2", "\xC2\xA3"}},
        // "é" is C3 A9 and "©" is C2 A9: a byte table would cut "é" after its first byte.
        {"caf\xC3\xA9", "\xC2\xA9", {"caf\xC3\xA9"}},
        {"a|b\xC2\xA6x d\xF0\x9F\x98\x80", "|\xC2\xA6\xF0\x9F\x98\x80", {"a", "b", "x d", ""}},
        // A byte that is not part of a character separates as that byte.
        {"a\x8Ez", "\x8E", {"a", "z"}},
    };
    for (const auto& c : cases) {
        FieldSplitter splitter;
        splitter.SetSeparators(c.separators);
        splitter.SetText(c.text);
        EXPECT_EQ(FieldsOf(splitter), c.fields) << testing::PrintToString(c.text);
        const int count = static_cast<int>(c.fields.size());
        EXPECT_EQ(splitter.Field(count + 1), "");
        EXPECT_EQ(splitter.Field(0), "");
        FieldSplitter assigned;  // setting both at once splits the same way
        assigned.Assign(c.text, c.separators);
        EXPECT_EQ(FieldsOf(assigned), c.fields);
    }
}

TEST(FieldSplitterTest, SeparatorsAreBlankUntilChangedAndResplit) {
    FieldSplitter splitter;
    EXPECT_EQ(FieldsOf(splitter), Fields{""});
    splitter.SetText("X1 Y2");
    EXPECT_EQ(FieldsOf(splitter), (Fields{"X1", "Y2"}));
    splitter.SetSeparators("XY");
    EXPECT_EQ(FieldsOf(splitter), (Fields{"", "1 ", "2"}));
    splitter.SetText("Y5");  // the separators stay until changed
    EXPECT_EQ(FieldsOf(splitter), (Fields{"", "5"}));
    splitter.SetSeparators("\xC2\xA6");
    splitter.SetSeparators(" ");  // back from the multi-byte table to the plain one
    splitter.SetText("a\xC2\xA6z c");
    EXPECT_EQ(FieldsOf(splitter), (Fields{"a\xC2\xA6z", "c"}));
}

// Handlers narrow a line to one of its own fields; the views point into the splitter itself.
TEST(FieldSplitterTest, TextAndSeparatorsFromItsOwnStrings) {
    FieldSplitter splitter;
    splitter.SetText("N10 G1 X5 Y6");
    splitter.SetText(splitter.Field(3));
    EXPECT_EQ(FieldsOf(splitter), Fields{"X5"});
    splitter.SetText("x;y");
    splitter.SetSeparators("ab;c");
    splitter.Assign(splitter.Separators(), std::string_view(splitter.Text()).substr(1, 1));
    EXPECT_EQ(splitter.Text(), "ab;c");
    EXPECT_EQ(splitter.Separators(), ";");
    EXPECT_EQ(FieldsOf(splitter), (Fields{"ab", "c"}));
}

TEST(FieldSplitterTest, CopiesAreIndependentAndLongTextSplits) {
    FieldSplitter original;
    original.SetText("a b");
    const FieldSplitter copy = original;
    original.SetSeparators("b");
    original.SetText("xbyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyy");
    EXPECT_EQ(FieldsOf(copy), (Fields{"a", "b"}));

    std::string text;
    for (int i = 0; i < 200'000; ++i) text += "F" + std::to_string(i) + ",";
    original.Assign(text, ",");
    ASSERT_EQ(original.FieldCount(), 200'001);
    EXPECT_EQ(original.Field(123'457), "F123456");
    EXPECT_EQ(original.Field(200'000), "F199999");
    EXPECT_EQ(original.Field(200'001), "");
}

}  // namespace
}  // namespace retracer
