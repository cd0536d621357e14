// A worklist row's variables: how they are loaded before a job's scan, and how the row preview
// draws the part with them.
#include <gtest/gtest.h>

#include <filesystem>
#include <variant>

#include "drawing/dxf_reader.h"
#include "job/control_panel_lists.h"
#include "job/job_driver.h"
#include "job/job_variables.h"
#include "job/session.h"
#include "translate/translation_state.h"

#include "scratch_session.h"

namespace retracer {
namespace {

namespace fs = std::filesystem;
const std::string kBar = "\xC2\xA6";

JobRowVariables Row(std::string v, std::string r, std::string notes = "") {
    return JobRowVariables{4, "PANEL.PGM", std::move(v), std::move(r), std::move(notes)};
}

ProgramHeader Header() {
    ProgramHeader header;
    header.partLength = 600;
    header.partWidth = 400;
    header.partThickness = 18;
    return header;
}

TEST(LoadJobVariables, VVariablesSetTheirLetterSlots) {
    TranslationState state;
    ControlPanelLists panel;
    // V3 is D (slot 4); V8 and a name that is no number are not V variables; blanks and line
    // feeds inside the cell do not matter; later entries see earlier ones.
    ShowRowVariables(panel, LoadJobVariables(Row(" v3 = L-20 | V8=5 |VX=7|\nV0=D/2 | R1=9", ""),
                                             Header(), state));
    EXPECT_FLOAT_EQ(state.vars.Letter(ProgramVariables::kWidth), 400);
    EXPECT_FLOAT_EQ(state.vars.Letter(ProgramVariables::kThickness), 18);
    EXPECT_FLOAT_EQ(state.vars.Letter(4), 580);
    EXPECT_FLOAT_EQ(state.vars.Letter(1), 290);
    EXPECT_FLOAT_EQ(state.vars.Letter(9), 0);  // V8 would be slot 9
    EXPECT_EQ(panel.VVarList().Text(1, 2), "L-20");
    EXPECT_EQ(panel.VVarList().Text(2, 1) + panel.VVarList().Text(3, 1), "V0");
}

TEST(LoadJobVariables, RValuesKeepTheirTextAndOnlyBlanksBecomeZero) {
    TranslationState state;
    ControlPanelLists panel;
    ShowRowVariables(
        panel,
        LoadJobVariables(Row("", "R5=L/2 " + kBar + " #7=3 " + kBar + " R9= " + kBar + " R12=0.0",
                             "half" + kBar + "seven" + kBar),
                         Header(), state));
    EXPECT_EQ(state.vars.r[5], "L/2");
    EXPECT_EQ(state.vars.r[7] + state.vars.r[9], "30");
    EXPECT_EQ(state.vars.r[12], "0.0");
    EXPECT_EQ(state.vars.r[ProgramVariables::kAnyRSet], "1");
    // The expression is read where it is used, with the row's part length.
    EXPECT_DOUBLE_EQ(EvalExpression("R5+1", state.Eval()), 301);
    EXPECT_EQ(panel.RVarList().Text(2, 1), "R7");
    EXPECT_EQ(panel.RVarList().Text(2, 3), "seven");
}

TEST(LoadJobVariables, RowsThatLoadNothing) {
    JobRowVariables noFile = Row("V1=5", "R1=5");
    noFile.fileName.clear();
    JobRowVariables noRow = Row("V1=5", "R1=5");
    noRow.row = 0;
    // An empty cell names no R variable: R0 and the "any set" mark stay untouched.
    for (const JobRowVariables& row : {noFile, noRow, Row("", "")}) {
        TranslationState state;
        state.vars.r[0] = "12";
        const RowVariableLists lists = LoadJobVariables(row, Header(), state);
        EXPECT_EQ(lists.loaded, row.row != 0 && !row.fileName.empty());
        EXPECT_TRUE(lists.vVars.empty());
        EXPECT_EQ(state.vars.r[0], "12");
        EXPECT_EQ(state.vars.r[1], "");
        EXPECT_EQ(state.vars.r[ProgramVariables::kAnyRSet], "");
        EXPECT_EQ(state.vars.Letter(2), 0);
    }
}

class TranslateRowTest : public ScratchSessionTest {
  protected:
    void SetUp() override {
        ScratchSessionTest::SetUp();
        session_->destFolder = root_;
        // The program's own default puts the hole at 100; the row asks for half its length.
        Write("progs/HALF.PGM",
              "$=Half\n::UNm DL=800 DH=600 DS=18\n::SIDE=1;\nVAR{\n#5=100|w|x\n}VAR\n"
              "SIDE#1{\nW#81{ #1=r5 #2=50 #3=-5 }\n}SIDE\n");
        Worklist& w = session_->worklist;
        w.SetCell(2, WorklistColumn::kFilename, "HALF.PGM");
        w.SetCell(2, WorklistColumn::kPath, (root_ / "progs").string());
        w.SetCell(2, WorklistColumn::kLength, "600");
        w.SetCell(2, WorklistColumn::kRVariables, "R5=L/2");
    }

    std::vector<double> HoleXs(const fs::path& file) {
        Drawing drawing;
        std::string error;
        EXPECT_TRUE(ReadDxf(file, drawing, error)) << error;
        std::vector<double> xs;
        for (const Entity& e : drawing.entities) {
            if (const auto* c = std::get_if<CircleEntity>(&e.geometry)) xs.push_back(c->centre.x);
        }
        return xs;
    }
};

TEST_F(TranslateRowTest, PreviewUsesTheRowsSizeAndExpressionVariables) {
    // As a click on the row asks once a part size is known.
    JobResult result;
    ASSERT_TRUE(TranslateRow(*session_, 2, false, true, &result));
    EXPECT_EQ(result.output, session_->paths.appFolder / "Temp.DXF");
    EXPECT_EQ(HoleXs(result.output), std::vector<double>{300});
    // The Control Panel shows the row's variables and size, not the program's.
    EXPECT_EQ(session_->panel.RVarList().Text(1, 1) + "=" + session_->panel.RVarList().Text(1, 2),
              "R5=L/2");
    EXPECT_EQ(session_->panel.GetDimX(), " 600");

    // Saved previews go under the program's own name, mirrored after a click in "Mir".
    session_->settings.options.saveOnTranslate = true;
    ASSERT_TRUE(TranslateRow(*session_, 2, true, true, &result));
    EXPECT_EQ(result.output, root_ / "HALF.M.DXF");
    EXPECT_EQ(HoleXs(result.output), std::vector<double>{300});  // 600 - 300

    // A file name typed in other letter case finds the program and draws it.
    session_->worklist.SetCell(2, WorklistColumn::kFilename, "half.pgm");
    ASSERT_TRUE(TranslateRow(*session_, 2, false, true, &result));
    EXPECT_EQ(result.output, root_ / "HALF.DXF");
    EXPECT_EQ(HoleXs(result.output), std::vector<double>{300});

    // Rows without a program preview nothing.
    EXPECT_FALSE(TranslateRow(*session_, 0, false, false, &result));
    EXPECT_FALSE(TranslateRow(*session_, 3, false, false, &result));
}

}  // namespace
}  // namespace retracer
