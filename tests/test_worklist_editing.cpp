// Editing the worklist: adding programs, the row preview on a click, deleting, clearing, paste
// with fill-down and the grid's tip.
#include <gtest/gtest.h>

#include <filesystem>

#include "job/job_driver.h"
#include "job/session.h"
#include "job/worklist_editor.h"

#include "scratch_session.h"

namespace retracer {
namespace {

namespace fs = std::filesystem;

class WorklistEditingTest : public ScratchSessionTest {
  protected:
    void SetUp() override {
        ScratchSessionTest::SetUp();
        session_->destFolder = root_;
        for (const std::string name : {"A.PGM", "B.PGM"}) {
            Write("progs/" + name,
                  "$\r\n$=Side " + name +
                      "\r\n::UNm DL=720 DH=560.5 DS=18\r\n::SIDE=1;\n"
                      "VAR{\n#5=L/2|w|half\n}VAR\nSIDE#1{\nW#81{ #1=r5 #2=50 #3=-5 }\n}SIDE\n");
        }
        Write("progs/NOTES.TXT", "not a program\n");
    }

    Worklist& W() { return session_->worklist; }
    std::string Cells(int row, std::initializer_list<int> columns) {
        std::string text;
        for (int column : columns) text += W().GetCell(row, column) + "|";
        return text;
    }

