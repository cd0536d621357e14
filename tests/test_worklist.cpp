// The worklist model, the text grid under it and the material choices.
#include <gtest/gtest.h>

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

TEST(WorklistTest, RowZeroReadsTheCaptionsInFileOrder) {
    const Worklist list;
    ASSERT_EQ(list.ColumnCount(), 15);
    EXPECT_EQ(list.RowCount(), 500);
    std::string captions;
    for (int column = 1; column <= 15; ++column) captions += list.GetCell(0, column) + "|";
    EXPECT_EQ(captions,
              "Norm|Mir|Filename|Job|Room|Cabinet|Part Description|Material|Length|Width|Thick|"
              "Path|V Variables|R Variables|Output Filename|");
}

TEST(WorklistTest, FindColumnIgnoresCaseButNothingElse) {
    const Worklist list;
    for (const auto& [caption, column] :
         std::vector<std::pair<const char*, int>>{{"rOoM", 5},
                                                  {"output filename", 15},
                                                  {"R VARIABLES", WorklistColumn::kRVariables},
                                                  {"", 0},
                                                  {"Room ", 0},
                                                  {"Roo", 0},
                                                  {"V  Variables", 0}}) {
        EXPECT_EQ(list.FindColumn(caption), column) << '"' << caption << '"';
    }
}

TEST(WorklistTest, CellsOutsideTheGridAndCaptionsIgnoreWrites) {
    Worklist list;
    for (const auto& [row, column] :
         std::vector<std::pair<int, int>>{{-1, 1}, {501, 1}, {1, 0}, {1, 16}, {0, 8}}) {
        const auto before = list.Revision();
        list.SetCell(row, column, "Stuff");
        list.SetCellNote(row, column, "note");
        EXPECT_EQ(list.GetCellNote(row, column), "") << row << "," << column;
        EXPECT_EQ(list.Revision(), before) << row << "," << column;
    }
    EXPECT_EQ(list.GetCell(501, 1), "");
    EXPECT_EQ(list.GetCell(0, 8), "Material");
    EXPECT_EQ(list.FindColumn("Stuff"), 0);
}

TEST(WorklistTest, NotesAreTrimmedOnReadAndKeptApartFromTexts) {
    for (const auto& [stored, read] : std::vector<std::pair<const char*, const char*>>{
             {"  Shelf¦Door¦ ", "Shelf¦Door¦"}, {"\tTab\r\n", "Tab"}}) {
        Worklist list;
        list.SetCell(3, WorklistColumn::kRVariables, "R1=5");
        list.SetCellNote(3, WorklistColumn::kRVariables, stored);
        EXPECT_EQ(list.GetCellNote(3, WorklistColumn::kRVariables), read) << stored;
        EXPECT_EQ(list.GetCell(3, WorklistColumn::kRVariables), "R1=5");
        EXPECT_EQ(list.GetCellNote(4, WorklistColumn::kRVariables), "");
    }
}

TEST(WorklistTest, JobsAreRowsWithAFileNameAndClearRemovesThem) {
    Worklist list;
    EXPECT_FALSE(list.IsJob(0));  // the caption "Filename" does not make row 0 a job
    list.SetCell(2, WorklistColumn::kJob, "Kitchen");
    list.SetCell(3, WorklistColumn::kFilename, "SIDE.PGM");
    list.SetCell(7, WorklistColumn::kFilename, "TOP.PGM");
    list.SetCellNote(7, WorklistColumn::kRVariables, "desc¦");
    EXPECT_FALSE(list.IsJob(2));
    EXPECT_TRUE(list.IsJob(3));
    EXPECT_EQ(list.LastJobRow(), 7);

    list.Clear();
    EXPECT_EQ(list.LastJobRow(), 0);
    EXPECT_EQ(list.GetCell(2, WorklistColumn::kJob), "");
    EXPECT_EQ(list.GetCellNote(7, WorklistColumn::kRVariables), "");
    EXPECT_EQ(list.FindColumn("filename"), 3);
}

