// The Control Panel's lists as models: V and R variables, part size, subprogram calls, and
// their text forms in a worklist row.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "job/control_panel_lists.h"
#include "worklist/worklist.h"

using namespace retracer;

namespace {

const std::string kBar = "\xC2\xA6";  // "¦"

void AddRVars(ControlPanelLists& lists, const std::vector<std::string>& entries) {
    for (std::string entry : entries) lists.AddRVar(entry);
}

TEST(RVarListTest, AddRVarSplitsTheEntryAndShortensIt) {
    struct Case {
        const char* entry;
        std::string fields;  // name|value|description
        const char* shortened;
    };
    const std::vector<Case> cases = {
        {"#1=#2*2|uses #2", "R1|R2*2|uses R2", "R1=R2*2"},  // every "#" turns
        {"R3=1=2|d", "R3|1|2", "R3=1"},                     // "=" and "|" both separate
        {"R7", "R7||", "R7="},
    };
    for (const Case& c : cases) {
        ControlPanelLists lists;
        std::string entry = c.entry;
        const RVarFields f = lists.AddRVar(entry);
        EXPECT_EQ(entry, c.shortened) << c.entry;
        EXPECT_EQ(f.name + "|" + f.value + "|" + f.description, c.fields) << c.entry;
        const TextGrid& grid = lists.RVarList();
        ASSERT_EQ(grid.RowCount(), 1) << c.entry;
        EXPECT_EQ(grid.Text(1, 1) + "|" + grid.Text(1, 2) + "|" + grid.Text(1, 3), c.fields);
    }
}

TEST(RVarListTest, ClearEmptiesRowsAndRestartsTheCounter) {
    ControlPanelLists lists;
    AddRVars(lists, {"R1=1|a", "R2=2|b", "R3=3|c", "Clear"});
    EXPECT_EQ(lists.RVarList().RowCount(), 3);
    EXPECT_EQ(lists.RVarList().Text(3, 3), "");
    AddRVars(lists, {"R8=80|new", "clear"});  // another case is an entry like any other
    EXPECT_EQ(lists.RVarList().Text(1, 1), "R8");
    EXPECT_EQ(lists.RVarList().Text(2, 1), "clear");
}

TEST(RVarListTest, StoreRVarsInRowSkipsRowsThatAreNotRVariables) {
    ControlPanelLists lists;
    AddRVars(lists, {"R1=10|Width of shelf", "X2=20|not a variable", " R3=30|padded name",
                     "=|empty name", "r4=40|lower case", "R5=|Höhe"});
    Worklist worklist;
    ASSERT_TRUE(lists.StoreRVarsInRow(worklist, 2));
    EXPECT_EQ(worklist.GetCell(2, WorklistColumn::kRVariables),
              "R1=10" + kBar + " R3=30" + kBar + "R5=");
    EXPECT_EQ(worklist.GetCellNote(2, WorklistColumn::kRVariables),
              "Width of shelf" + kBar + "padded name" + kBar + "Höhe" + kBar);
}

TEST(RVarListTest, StoredTextHasNoSeparatorAfterItsLastEntry) {
    // A text of three characters or less loses its separator too.
    for (const auto& [entries, text] :
         std::vector<std::pair<std::vector<std::string>, std::string>>{
             {{"R1=5|a", "R2=L/2|b"}, "R1=5" + kBar + "R2=L/2"}, {{"R=|x"}, "R="}, {{}, ""}}) {
        ControlPanelLists lists;
        AddRVars(lists, entries);
        EXPECT_EQ(lists.RVarText().text, text);
    }
}

TEST(VVarListTest, NamesAndValuesPairUpByArrivalAndEightAreStored) {
    ControlPanelLists lists;
    Worklist worklist;
    lists.AddVVar(VVarMode::kName, "V9");
    lists.AddVVar(VVarMode::kName, "V8");
    lists.AddVVar(VVarMode::kClear, "ignored");
    lists.AddVVar(VVarMode::kValue, "10");  // both counters restarted
    lists.AddVVar(VVarMode::kName, "V0");
    EXPECT_EQ(lists.VVarList().Text(2, 1), "");  // V8 cleared
    ASSERT_TRUE(lists.StoreVVarsInRow(worklist, 5));
    EXPECT_EQ(worklist.GetCell(5, WorklistColumn::kVVariables),
              "V0=10 | = | = | = | = | = | = | =");
    for (int i = 1; i <= 8; ++i) {
        lists.AddVVar(VVarMode::kName, "V" + std::to_string(i));
        lists.AddVVar(VVarMode::kValue, std::to_string(i));
    }
    EXPECT_EQ(lists.VVarList().RowCount(), 9) << "a ninth is shown but not stored";
    ASSERT_TRUE(lists.StoreVVarsInRow(worklist, 5));
    EXPECT_EQ(worklist.GetCell(5, WorklistColumn::kVVariables),
              "V0=10 | V1=1 | V2=2 | V3=3 | V4=4 | V5=5 | V6=6 | V7=7");
}

TEST(VarListStoreTest, NoCurrentJobLeavesTheWorklistAlone) {
    ControlPanelLists lists;
    for (int row : {0, -1, 501}) {
        Worklist worklist;
        const auto before = worklist.Revision();
        EXPECT_FALSE(lists.StoreVVarsInRow(worklist, row)) << row;
        EXPECT_FALSE(lists.StoreRVarsInRow(worklist, row)) << row;
        EXPECT_EQ(worklist.Revision(), before) << row;
    }
}

TEST(ControlPanelListsTest, PartSizeShownAndCleared) {
    ControlPanelLists lists;
    ProgramHeader header;
    header.partWidth = 400.5;
    lists.ShowPartSize(header);
    EXPECT_EQ(lists.GetDimY(), " 400.5");
    lists.ClearPartSize();
    EXPECT_EQ(lists.GetDimY(), "");
    EXPECT_EQ(lists.DimList().Text(2, 1), "Height  (H) ");  // captions stay
}

TEST(ControlPanelListsTest, SubprogramNotesListNonEmptyParametersAndClearRestoresTenRows) {
    SubprogramCall call;
    call.fileName = "TÜR.PGM";
    call.parentCall = 3;
    call.parameters[299] = "L/2";  // the last one
    call.parameters[0] = "5";
    ControlPanelLists lists;
    lists.AddSubprogramCall(" 0", &call);
    EXPECT_EQ(lists.SubList().Text(1, 1), " 0");
    EXPECT_EQ(lists.SubList().Note(1, 2), "Rnnn: TÜR.PGM\rR0=5\rR299=L/2\r");
    call.parameters = {};
    lists.ListSubprogramCalls(std::vector<SubprogramCall>(12, call));
    EXPECT_EQ(lists.SubList().RowCount(), 12);
    EXPECT_EQ(lists.SubList().Text(12, 1) + lists.SubList().Text(12, 2), " 3TÜR.PGM");
    EXPECT_EQ(lists.SubList().Note(12, 2), "");  // no parameters, no note
    lists.AddSubprogramCall("Clear", nullptr);
    EXPECT_EQ(lists.SubList().RowCount(), 10);
    EXPECT_EQ(lists.SubList().Text(1, 2), "");
}

TEST(TextListTest, ProgramTextIsListedLineByLine) {
    TextList list;
    list.AssignText("G71 X10\n\n(comment)");  // an empty line, and a last line without "\n"
    ASSERT_EQ(list.Count(), 3);
    EXPECT_EQ(list.Line(1), "");
    EXPECT_EQ(list.Line(2), "(comment)");
    EXPECT_EQ(list.Line(3), "");
    list.AssignText("");
    EXPECT_EQ(list.Count(), 0);
}

}  // namespace

