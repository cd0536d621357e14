// The expression entry point with the program's variables.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "translate/translation_state.h"

namespace retracer {
namespace {

class EvalExpressionTest : public ::testing::Test {
  protected:
    void SetLetter(char letter, float value) {
        state.vars.letters[static_cast<std::size_t>(letter - 'A' + 1)] = value;
    }
    double Eval(std::string_view text) { return EvalExpression(text, state.Eval()); }

    TranslationState state;
};

TEST_F(EvalExpressionTest, LetterVariablesAndTheLeadingEquals) {
    SetLetter('L', 600);
    SetLetter('H', 400);
    SetLetter('S', 18);
    EXPECT_EQ(Eval("=L/2"), 300);
    EXPECT_EQ(Eval("  =H-32  "), 368);
    EXPECT_EQ(Eval("l+h+s"), 1018);  // names are upper-cased before the letter is looked up
    EXPECT_EQ(Eval("Length"), 600);  // the first letter decides
    EXPECT_EQ(Eval("T+U+Z"), 0);     // only A to S are letter variables
    EXPECT_EQ(Eval("==5"), 0);       // only one "=" is dropped
}

TEST_F(EvalExpressionTest, DAndEAreVariablesNeverExponents) {
    SetLetter('D', 5);
    SetLetter('E', 7);
    EXPECT_EQ(Eval("D*2"), 10);
    EXPECT_EQ(Eval("2E3"), 2);  // "2" then the variable E: the rest is ignored
    EXPECT_EQ(Eval("E+D"), 12);
    EXPECT_EQ(Eval("2e3"), 2000);  // lower-case e stays an exponent
    EXPECT_EQ(Eval("d*2"), 10);    // a lower-case name is upper-cased to the letter D
}

TEST_F(EvalExpressionTest, MachineTypesFourAndSixRenameHfAndLf) {
    SetLetter('S', 18);
    SetLetter('H', 400);
    SetLetter('L', 600);
    for (int type : {0, 4, 6}) {
        state.machineType = type;
        const bool renamed = type == 4 || type == 6;
        EXPECT_EQ(Eval("hf"), renamed ? 18 : 400) << type;  // else "h..." reads H
        EXPECT_EQ(Eval("lf"), renamed ? 400 : 600) << type;
        EXPECT_EQ(Eval("HF"), 400) << type;  // the exact lower-case names only
    }
}

TEST_F(EvalExpressionTest, RVariablesReadNumbersAndExpressions) {
    SetLetter('L', 600);
    state.vars.r[5] = "12.5";
    state.vars.r[6] = "L/2";
    state.vars.r[7] = "R6+R5";
    state.vars.r[8] = "";
    state.vars.r[9] = "1E3";  // a stored number keeps its exponent
    EXPECT_EQ(Eval("R5*2"), 25);
    EXPECT_EQ(Eval("r6"), 300);
    EXPECT_EQ(Eval("R7"), 312.5);
    EXPECT_EQ(Eval("R8+1"), 1);
    EXPECT_EQ(Eval("R9"), 1000);
    EXPECT_EQ(Eval("R300"), 0);
    EXPECT_EQ(Eval("R301+R999+R"), 0);  // no such variables
}

TEST_F(EvalExpressionTest, RVariablesThatReferToThemselvesEnd) {
    state.vars.r[1] = "R2+1";
    state.vars.r[2] = "R1+1";
    state.vars.r[3] = "R3";
    const double v = Eval("R1");
    EXPECT_TRUE(std::isfinite(v));
    EXPECT_EQ(Eval("R3"), 0);
    EXPECT_GT(state.evalFaults.count, 0);
}

// Each name of R1 counts on its own until the depth cut, yet a text naming itself eight times is
// worked out at once instead of 8^16 times over (found by fuzzing: it hung the job).
TEST_F(EvalExpressionTest, RVariablesNamingThemselvesOftenEndQuickly) {
    state.vars.r[0] = "R0+R0+1";
    EXPECT_EQ(Eval("R0"), 65535);  // 2^16 - 1: sixteen levels before R0 reads 0
    state.vars.r[1] = "R1+R1+R1+R1+R1+R1+R1+R1+1";
    EXPECT_EQ(Eval("R1"), 40210710958665.0);  // (8^16 - 1) / 7
    state.vars.r[2] = "R3*2+R3";
    state.vars.r[3] = "R2-R2+1";
    EXPECT_EQ(Eval("R2+R3"), 4);  // R3 reads 1 wherever it is met, R2 3
}

TEST_F(EvalExpressionTest, ResultIsRoundedToEightDecimals) {
    EXPECT_EQ(Eval("0.1+0.2"), 0.3);
    EXPECT_EQ(Eval("1/3"), 0.33333333);
    EXPECT_EQ(Eval("2/3"), 0.66666667);
    EXPECT_EQ(Eval("-2/3"), -0.66666667);
    EXPECT_EQ(Eval("0.000000005"), 0.00000001);  // a decimal tie goes away from zero
    EXPECT_EQ(Eval("1234567.123456789"), 1234567.12345679);
    EXPECT_EQ(Eval("123456789012.5"), 123456789012.5);
}

TEST_F(EvalExpressionTest, FaultsAreLoggedWithTheFirstText) {
    EXPECT_EQ(Eval("5/0"), 0);
    EXPECT_EQ(Eval("1e999"), 0);
    EXPECT_EQ(state.evalFaults.count, 2);
    EXPECT_EQ(state.evalFaults.firstText, "5/0");
    EXPECT_TRUE(state.evalFaults.firstFaults.divisionByZero);
    EvalContext quiet{state.vars, 0, nullptr};
    EXPECT_EQ(EvalExpression("1/0", quiet), 0);  // nobody listening is fine too
}

// Assignments from text: R variables keep their text, letters take the value; names and slots
// that are no variable change nothing.
TEST_F(EvalExpressionTest, AssignmentsFromText) {
    SetLetter('L', 600);
    const struct {
        const char* name;
        const char* text;
        bool taken;
    } rCases[] = {
        {"R5", "L/2", true},  {"#7", "3", true},   {"R299", "1", true},
        {"R300", "1", false}, {"R-1", "1", false}, {"", "1", false},
    };
    for (const auto& c : rCases) {
        EXPECT_EQ(AssignRVariable(state.vars, c.name, c.text), c.taken) << c.name;
    }
    EXPECT_EQ(state.vars.r[5], "L/2");
    EXPECT_EQ(state.vars.r[7], "3");
    EXPECT_EQ(state.vars.r[ProgramVariables::kAnyRSet], "1");
    EXPECT_EQ(Eval("R5+R7"), 303);

    EXPECT_TRUE(AssignLetterVariable(state.vars, 4, "R5-20", 0, &state.evalFaults));  // D
    EXPECT_EQ(Eval("D"), 280);
    EXPECT_FALSE(AssignLetterVariable(state.vars, 0, "1"));
    EXPECT_FALSE(AssignLetterVariable(state.vars, ProgramVariables::kLetterCount, "1"));
    EXPECT_TRUE(AssignLetterVariable(state.vars, 2, "1/0", 0, &state.evalFaults));
    EXPECT_EQ(state.evalFaults.firstText, "1/0");
}

// What the notes of an expression hear: names that read 0 for want of a variable and numbers
// written with a decimal comma, as written; the value itself is the same with or without notes.
struct RecordedNotes final : ExpressionNotes {
    void UnknownName(std::string_view name) override { heard.push_back(std::string(name)); }
    void DecimalComma(std::string_view number, double reads) override {
        heard.push_back(std::string(number) + " reads " + std::to_string(reads));
    }
    std::vector<std::string> heard;
};

TEST_F(EvalExpressionTest, NotesHearUnknownNamesAndDecimalCommas) {
    SetLetter('L', 716);
    SetLetter('S', 19);
    SetLetter('D', 5);
    state.vars.r[5] = "x*2";
    state.vars.r[6] = "12.5";
    const struct {
        const char* text;
        double value;
        std::vector<std::string> heard;
    } cases[] = {
        {"x-31", -31, {"x"}},
        {"y/2-80", -80, {"y"}},
        {"-s-2", -21, {}},  // lower-case s is the thickness S
        {"l-16+D", 705, {}},
        {"width+1", 1, {"width"}},  // the first letter decides: W is no variable
        {"xDE+1", 1, {"xDE"}},      // told as written, not with the D and E stand-ins
        {"T+U", 0, {"T", "U"}},
        {"r5+1", 1, {"x"}},       // the name inside an R variable's text
        {"r6+r7", 12.5, {"r7"}},  // an R variable that nothing set
        {"R301", 0, {"R301"}},    // beyond the table
        {"7,5", 7, {"7,5 reads 7.000000"}},
        {"x+12.5,25", 12.5, {"x", "12.5,25 reads 12.500000"}},
        {"(1,5)", 1, {"1,5 reads 1.000000"}},
        {"W,J", 0, {"W"}},  // a comma after a name is not a decimal comma
        {"7, 5", 7, {}},    // nor one followed by a blank
        {"7,", 7, {}},
    };
    for (const auto& c : cases) {
        RecordedNotes notes;
        state.notes = &notes;
        EXPECT_EQ(Eval(c.text), c.value) << c.text;
        EXPECT_EQ(notes.heard, c.heard) << c.text;
        state.notes = nullptr;
        EXPECT_EQ(Eval(c.text), c.value) << c.text << ": without notes";
    }
}

}  // namespace
}  // namespace retracer