TEST(WorklistTest, ViewsAreToldWhatChanged) {
    Worklist list;
    std::vector<ModelChange> seen;
    list.Changes().SetChangeHandler([&](const ModelChange& change) { seen.push_back(change); });
    list.SetCell(4, 9, "600");
    list.SetCell(4, 9, "600");  // no change, no report
    list.SetCellNote(4, 14, "d¦");
    list.SetCellNote(6, 14, "");  // removing a note that is not there changes nothing
    list.Clear();
    ASSERT_EQ(seen.size(), 3u);
    EXPECT_EQ(seen[0].row, 4);
    EXPECT_EQ(seen[0].column, 9);
    EXPECT_EQ(seen[1].column, 14);
    EXPECT_TRUE(seen[2].Whole());
}

TEST(WorklistGridTest, ShrinkingDropsNotesSoRegrownRowsStartEmpty) {
    TextGrid grid(4, 3);
    grid.SetText(4, 3, "last");
    grid.SetNote(4, 3, "note of last");
    grid.SetNote(2, 1, "kept");
    grid.SetRowCount(2);
    grid.SetRowCount(5);
    EXPECT_EQ(grid.Text(4, 3), "");
    EXPECT_EQ(grid.Note(4, 3), "");
    EXPECT_EQ(grid.Note(2, 1), "kept");
}

TEST(MaterialTest, SecondFieldOfEveryLineOnceInFirstOrder) {
    const std::vector<std::pair<std::string, Names>> cases = {
        {"1,Oak\n2,Beech\n3,Oak\n4,Beech\n5,MDF\n", {"Oak", "Beech", "MDF"}},
        {"1\tMelamine, white\t18\r\n2\tBeech\t18\r\n", {"Melamine, white", "Beech"}},
        {"1;Oak;19\r2;  Beech ;18", {"Oak", "Beech"}},
        {"1,,19\n2,Oak\n3,   ,4\n4\n\n5,\t", {"Oak"}},
        {"1,\"Melamine, white\",18\n2,\"3\"\" board\",3\n", {"Melamine, white", "3\" board"}},
        {"", {}},
    };
    for (const auto& [text, expected] : cases) EXPECT_EQ(ParseMaterials(text), expected) << text;
    EXPECT_EQ(MaterialChoiceText({"Oak", "Beech", "MDF 19"}), "Oak\tBeech\tMDF 19");
}

class MaterialFileTest : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(fs::create_directories(folder_)); }
    void TearDown() override { fs::remove_all(folder_); }
    void Put(const fs::path& path, const std::string& bytes) const {
        std::ofstream(path, std::ios::binary) << bytes;
    }
    const fs::path folder_ = fs::temp_directory_path() /
                             ("retracer-materials-" + std::to_string(std::random_device()()));
};

TEST_F(MaterialFileTest, ReadsTheTableBesideTheNestingApplication) {
    Put(folder_ / "Mat.dat", "1,Oak,19\r\n2,Beech,18\r\n3,Oak,19\r\n4,,0\r\n");
    MemoryUserSettingsStore store;
    store.Save("Cutplan", "Paths", "Executable", (folder_ / "Cutplan.exe").string());
    EXPECT_EQ(MaterialTablePath(store), folder_ / "Mat.dat");
    EXPECT_EQ(LoadMaterials(MaterialTablePath(store)), (Names{"Oak", "Beech"}));
}

TEST_F(MaterialFileTest, MissingOrUnreadableTableGivesNoChoices) {
    EXPECT_TRUE(LoadMaterials(folder_ / "Mat.dat").empty());
    fs::create_directories(folder_ / "Dir.dat");
    EXPECT_TRUE(LoadMaterials(folder_ / "Dir.dat").empty());
    EXPECT_TRUE(LoadMaterials(fs::path()).empty());
}

#ifndef _WIN32
TEST(MaterialTest, TablePathIsTheFolderOfTheStoredExecutable) {
    for (const auto& [stored, expected] : std::vector<std::pair<const char*, fs::path>>{
             {"/opt/cutplan/cutplan", "/opt/cutplan/Mat.dat"},
             {"/srv/nest\\bin\\cp.exe", "/srv/nest/bin/Mat.dat"},
             {"Cutplan.exe", ""}}) {
        MemoryUserSettingsStore store;
        store.Save("Cutplan", "Paths", "Executable", stored);
        EXPECT_EQ(MaterialTablePath(store), expected) << stored;
    }
    MemoryUserSettingsStore other;  // only the nesting application's own entry counts
    other.Save("Retracer", "Paths", "Executable", "/opt/cutplan/cutplan");
    EXPECT_EQ(MaterialTablePath(other), fs::path());
}
#endif

}  // namespace
