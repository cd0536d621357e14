// The worklist model, the text grid under it and the material choices.
#include <gtest/gtest.h>

#include <climits>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "settings/user_store.h"
#include "worklist/materials.h"
#include "worklist/text_grid.h"
#include "worklist/worklist.h"

namespace fs = std::filesystem;
using namespace retracer;

namespace {

using Names = std::vector<std::string>;

// ---------------------------------------------------------------------------------------------
// Columns and captions

TEST(WorklistTest, RowZeroReadsTheCaptionsInFileOrder) {
    const Worklist list;
    const char* expected[] = {
        "Norm",           "Mir",    "Filename", "Job",   "Room", "Cabinet",     "Part Description",
        "Material",       "Length", "Width",    "Thick", "Path", "V Variables", "R Variables",
        "Output Filename"};
    ASSERT_EQ(list.ColumnCount(), 15);
    EXPECT_EQ(list.RowCount(), 500);
    for (int column = 1; column <= 15; ++column)
        EXPECT_EQ(list.GetCell(0, column), expected[column - 1]) << column;
    EXPECT_EQ(list.GetCell(0, 8), "Material");
}

TEST(WorklistTest, FindColumnIgnoresCaseButNothingElse) {
    struct Case {
        const char* caption;
        int column;
    };
    const Worklist list;
    for (const Case& c :
         {Case{"room", 5}, Case{"ROOM", 5}, Case{"rOoM", 5}, Case{"Norm", 1},
          Case{"output filename", 15}, Case{"R VARIABLES", 14}, Case{"part description", 7},
          Case{"Colour", 0}, Case{"", 0}, Case{"Room ", 0}, Case{" Room", 0}, Case{"Roo", 0},
          Case{"Rooms", 0}, Case{"V  Variables", 0}}) {
        EXPECT_EQ(list.FindColumn(c.caption), c.column) << '"' << c.caption << '"';
    }
}

TEST(WorklistTest, NamedColumnsMatchTheirCaptions) {
    struct Case {
        int column;
        const char* caption;
    };
    const Worklist list;
    namespace C = WorklistColumn;
    for (const Case& c :
         {Case{C::kNorm, "Norm"}, Case{C::kMir, "Mir"}, Case{C::kFilename, "Filename"},
          Case{C::kJob, "Job"}, Case{C::kRoom, "Room"}, Case{C::kCabinet, "Cabinet"},
          Case{C::kPartDescription, "Part Description"}, Case{C::kMaterial, "Material"},
          Case{C::kLength, "Length"}, Case{C::kWidth, "Width"}, Case{C::kThick, "Thick"},
          Case{C::kPath, "Path"}, Case{C::kVVariables, "V Variables"},
          Case{C::kRVariables, "R Variables"}, Case{C::kOutputFilename, "Output Filename"}}) {
        EXPECT_EQ(list.FindColumn(c.caption), c.column) << c.caption;
    }
}

// ---------------------------------------------------------------------------------------------
// Cells and notes

TEST(WorklistTest, EveryCellHoldsItsOwnText) {
    Worklist list;
    const auto label = [](int row, int column) {
        return std::to_string(row) + ":" + std::to_string(column);
    };
    for (int row = 1; row <= 500; ++row)
        for (int column = 1; column <= 15; ++column) list.SetCell(row, column, label(row, column));
    for (int row = 1; row <= 500; ++row)
        for (int column = 1; column <= 15; ++column)
            ASSERT_EQ(list.GetCell(row, column), label(row, column));
    EXPECT_EQ(list.GetCell(0, 1), "Norm");  // captions are not data
}

TEST(WorklistTest, CellsOutsideTheGridReadEmptyAndIgnoreWrites) {
    struct Case {
        int row;
        int column;
    };
    Worklist list;
    for (const Case& c : {Case{-1, 1}, Case{501, 1}, Case{1, 0}, Case{1, 16}, Case{0, 0},
                          Case{0, 16}, Case{0, -3}, Case{INT_MIN, INT_MAX}, Case{INT_MAX, 3}}) {
        const auto before = list.Revision();
        list.SetCell(c.row, c.column, "x");
        list.SetCellNote(c.row, c.column, "note");
        EXPECT_EQ(list.GetCell(c.row, c.column), "") << c.row << "," << c.column;
        EXPECT_EQ(list.GetCellNote(c.row, c.column), "") << c.row << "," << c.column;
        EXPECT_FALSE(list.IsJob(c.row));
        EXPECT_EQ(list.Revision(), before);
    }
    // Writing row 0 would rename a column and break FindColumn: the captions stay.
    list.SetCell(0, 8, "Stuff");
    list.SetCellNote(0, 8, "note");
    EXPECT_EQ(list.GetCell(0, 8), "Material");
    EXPECT_EQ(list.GetCellNote(0, 8), "");
    EXPECT_EQ(list.FindColumn("Stuff"), 0);
}

TEST(WorklistTest, NotesAreTrimmedOnReadAndKeptApartFromTexts) {
    struct Case {
        const char* stored;
        const char* read;
    };
    for (const Case& c :
         {Case{"  Shelf¦Door¦ ", "Shelf¦Door¦"}, Case{"plain", "plain"}, Case{"\tTab\r\n", "Tab"},
          Case{"a  b", "a  b"}, Case{"   ", ""}, Case{"Stärke¦Höhe¦", "Stärke¦Höhe¦"}}) {
        Worklist list;
        list.SetCell(3, WorklistColumn::kRVariables, "R1=5");
        list.SetCellNote(3, WorklistColumn::kRVariables, c.stored);
        EXPECT_EQ(list.GetCellNote(3, WorklistColumn::kRVariables), c.read) << c.stored;
        EXPECT_EQ(list.GetCell(3, WorklistColumn::kRVariables), "R1=5");
        EXPECT_EQ(list.GetCellNote(3, WorklistColumn::kVVariables), "");
        EXPECT_EQ(list.GetCellNote(4, WorklistColumn::kRVariables), "");
    }
}

TEST(WorklistTest, AnyCellCanCarryANote) {
    Worklist list;
    list.SetCellNote(1, 1, "first");
    list.SetCellNote(500, 15, "last");
    EXPECT_EQ(list.GetCellNote(1, 1), "first");
    EXPECT_EQ(list.GetCellNote(500, 15), "last");
    list.SetCellNote(1, 1, "");
    EXPECT_EQ(list.GetCellNote(1, 1), "");
    EXPECT_EQ(list.GetCellNote(500, 15), "last");
}

TEST(WorklistTest, JobsAreRowsWithAFileName) {
    Worklist list;
    EXPECT_EQ(list.LastJobRow(), 0);
    EXPECT_FALSE(list.IsJob(0));  // the caption "Filename" does not make row 0 a job

    list.SetCell(2, WorklistColumn::kJob, "Kitchen");  // texts alone do not make a job
    EXPECT_FALSE(list.IsJob(2));
    EXPECT_EQ(list.LastJobRow(), 0);

    list.SetCell(3, WorklistColumn::kFilename, "SIDE.PGM");
    list.SetCell(7, WorklistColumn::kFilename, "TOP.PGM");
    list.SetCell(7, WorklistColumn::kNorm, "0");  // not work for a run, still a job row
    list.SetCell(7, WorklistColumn::kMir, "0");
    EXPECT_TRUE(list.IsJob(3));
    EXPECT_TRUE(list.IsJob(7));
    EXPECT_FALSE(list.IsJob(5));
    EXPECT_EQ(list.LastJobRow(), 7);

    list.SetCell(500, WorklistColumn::kFilename, "LAST.PGM");
    EXPECT_EQ(list.LastJobRow(), 500);
    list.SetCell(500, WorklistColumn::kFilename, "");
    EXPECT_EQ(list.LastJobRow(), 7);
}

TEST(WorklistTest, ClearEmptiesDataAndNotesButKeepsCaptions) {
    Worklist list;
    list.SetCell(1, WorklistColumn::kFilename, "A.PGM");
    list.SetCell(500, 15, "OUT");
    list.SetCellNote(1, WorklistColumn::kRVariables, "desc¦");
    list.Clear();
    EXPECT_EQ(list.GetCell(1, WorklistColumn::kFilename), "");
    EXPECT_EQ(list.GetCell(500, 15), "");
    EXPECT_EQ(list.GetCellNote(1, WorklistColumn::kRVariables), "");
    EXPECT_EQ(list.LastJobRow(), 0);
    EXPECT_EQ(list.GetCell(0, 3), "Filename");
    EXPECT_EQ(list.FindColumn("filename"), 3);
}

TEST(WorklistTest, MaterialCellKeepsAnyTypedName) {
    Worklist list;  // the material table offers choices; it does not restrict the cell
    list.SetCell(4, WorklistColumn::kMaterial, "Birch ply 18 – not in Mat.dat");
    EXPECT_EQ(list.GetCell(4, WorklistColumn::kMaterial), "Birch ply 18 – not in Mat.dat");
}

TEST(WorklistTest, ViewsAreToldWhatChanged) {
    Worklist list;
    const auto start = list.Revision();
    std::vector<ModelChange> seen;
    list.Changes().SetChangeHandler([&](const ModelChange& change) { seen.push_back(change); });

    list.SetCell(4, 9, "600");
    list.SetCell(4, 9, "600");  // no change, no report
    list.SetCellNote(4, 14, "d¦");
    list.SetCellNote(4, 14, "d¦");
    list.SetCellNote(6, 14, "");  // removing a note that is not there changes nothing
    list.Clear();

    ASSERT_EQ(seen.size(), 3u);
    EXPECT_EQ(seen[0].row, 4);
    EXPECT_EQ(seen[0].column, 9);
    EXPECT_FALSE(seen[0].Whole());
    EXPECT_EQ(seen[1].column, 14);
    EXPECT_TRUE(seen[2].Whole());
    EXPECT_EQ(list.Revision() - start, 3u);
}

// ---------------------------------------------------------------------------------------------
// The grid under the models

TEST(WorklistGridTest, ShrinkingDropsNotesSoRegrownRowsStartEmpty) {
    TextGrid grid(4, 3);
    grid.SetText(4, 3, "last");
    grid.SetNote(4, 3, "note of last");
    grid.SetNote(2, 1, "kept");
    grid.SetRowCount(2);
    EXPECT_EQ(grid.RowCount(), 2);
    EXPECT_EQ(grid.Text(4, 3), "");
    grid.SetRowCount(5);
    EXPECT_EQ(grid.Text(4, 3), "");
    EXPECT_EQ(grid.Note(4, 3), "");
    EXPECT_EQ(grid.Note(2, 1), "kept");
    grid.SetRowCount(-7);
    EXPECT_EQ(grid.RowCount(), 0);
    grid.SetText(1, 1, "x");
    EXPECT_EQ(grid.Text(1, 1), "");
}

TEST(WorklistGridTest, CaptionsEnabledStateAndSizeAreWholeChanges) {
    TextGrid grid(2, 2);
    int whole = 0;
    grid.Changes().SetChangeHandler([&](const ModelChange& change) { whole += change.Whole(); });
    grid.SetCaption(1, "Name");
    grid.SetCaption(3, "ignored");
    grid.SetEnabled(false);
    grid.SetEnabled(false);
    grid.SetRowCount(3);
    grid.SetRowCount(3);
    EXPECT_EQ(whole, 3);
    EXPECT_EQ(grid.Text(0, 1), "Name");
    EXPECT_EQ(grid.Caption(3), "");
    EXPECT_FALSE(grid.Enabled());
    EXPECT_EQ(GridBackground(grid.Enabled()), 0xE6E6E6u);
    EXPECT_EQ(GridBackground(true), 0xFFFFFFu);
}

// ---------------------------------------------------------------------------------------------
// Material table

TEST(MaterialTest, SecondFieldOfEveryLineOnceInFirstOrder) {
    struct Case {
        const char* name;
        std::string text;
        Names expected;
    };
    const std::vector<Case> cases = {
        {"commas", "1,Oak 19,19\n2,Beech,18\n", {"Oak 19", "Beech"}},
        {"tabs", "1\tOak\t19\r\n2\tBeech\t18\r\n", {"Oak", "Beech"}},
        {"semicolons", "1;Oak;19\r2;Beech;18", {"Oak", "Beech"}},
        {"repeats listed once", "1,Oak\n2,Beech\n3,Oak\n4,Beech\n5,MDF\n", {"Oak", "Beech", "MDF"}},
        {"empty names left out", "1,,19\n2,Oak\n3,   ,4\n4\n\n5,\t", {"Oak"}},
        {"blanks around names", "1,  Oak  ,19\n2,Oak\n", {"Oak"}},
        {"case makes two names", "1,Oak\n2,OAK\n", {"Oak", "OAK"}},
        {"comma inside a tab line", "1\tMelamine, white\t18\n", {"Melamine, white"}},
        {"comma inside a semicolon line", "1;Melamine, white;18\n", {"Melamine, white"}},
        {"quoted separators",
         "1,\"Melamine, white\",18\n2, \"Oak\" ,19\n",
         {"Melamine, white", "Oak"}},
        {"doubled quotes", "1,\"3\"\" board\",3\n", {"3\" board"}},
        {"quoted empty name", "1,\"\",19\n2,\"Oak\n", {"Oak"}},
        {"UTF-8 names", "1,Fichte\n2,Ahorn gedämpft\n", {"Fichte", "Ahorn gedämpft"}},
        {"nothing", "", {}},
    };
    for (const Case& c : cases) EXPECT_EQ(ParseMaterials(c.text), c.expected) << c.name;
}

TEST(MaterialTest, ChoiceTextJoinsWithTabs) {
    EXPECT_EQ(MaterialChoiceText({"Oak", "Beech", "MDF 19"}), "Oak\tBeech\tMDF 19");
    EXPECT_EQ(MaterialChoiceText({"Oak"}), "Oak");
    EXPECT_EQ(MaterialChoiceText({}), "");
}

class MaterialFileTest : public ::testing::Test {
  protected:
    void SetUp() override {
        std::random_device random;
        folder_ = fs::temp_directory_path() / ("retracer-materials-" + std::to_string(random()) +
                                               "-" + std::to_string(random()));
        ASSERT_TRUE(fs::create_directories(folder_));
    }
    void TearDown() override {
        std::error_code ec;
        fs::remove_all(folder_, ec);
    }
    void Put(const fs::path& path, const std::string& bytes) const {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out << bytes;
        ASSERT_TRUE(out.good()) << path;
    }