    WorklistEditor editor_;
};

TEST_F(WorklistEditingTest, AddedFilesGoAfterTheFirstGapAndReplaceWhatIsThere) {
    for (int r : {1, 2, 3, 5}) W().SetCell(r, WorklistColumn::kFilename, "OLD.PGM");
    W().SetCell(5, WorklistColumn::kMir, "2");
    W().SetCell(5, WorklistColumn::kJob, "Smith");
    W().SetCell(5, WorklistColumn::kOutputFilename, "KEEP");
    W().SetCell(5, WorklistColumn::kVVariables, "V1=3");
    EXPECT_EQ(
        editor_.AddFiles(*session_, {"A.PGM", "NOTES.TXT", "GONE.PGM", "B.PGM"}, root_ / "progs"),
        2);
    EXPECT_EQ(editor_.NextRow(), 5);
    namespace C = WorklistColumn;
    EXPECT_EQ(Cells(4, {C::kFilename, C::kNorm, C::kPartDescription, C::kLength, C::kWidth}),
              "A.PGM|1|Side A.PGM|720|560.5|");
    EXPECT_EQ(W().GetCell(4, WorklistColumn::kPath).back(),
              static_cast<char>(fs::path::preferred_separator));
    EXPECT_NE(W().GetCell(4, WorklistColumn::kRVariables).find("L/2"), std::string::npos);
    // The program's own cells were replaced, the user's kept.
    EXPECT_EQ(Cells(5, {C::kFilename, C::kVVariables, C::kMir, C::kJob, C::kOutputFilename}),
              "B.PGM||2|Smith|KEEP|");
    EXPECT_EQ(W().GetCell(6, WorklistColumn::kFilename), "");
    ASSERT_EQ(prompt_.messages.size(), 1u);  // the missing file was asked about, Yes went on

    // No stops adding at the missing file.
    prompt_ = RecordingPrompt();
    prompt_.answers = {false};
    EXPECT_EQ(editor_.AddFiles(*session_, {"GONE.PGM", "A.PGM"}, root_ / "progs"), 0);
    EXPECT_EQ(W().GetCell(6, WorklistColumn::kFilename), "");
}

TEST_F(WorklistEditingTest, ClicksPreviewRowsOncePerCell) {
    W().SetCell(7, WorklistColumn::kFilename, "A.PGM");
    W().SetCell(7, WorklistColumn::kPath, (root_ / "progs").string());
    W().SetCell(7, WorklistColumn::kLength, "600");
    session_->settings.options.saveOnTranslate = true;
    struct Click {
        int column;
        int row;
        bool previews;
        const char* made;  // the drawing the preview wrote, "" for none
    };
    const Click clicks[] = {
        {2, 7, true, "A.M.DXF"}, {1, 7, true, "A.DXF"}, {1, 7, false, ""},
        {4, 7, false, ""},       {1, 7, true, "A.DXF"}, {3, 0, false, ""},
    };
    for (const Click& click : clicks) {
        fs::remove(root_ / "A.DXF");
        fs::remove(root_ / "A.M.DXF");
        JobResult result;
        EXPECT_EQ(editor_.CellClick(*session_, click.column, click.row, &result), click.previews)
            << click.column << "," << click.row;
        for (const std::string name : {"A.DXF", "A.M.DXF"}) {
            EXPECT_EQ(fs::exists(root_ / name), name == click.made) << name;
        }
        // The caller gets the preview's job, to show its drawing.
        EXPECT_EQ(result.output.filename().string(), click.made);
        if (click.previews) {
            EXPECT_EQ(editor_.CurrentMirror(), click.column == 2);
        }
    }
    EXPECT_EQ(editor_.CurrentRow(), 0);  // a click on a column caption
    EXPECT_FALSE(editor_.CurrentMirror());
    editor_.FocusLost();
    EXPECT_TRUE(editor_.CellClick(*session_, 2, 7));
    EXPECT_EQ(editor_.CurrentRow(), 7);
    editor_.ForgetCurrentRow();  // a program file shown instead
    EXPECT_EQ(editor_.CurrentRow(), 0);
    EXPECT_FALSE(editor_.CurrentMirror());
    EXPECT_TRUE(session_->panel.VariableListsEnabled());
    editor_.FocusLost();
    EXPECT_FALSE(editor_.CellClick(*session_, 3, 0));
    editor_.FocusLost();
    EXPECT_TRUE(editor_.CellClick(*session_, 0, 7));  // the row header
}

TEST_F(WorklistEditingTest, DeleteAndClearAskFirst) {
    for (int r = 1; r <= 6; ++r) W().SetCell(r, WorklistColumn::kFilename, std::to_string(r));
    W().SetCellNote(5, WorklistColumn::kRVariables, "note of five");
    session_->panel.PrgList().Add("N10");
    prompt_.answers = {false, true, false, true};
    EXPECT_FALSE(DeleteSelectedRows(*session_, {2, 4}));
    EXPECT_EQ(W().GetCell(2, WorklistColumn::kFilename), "2");
    EXPECT_EQ(session_->panel.PrgList().Count(), 1);
    EXPECT_TRUE(DeleteSelectedRows(*session_, {4, 2}));
    std::string column;
    for (int r = 1; r <= 6; ++r) column += W().GetCell(r, WorklistColumn::kFilename) + "|";
    EXPECT_EQ(column, "1|3|5|6|||");
    EXPECT_EQ(W().GetCellNote(3, WorklistColumn::kRVariables), "note of five");
    EXPECT_EQ(W().GetCellNote(5, WorklistColumn::kRVariables), "");
    EXPECT_EQ(session_->panel.PrgList().Count(), 0);

    EXPECT_FALSE(ClearWorklist(*session_));
    EXPECT_EQ(W().LastJobRow(), 4);
    EXPECT_TRUE(ClearWorklist(*session_));
    EXPECT_EQ(W().LastJobRow(), 0);
    EXPECT_EQ(prompt_.messages.size(), 4u);
}

TEST(WorklistPaste, FillsTheFirstColumnDownTheSelection) {
    struct Case {
        CellBlock selection;
        int activeRow;
        const char* clipboard;
        const char* column1;  // rows 1 to 6 and 500 afterwards, then row 3 of column 2
    };
    const Case cases[] = {
        {{1, 3, 3}, 3, "5\t6\n7\t8\n", "||5|7|||||6"},  // single cell: the grid's paste only
        {{1, 2, 5}, 2, "5\n7\n", "|5|5|5|5||||"},       // block of rows: filled down
        {{0, 0, 0}, 4, "9", "|||9|9|9|9||"},            // no block: from the active cell to the end
    };
    for (const Case& c : cases) {
        Worklist w;
        PasteWithFillDown(w, c.selection, 1, c.activeRow, c.clipboard);
        std::string cells;
        for (int r : {1, 2, 3, 4, 5, 6, 500}) cells += w.GetCell(r, 1) + "|";
        EXPECT_EQ(cells + "|" + w.GetCell(3, 2), c.column1) << c.clipboard;
    }
}

TEST(WorklistTip, ShownTheFirstFourTimes) {
    WorklistEditor editor;
    for (int i = 1; i <= 6; ++i) {
        EXPECT_EQ(editor.TipText().empty(), i > 4) << i;
    }
}

}  // namespace
}  // namespace retracer
