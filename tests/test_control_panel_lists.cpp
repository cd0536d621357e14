// The Control Panel's lists as models: V and R variables, part size, subprogram calls, and
// their text forms in a worklist row.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "translate/field_splitter.h"
#include "variables/control_panel_lists.h"
#include "worklist/worklist.h"

using namespace retracer;

namespace {

const std::string kBar = "\xC2\xA6";  // "¦"

// Fills the R list through AddRVar, as loading a job does.
void AddRVars(ControlPanelLists& lists, const std::vector<std::string>& entries) {
    for (std::string entry : entries) lists.AddRVar(entry);
}

// ---------------------------------------------------------------------------------------------
// R variables

TEST(RVarListTest, AddRVarSplitsTheEntryAndShortensIt) {
    struct Case {
        const char* entry;
        RVarFields fields;
        const char* shortened;
    };
    const std::vector<Case> cases = {
        {"#12=500|Shelf height", {"R12", "500", "Shelf height"}, "R12=500"},
        {"R5=L/2", {"R5", "L/2", ""}, "R5=L/2"},
        {"#1=#2*2|uses #2", {"R1", "R2*2", "uses R2"}, "R1=R2*2"},  // every "#" turns
        {"R7", {"R7", "", ""}, "R7="},
        {"R3=1=2|d", {"R3", "1", "2"}, "R3=1"},  // "=" and "|" both separate
        {"R4=18|Stärke der Platte", {"R4", "18", "Stärke der Platte"}, "R4=18"},
        {" R9 = 4 |x", {" R9 ", " 4 ", "x"}, " R9 = 4 "},  // kept as written
        {"", {"", "", ""}, "="},
    };
    for (const Case& c : cases) {
        ControlPanelLists lists;
        std::string entry = c.entry;
        const RVarFields fields = lists.AddRVar(entry);
        EXPECT_EQ(fields.name, c.fields.name) << c.entry;
        EXPECT_EQ(fields.value, c.fields.value) << c.entry;
        EXPECT_EQ(fields.description, c.fields.description) << c.entry;
        EXPECT_EQ(entry, c.shortened) << c.entry;
        const TextGrid& grid = lists.RVarList();
        ASSERT_EQ(grid.RowCount(), 1) << c.entry;
        EXPECT_EQ(grid.Text(1, 1), c.fields.name) << c.entry;
        EXPECT_EQ(grid.Text(1, 2), c.fields.value) << c.entry;
        EXPECT_EQ(grid.Text(1, 3), c.fields.description) << c.entry;
    }
}

TEST(RVarListTest, RowsFollowTheCounterAndClearRestartsIt) {
    ControlPanelLists lists;
    AddRVars(lists, {"R1=1|a", "R2=2|b", "R3=3|c"});
    EXPECT_EQ(lists.RVarList().RowCount(), 3);
    EXPECT_EQ(lists.RVarList().Text(3, 3), "c");

    std::string clear = "Clear";
    const RVarFields none = lists.AddRVar(clear);
    EXPECT_EQ(none.name, "");
    EXPECT_EQ(clear, "Clear");
    EXPECT_EQ(lists.RVarList().RowCount(), 3);  // adding grows the grid, nothing shrinks it
    for (int column = 1; column <= 3; ++column) EXPECT_EQ(lists.RVarList().Text(3, column), "");

    AddRVars(lists, {"R8=80|new"});
    EXPECT_EQ(lists.RVarList().Text(1, 1), "R8");
    EXPECT_EQ(lists.RVarList().Text(2, 1), "");
    EXPECT_EQ(lists.RVarList().RowCount(), 3);

    // "clear" in another case is an entry like any other.
    std::string lower = "clear";
    lists.AddRVar(lower);
    EXPECT_EQ(lists.RVarList().Text(2, 1), "clear");
}

TEST(RVarListTest, ListGrowsPastThreeHundredEntries) {
    ControlPanelLists lists;
    for (int i = 0; i < 320; ++i) {
        std::string entry = "R" + std::to_string(i) + "=" + std::to_string(i * 2);
        lists.AddRVar(entry);
    }
    EXPECT_EQ(lists.RVarList().RowCount(), 320);
    EXPECT_EQ(lists.RVarList().Text(320, 1), "R319");
    // The row text holds the first 300 rows only: there are 300 R variables.
    const std::string text = lists.RVarText().text;
    EXPECT_NE(text.find("R299=598"), std::string::npos);
    EXPECT_EQ(text.find("R300="), std::string::npos);
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
        {{"R2=|"}, "R2=", kBar},
        // A text of three characters or less loses its separator too, or reading it back
        // would give a second, empty entry.
        {{"R=|x"}, "R=", "x" + kBar},
        // A "¦" typed into a value cannot survive the text form: it splits the entry.
        {{"R1=a¦b|one"}, "R1=a¦b", "one" + kBar},
    };
    for (const Case& c : cases) {
        ControlPanelLists lists;
        AddRVars(lists, c.entries);
        const RVarTexts texts = lists.RVarText();
        EXPECT_EQ(texts.text, c.text) << c.entries.front();
        EXPECT_EQ(texts.note, c.note) << c.entries.front();
    }
    ControlPanelLists lists;
    AddRVars(lists, {"R1=a¦b|one", "R2=L/2|two"});
    FieldSplitter split;
    split.Assign(lists.RVarText().text, kBar);
    ASSERT_EQ(split.FieldCount(), 3);
    EXPECT_EQ(split.Field(1), "R1=a");
    EXPECT_EQ(split.Field(3), "R2=L/2");
}

