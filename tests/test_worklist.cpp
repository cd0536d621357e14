// The worklist model, the text grid under it and the material choices.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
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

TEST(WorklistTest, FindColumnIgnoresCaseButNothingElse) {
    const Worklist list;
    for (const auto& [caption, column] : std::vector<std::pair<const char*, int>>{
             {"rOoM", 5}, {"output filename", 15}, {"", 0}, {"Room ", 0}, {"Roo", 0}}) {
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
    EXPECT_EQ(list.GetCell(0, 8), "Material");
}

TEST(WorklistTest, JobsNotesAndClear) {
    Worklist list;
    EXPECT_FALSE(list.IsJob(0));  // the caption "Filename" does not make row 0 a job
    list.SetCell(2, WorklistColumn::kJob, "Kitchen");
    list.SetCell(7, WorklistColumn::kFilename, "TOP.PGM");
    list.SetCell(7, WorklistColumn::kRVariables, "R1=5");
    list.SetCellNote(7, WorklistColumn::kRVariables, "\t Shelf¦Door¦ \r\n");
    EXPECT_FALSE(list.IsJob(2));
    EXPECT_EQ(list.LastJobRow(), 7);
    // Notes are trimmed on read and kept apart from the texts.
    EXPECT_EQ(list.GetCellNote(7, WorklistColumn::kRVariables), "Shelf¦Door¦");
    EXPECT_EQ(list.GetCell(7, WorklistColumn::kRVariables), "R1=5");

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
    };
    for (const auto& [text, expected] : cases) EXPECT_EQ(ParseMaterials(text), expected) << text;
}

TEST(MaterialTest, ReadsTheTableBesideTheNestingApplicationOrGivesNoChoices) {
    const fs::path folder = fs::temp_directory_path() / "retracer-materials-t";
    fs::remove_all(folder);
    fs::create_directories(folder / "Dir.dat");
    std::ofstream(folder / "Mat.dat", std::ios::binary) << "1,Oak,19\r\n2,Beech,18\r\n3,Oak,19\r\n";
    MemoryUserSettingsStore store;
    store.Save("Cutplan", "Paths", "Executable", (folder / "Cutplan.exe").string());
    EXPECT_EQ(MaterialTablePath(store), folder / "Mat.dat");
    EXPECT_EQ(LoadMaterials(MaterialTablePath(store)), (Names{"Oak", "Beech"}));
    EXPECT_TRUE(LoadMaterials(folder / "Gone.dat").empty());
    EXPECT_TRUE(LoadMaterials(folder / "Dir.dat").empty());
    EXPECT_TRUE(LoadMaterials(fs::path()).empty());
    fs::remove_all(folder);
}

#ifndef _WIN32
TEST(MaterialTest, TablePathIsTheFolderOfTheStoredExecutable) {
    for (const auto& [stored, expected] : std::vector<std::pair<const char*, fs::path>>{
             {"/srv/nest\\bin\\cp.exe", "/srv/nest/bin/Mat.dat"}, {"Cutplan.exe", ""}}) {
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