namespace retracer {
namespace {

// The message list shows each diagnostic on a line of its own, with the file's name only: both
// separators are folders, a line 0 names no line, and a message's line breaks become blanks.
TEST(MessageListTest, OneLinePerDiagnosticWithTheFilesNameAndLine) {
    ControlPanelLists panel;
    panel.ListDiagnostics({{"C:\\Shop\\progs\\SIDE.PGM", 12, "Variable \"x\" is not defined"},
                           {"/srv/progs/SUB/HINGE.PGM", 3, "two\nlines\r\n"},
                           {"/srv/out/SIDE.DXF", 0, "refused"}});
    ASSERT_EQ(panel.MessageList().Count(), 3);
    EXPECT_EQ(panel.MessageList().Line(0), "SIDE.PGM:12: Variable \"x\" is not defined");
    EXPECT_EQ(panel.MessageList().Line(1), "HINGE.PGM:3: two lines  ");
    EXPECT_EQ(panel.MessageList().Line(2), "SIDE.DXF: refused");
    const auto before = panel.MessageList().Revision();
    panel.ListDiagnostics({});
    EXPECT_EQ(panel.MessageList().Count(), 0);
    EXPECT_NE(panel.MessageList().Revision(), before) << "a view must hear that it emptied";
}

}  // namespace
}  // namespace retracer