TEST(RVarListTest, EmptyListStoresEmptyTexts) {
    ControlPanelLists lists;
    Worklist worklist;
    worklist.SetCell(1, WorklistColumn::kRVariables, "R1=5");
    worklist.SetCellNote(1, WorklistColumn::kRVariables, "old¦");
    ASSERT_TRUE(lists.StoreRVarsInRow(worklist, 1));
    EXPECT_EQ(worklist.GetCell(1, WorklistColumn::kRVariables), "");
    EXPECT_EQ(worklist.GetCellNote(1, WorklistColumn::kRVariables), "");
}

// ---------------------------------------------------------------------------------------------
// V variables

TEST(VVarListTest, NamesAndValuesPairUpByArrival) {
    ControlPanelLists lists;
    lists.AddVVar(VVarMode::kName, "V0");
    lists.AddVVar(VVarMode::kName, "V1");
    lists.AddVVar(VVarMode::kValue, "10");
    lists.AddVVar(VVarMode::kName, "V2");
    lists.AddVVar(VVarMode::kValue, "L-20");
    const TextGrid& grid = lists.VVarList();
    EXPECT_EQ(grid.Text(1, 1), "V0");
    EXPECT_EQ(grid.Text(1, 2), "10");
    EXPECT_EQ(grid.Text(2, 1), "V1");
    EXPECT_EQ(grid.Text(2, 2), "L-20");
    EXPECT_EQ(grid.Text(3, 1), "V2");
    EXPECT_EQ(grid.Text(3, 2), "");
    EXPECT_EQ(lists.VVarText(), "V0=10 | V1=L-20 | V2= | = | = | = | = | =");

    lists.AddVVar(VVarMode::kClear, "ignored");
    for (int row = 1; row <= 3; ++row) {
        EXPECT_EQ(grid.Text(row, 1), "");
        EXPECT_EQ(grid.Text(row, 2), "");
    }
    lists.AddVVar(VVarMode::kValue, "5");  // both counters restarted
    lists.AddVVar(VVarMode::kName, "V7");
    EXPECT_EQ(grid.Text(1, 1), "V7");
    EXPECT_EQ(grid.Text(1, 2), "5");
}

