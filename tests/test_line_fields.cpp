// Reading words, coordinates, tools and comments from the current program line.
#include <gtest/gtest.h>

#include <string>

#include "translate/line_fields.h"

namespace retracer {
namespace {

class LineFieldsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        state.vars.letters[ProgramVariables::kLength] = 1000;
        state.vars.letters[ProgramVariables::kWidth] = 600;
    }
    FieldSplitter& Line(std::string_view text) {
        line.SetText(text);
        return line;
    }

    TranslationState state;
    FieldSplitter line;
};

TEST_F(LineFieldsTest, CoordinateMappings) {
    // Each reader, for mappings 0 to 3, on "G1 X10 Y20 I30 J40 Q50".
    struct Case {
        float (*read)(std::string_view, const TranslationState&);
        bool centre;
        float expected[4];
    };
    const Case cases[] = {
        {GetAwkValX, false, {10, 10, 990, 990}}, {GetAwkValY, false, {580, 20, 580, 20}},
        {GetAwkValI, true, {30, 30, 970, 970}},  {GetAwkValJ, true, {560, 40, 560, 40}},
        {GetAwkValQx, true, {50, 50, 950, 950}}, {GetAwkValQy, true, {550, 50, 550, 50}},
    };
    for (const Case& c : cases) {
        for (int mapping = 0; mapping < 4; ++mapping) {
            state.xyMapping =
                c.centre ? 3 - mapping : mapping;  // the other mapping must not matter
            state.centreMapping = c.centre ? mapping : 3 - mapping;
            EXPECT_EQ(c.read("G1 X10 Y20 I30 J40 Q50", state), c.expected[mapping])
                << "mapping " << mapping << " expected " << c.expected[mapping];
        }
    }
}

TEST_F(LineFieldsTest, CoordinatesAreNotExpressions) {
    state.xyMapping = 1;
    EXPECT_EQ(GetAwkValX("G1 X10+5 Y2", state), 10);
    EXPECT_EQ(GetAwkValY("G1 X10", state), 0);  // an absent word reads 0
    state.xyMapping = 0;
    EXPECT_EQ(GetAwkValY("G1 X10 Y20", state), 580);
}

TEST_F(LineFieldsTest, WordValueEvaluatesAndLeavesTheLetterAsSeparator) {
    EXPECT_EQ(WordValue(Line("G1 X=L/2 Z-5"), 'X', state), 500);
    EXPECT_EQ(line.FieldCount(), 2);
    EXPECT_EQ(WordValue(Line("G1 X10"), 'Z', state), 0);
    EXPECT_EQ(line.FieldCount(), 1);
    EXPECT_EQ(WordValue(Line("G1 F12000 Z-18.5"), 'Z', state), -18.5);
}

TEST_F(LineFieldsTest, ToolNames) {
    struct Case {
        const char* line;
        const char* tool;
    };
    // The two characters after "T" are not part of the number.
    const Case cases[] = {
        {"G1 T00101", "_T101"}, {"G1 T01a5", "_T105"},  {"G1 T01z", "_T350"},
        {"T00005 F3", "_T5"},   {"G1 X10", ""},         {"G1 T0", ""},
        {"G1 T01abc", "_T100"}, {"G1 T0017T8", "_T17"},
    };
    for (const Case& c : cases) EXPECT_EQ(GetTool(Line(c.line)), c.tool) << c.line;
}

TEST_F(LineFieldsTest, DrillToolLists) {
    struct Case {
        const char* line;
        const char* tools;
    };
    // A range that runs backwards adds nothing.
    const Case cases[] = {
        {"T000103|07", "010304050607"}, {"T0005 X1", "05"}, {"T000102", "0102"},
        {"T0001|04", "01020304"},       {"X5", ""},         {"T000103|", "0103"},
        {"T0098|99", "9899"},           {"T00;01", ""},     {"T000506|03", "050603"}};
    for (const Case& c : cases) EXPECT_EQ(GetDrTool(Line(c.line)), c.tools) << c.line;
}

TEST(LineText, CommentsAndTildes) {
    EXPECT_EQ(GetComment("W#89{ W$= side panel  #1=5 }"), "side panel");
    EXPECT_EQ(GetComment("W$=open ended"), "");
    EXPECT_EQ(GetComment("no comment here #1=2"), "");
    EXPECT_EQ(RemoveTilde("  ~A!B~ "), "AB");
    EXPECT_EQ(RemoveTilde("!~"), "");
}

TEST(RouteSequence, CountsOnlyWhenKept) {
    TranslationState state;
    IncRSeq(state, false);
    EXPECT_EQ(state.routeSeq, "");
    IncRSeq(state, true);
    EXPECT_EQ(state.routeSeq, "1");
    IncRSeq(state, true);
    EXPECT_EQ(state.routeSeq, "2");
}

}  // namespace
}  // namespace retracer