    fs::path folder_;
};

TEST_F(MaterialFileTest, ReadsTheTableBesideTheNestingApplication) {
    Put(folder_ / "Mat.dat", "1,Oak,19\r\n2,Beech,18\r\n3,Oak,19\r\n4,,0\r\n");
    MemoryUserSettingsStore store;
    store.Save("Cutplan", "Paths", "Executable", (folder_ / "Cutplan.exe").string());
    EXPECT_EQ(MaterialTablePath(store), folder_ / "Mat.dat");
    EXPECT_EQ(LoadMaterials(MaterialTablePath(store)), (Names{"Oak", "Beech"}));
}

TEST_F(MaterialFileTest, OldWindowsTablesAreDecoded) {
    Put(folder_ / "Mat.dat", "1,Ahorn ged\xE4mpft,19\r\n");  // Windows-1252 "ä"
    EXPECT_EQ(LoadMaterials(folder_ / "Mat.dat"), (Names{"Ahorn gedämpft"}));
    Put(folder_ / "Mat.dat", std::string("\xFF\xFE"
                                         "1\0,\0O\0a\0k\0",
                                         12));  // UTF-16 LE
    EXPECT_EQ(LoadMaterials(folder_ / "Mat.dat"), (Names{"Oak"}));
}

TEST_F(MaterialFileTest, MissingOrUnreadableTableGivesNoChoices) {
    EXPECT_TRUE(LoadMaterials(folder_ / "Mat.dat").empty());
    fs::create_directories(folder_ / "Dir.dat");
    EXPECT_TRUE(LoadMaterials(folder_ / "Dir.dat").empty());
    EXPECT_TRUE(LoadMaterials(fs::path()).empty());
    Put(folder_ / "Empty.dat", "");
    EXPECT_TRUE(LoadMaterials(folder_ / "Empty.dat").empty());
}

TEST(MaterialTest, TablePathIsTheFolderOfTheStoredExecutable) {
    struct Case {
        const char* stored;  // nullptr: nothing stored
        fs::path expected;
    };
#ifdef _WIN32
    const std::vector<Case> cases = {
        {nullptr, "C:\\Mat.dat"},
        {"C:\\Cutplan\\Cutplan.exe", "C:\\Cutplan\\Mat.dat"},
        {"D:/Nest/cp.exe", "D:/Nest/Mat.dat"},
        {"Cutplan.exe", ""},
        {"Nest\\Cutplan.exe", ""},
    };
#else
    const std::vector<Case> cases = {
        {nullptr, ""},  // "C:\" names no folder here
        {"/opt/cutplan/cutplan", "/opt/cutplan/Mat.dat"},
        {"/opt/cutplan/", "/opt/cutplan/Mat.dat"},
        {"\\opt\\cutplan\\Cutplan.exe", "/opt/cutplan/Mat.dat"},
        {"/srv/nest\\bin\\cp.exe", "/srv/nest/bin/Mat.dat"},
        {"C:\\Cutplan\\Cutplan.exe", ""},
        {"Cutplan.exe", ""},
        {"nest/cutplan", ""},
        {"", ""},
    };
#endif
    for (const Case& c : cases) {
        MemoryUserSettingsStore store;
        if (c.stored != nullptr) store.Save("Cutplan", "Paths", "Executable", c.stored);
        EXPECT_EQ(MaterialTablePath(store), c.expected) << (c.stored ? c.stored : "(none)");
    }
    // Only the nesting application's own entry counts.
    MemoryUserSettingsStore other;
    other.Save("Retracer", "Paths", "Executable", "/opt/cutplan/cutplan");
    EXPECT_EQ(MaterialTablePath(other), MaterialTablePath(MemoryUserSettingsStore()));
}

}  // namespace