TEST(VVarListTest, StoreVVarsInRowWritesEightEntries) {
    struct Case {
        const char* name;
        std::vector<std::pair<std::string, std::string>> vars;
        std::string expected;
    };
    const std::vector<Case> cases = {
        {"only V0", {{"V0", "10"}}, "V0=10 | = | = | = | = | = | = | ="},
        {"none", {}, "= | = | = | = | = | = | = | ="},
        {"all eight",
         {{"V0", "1"},
          {"V1", "2"},
          {"V2", "3"},
          {"V3", "L-20"},
          {"V4", "5"},
          {"V5", "6"},
          {"V6", "7"},
          {"V7", "H/2"}},
         "V0=1 | V1=2 | V2=3 | V3=L-20 | V4=5 | V5=6 | V6=7 | V7=H/2"},
        {"a ninth is shown but not stored",
         {{"V0", "1"},
          {"V1", "2"},
          {"V2", "3"},
          {"V3", "4"},
          {"V4", "5"},
          {"V5", "6"},
          {"V6", "7"},
          {"V7", "8"},
          {"V8", "9"}},
         "V0=1 | V1=2 | V2=3 | V3=4 | V4=5 | V5=6 | V6=7 | V7=8"},
    };
    for (const Case& c : cases) {
        ControlPanelLists lists;
        for (const auto& [name, value] : c.vars) {
            lists.AddVVar(VVarMode::kName, name);
            lists.AddVVar(VVarMode::kValue, value);
        }
        EXPECT_EQ(lists.VVarList().RowCount(), std::max<int>(8, static_cast<int>(c.vars.size())));
        Worklist worklist;
        ASSERT_TRUE(lists.StoreVVarsInRow(worklist, 5)) << c.name;
        EXPECT_EQ(worklist.GetCell(5, WorklistColumn::kVVariables), c.expected) << c.name;
        EXPECT_EQ(worklist.GetCell(4, WorklistColumn::kVVariables), "") << c.name;
    }
}

TEST(VarListStoreTest, NoCurrentJobLeavesTheWorklistAlone) {
    ControlPanelLists lists;
    lists.AddVVar(VVarMode::kName, "V0");
    lists.AddVVar(VVarMode::kValue, "10");
    AddRVars(lists, {"R1=5|d"});
    for (int row : {0, -1, 501}) {
        Worklist worklist;
        const auto before = worklist.Revision();
        EXPECT_FALSE(lists.StoreVVarsInRow(worklist, row)) << row;
        EXPECT_FALSE(lists.StoreRVarsInRow(worklist, row)) << row;
        EXPECT_EQ(worklist.Revision(), before) << row;
        EXPECT_EQ(worklist.GetCell(0, WorklistColumn::kVVariables), "V Variables");
    }
}

// ---------------------------------------------------------------------------------------------
// Part size

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
    EXPECT_EQ(lists.DimList().Text(1, 1), "Length  (L) ");
    EXPECT_EQ(lists.DimList().Text(3, 1), "Thickness  (S) ");

    lists.ClearPartSize();
    EXPECT_EQ(lists.GetDimX(), "");
    EXPECT_EQ(lists.GetDimY(), "");
    EXPECT_EQ(lists.GetDimZ(), "");
    EXPECT_EQ(lists.DimList().Text(2, 1), "Height  (H) ");  // captions stay
}

// ---------------------------------------------------------------------------------------------
// Subprogram calls

SubprogramCall Call(const std::string& file, std::vector<std::pair<int, std::string>> params,
                    int parent = 0) {
    SubprogramCall call;
    call.fileName = file;
    call.parentCall = parent;
    for (auto& [index, text] : params) call.parameters[static_cast<std::size_t>(index)] = text;
    return call;
}

TEST(ControlPanelListsTest, SubprogramNotesListNonEmptyParameters) {
    struct Case {
        const char* name;
        SubprogramCall call;
        std::string note;
    };
    const std::vector<Case> cases = {
        {"two parameters", Call("HINGE.PGM", {{12, "L/2"}, {0, "5"}}),
         "Rnnn: HINGE.PGM\rR0=5\rR12=L/2\r"},
        {"last parameter", Call("A", {{299, "1"}}), "Rnnn: A\rR299=1\r"},
        {"no parameters, no note", Call("PLAIN.PGM", {}), ""},
        {"UTF-8 text", Call("TÜR.PGM", {{3, "Höhe"}}), "Rnnn: TÜR.PGM\rR3=Höhe\r"},
    };
    for (const Case& c : cases) {
        ControlPanelLists lists;
        lists.AddSubprogramCall("Clear", nullptr);
        lists.AddSubprogramCall(" 0", &c.call);
        EXPECT_EQ(lists.SubList().Text(1, 1), " 0") << c.name;
        EXPECT_EQ(lists.SubList().Text(1, 2), c.call.fileName) << c.name;
        EXPECT_EQ(lists.SubList().Note(1, 2), c.note) << c.name;
        EXPECT_EQ(lists.SubList().Note(1, 1), "") << c.name;
    }
}

