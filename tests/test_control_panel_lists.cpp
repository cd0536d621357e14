// The Control Panel's lists as models: V and R variables, part size, subprogram calls, and
// their text forms in a worklist row.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "variables/control_panel_lists.h"
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
        {"#12=500|Shelf height", "R12|500|Shelf height", "R12=500"},
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
    AddRVars(lists, {"R1=1|a", "R2=2|b", "R3=3|c"});
    std::string clear = "Clear";
    EXPECT_EQ(lists.AddRVar(clear).name, "");
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
    EXPECT_EQ(worklist.GetCell(1, WorklistColumn::kRVariables), "");
}

TEST(RVarListTest, StoredTextHasNoSeparatorAfterItsLastEntry) {
    struct Case {
        std::vector<std::string> entries;
        std::string text;
        std::string note;
    };
    const std::vector<Case> cases = {
        {{"R1=5|a", "R2=L/2|b"}, "R1=5" + kBar + "R2=L/2", "a" + kBar + "b" + kBar},
        // A text of three characters or less loses its separator too.
        {{"R=|x"}, "R=", "x" + kBar},
        {{}, "", ""},
    };
    for (const Case& c : cases) {
        ControlPanelLists lists;
        AddRVars(lists, c.entries);
        EXPECT_EQ(lists.RVarText().text, c.text);
        EXPECT_EQ(lists.RVarText().note, c.note);
    }
}

TEST(VVarListTest, NamesAndValuesPairUpByArrivalUntilCleared) {
    ControlPanelLists lists;
    lists.AddVVar(VVarMode::kName, "V0");
    lists.AddVVar(VVarMode::kName, "V1");
    lists.AddVVar(VVarMode::kValue, "10");
    lists.AddVVar(VVarMode::kValue, "L-20");
    EXPECT_EQ(lists.VVarList().Text(2, 1), "V1");
    EXPECT_EQ(lists.VVarList().Text(2, 2), "L-20");
    lists.AddVVar(VVarMode::kClear, "ignored");
    EXPECT_EQ(lists.VVarList().Text(2, 1), "");
    lists.AddVVar(VVarMode::kValue, "5");  // both counters restarted
    lists.AddVVar(VVarMode::kName, "V7");
    EXPECT_EQ(lists.VVarList().Text(1, 1), "V7");
    EXPECT_EQ(lists.VVarList().Text(1, 2), "5");
}

TEST(VVarListTest, StoreVVarsInRowWritesEightEntries) {
    ControlPanelLists lists;
    Worklist worklist;
    lists.AddVVar(VVarMode::kName, "V0");
    lists.AddVVar(VVarMode::kValue, "10");
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

TEST(ControlPanelListsTest, PartSizeUsesTheStandardNumberText) {
    ControlPanelLists lists;
    ProgramHeader header;
    header.partLength = 600;
    header.partWidth = 400.5;
    header.partThickness = -0.75;
    lists.ShowPartSize(header);
    EXPECT_EQ(lists.GetDimX(), " 600");
    EXPECT_EQ(lists.GetDimY(), " 400.5");
    EXPECT_EQ(lists.GetDimZ(), "-0.75");
    lists.ClearPartSize();
    EXPECT_EQ(lists.GetDimX(), "");
    EXPECT_EQ(lists.DimList().Text(2, 1), "Height  (H) ");  // captions stay
}

TEST(ControlPanelListsTest, SubprogramNotesListNonEmptyParameters) {
    struct Case {
        std::vector<std::pair<int, std::string>> params;
        std::string note;
    };
    for (const Case& c : {Case{{{12, "L/2"}, {0, "5"}}, "Rnnn: TÜR.PGM\rR0=5\rR12=L/2\r"},
                          Case{{{299, "1"}}, "Rnnn: TÜR.PGM\rR299=1\r"}, Case{{}, ""}}) {
        SubprogramCall call;
        call.fileName = "TÜR.PGM";
        for (const auto& [index, text] : c.params)
            call.parameters[static_cast<std::size_t>(index)] = text;
        ControlPanelLists lists;
        lists.AddSubprogramCall(" 0", &call);
        EXPECT_EQ(lists.SubList().Text(1, 1), " 0");
        EXPECT_EQ(lists.SubList().Text(1, 2), "TÜR.PGM");
        EXPECT_EQ(lists.SubList().Note(1, 2), c.note);
    }
}

TEST(ControlPanelListsTest, ClearResetsTheSubprogramListToTenRows) {
    ControlPanelLists lists;
    SubprogramCall call;
    call.fileName = "S.PGM";
    call.parentCall = 3;
    lists.ListSubprogramCalls(std::vector<SubprogramCall>(12, call));
    EXPECT_EQ(lists.SubList().RowCount(), 12);
    EXPECT_EQ(lists.SubList().Text(12, 1), " 3");
    EXPECT_EQ(lists.SubList().Text(12, 2), "S.PGM");
    lists.AddSubprogramCall("Clear", nullptr);
    EXPECT_EQ(lists.SubList().RowCount(), 10);
    EXPECT_EQ(lists.SubList().Text(1, 2), "");
}

TEST(TextListTest, ProgramTextIsListedLineByLine) {
    TextList list;
    list.AssignText("G71 X10\n\n(comment)");  // an empty line, and a last line without "\n"
    ASSERT_EQ(list.Count(), 3);
    EXPECT_EQ(list.Line(0), "G71 X10");
    EXPECT_EQ(list.Line(1), "");
    EXPECT_EQ(list.Line(2), "(comment)");
    EXPECT_EQ(list.Line(3), "");
    list.Add("G1 X5");
    EXPECT_EQ(list.Line(3), "G1 X5");
    list.AssignText("");
    EXPECT_EQ(list.Count(), 0);
}

}  // namespace