TEST(ControlPanelListsTest, ClearResetsTheSubprogramListToTenGreyRows) {
    ControlPanelLists lists;
    std::vector<SubprogramCall> calls;
    for (int i = 0; i < 12; ++i) calls.push_back(Call("S" + std::to_string(i), {{1, "x"}}, i / 3));
    lists.ListSubprogramCalls(calls);
    const TextGrid& grid = lists.SubList();
    EXPECT_EQ(grid.RowCount(), 12);
    EXPECT_EQ(grid.Text(1, 1), " 0");
    EXPECT_EQ(grid.Text(12, 1), " 3");
    EXPECT_EQ(grid.Text(12, 2), "S11");
    EXPECT_FALSE(grid.Enabled());

    lists.AddSubprogramCall("Clear", nullptr);
    EXPECT_EQ(grid.RowCount(), 10);
    EXPECT_EQ(grid.Text(1, 2), "");
    EXPECT_EQ(grid.Note(1, 2), "");

    lists.AddSubprogramCall(" 2", nullptr);  // a call without a record still takes its row
    EXPECT_EQ(grid.Text(1, 1), " 2");
    EXPECT_EQ(grid.Text(1, 2), "");
    EXPECT_EQ(grid.Note(1, 2), "");
}

// ---------------------------------------------------------------------------------------------
// Enabled state, plain lists and change reports

TEST(ControlPanelListsTest, VariableListsAreEnabledTogether) {
    ControlPanelLists lists;
    lists.SetVariableListsEnabled(false);
    EXPECT_FALSE(lists.VariableListsEnabled());
    for (const TextGrid* grid : {&lists.VVarList(), &lists.RVarList(), &lists.DimList()})
        EXPECT_EQ(GridBackground(grid->Enabled()), 0xE6E6E6u);
    EXPECT_TRUE(lists.SubList().Enabled());  // not one of them
    lists.SetVariableListsEnabled(true);
    for (const TextGrid* grid : {&lists.VVarList(), &lists.RVarList(), &lists.DimList()})
        EXPECT_EQ(GridBackground(grid->Enabled()), 0xFFFFFFu);
}

TEST(ControlPanelListsTest, ListsAndLabelsReportTheirChanges) {
    ControlPanelLists lists;
    std::vector<ModelChange> lines;
    int labelChanges = 0;
    lists.PrgList().Changes().SetChangeHandler([&](const ModelChange& c) { lines.push_back(c); });
    lists.Labels().Changes().SetChangeHandler([&](const ModelChange&) { ++labelChanges; });

    lists.PrgList().Add("::UNm DL=600 DH=400 DS=19");
    lists.PrgList().Add("EXE");
    lists.PrgList().Clear();
    lists.PrgList().Clear();
    lists.PrgList().Assign({"a", "b", "c"});
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[1].row, 2);
    EXPECT_FALSE(lines[1].Whole());
    EXPECT_TRUE(lines[2].Whole());
    EXPECT_EQ(lists.PrgList().Count(), 3);
    EXPECT_EQ(lists.PrgList().Line(2), "c");
    EXPECT_EQ(lists.PrgList().Line(3), "");
    EXPECT_EQ(lists.PrgList().Line(-1), "");

    EXPECT_EQ(lists.Labels().Frame(), "Program data");
    lists.Labels().SetFrame("Genesis EV");
    lists.Labels().SetFrame("Genesis EV");
    lists.Labels().SetDimensions("Metric   600 x 400 x 19");
    EXPECT_EQ(labelChanges, 2);
    EXPECT_EQ(lists.Labels().Dimensions(), "Metric   600 x 400 x 19");

    std::vector<ModelChange> rChanges;
    lists.RVarList().Changes().SetChangeHandler(
        [&](const ModelChange& c) { rChanges.push_back(c); });
    AddRVars(lists, {"R1=5|d"});
    ASSERT_EQ(rChanges.size(), 4u);  // the new row, then its three cells
    EXPECT_TRUE(rChanges[0].Whole());
    EXPECT_EQ(rChanges[3].row, 1);
    EXPECT_EQ(rChanges[3].column, 3);
}

}  // namespace
