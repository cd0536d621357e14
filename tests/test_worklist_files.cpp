// Worklist files and CSV exchange: what survives a round trip, what a damaged file does, and the
// CSV rules other programs rely on.
#include <gtest/gtest.h>

#include <filesystem>
#include <random>

#include "base/atomic_file.h"
#include "job/session.h"
#include "job/worklist_commands.h"
#include "settings/user_store.h"
#include "worklist/worklist.h"

namespace retracer {
namespace {

namespace fs = std::filesystem;

TEST(WorklistFile, RoundTripRestoresEveryCellNoteAndWidth) {
    // Every cell of every row gets a text of its own (some empty, some with the characters that
    // trouble text formats), a few cells a note.
    std::mt19937 random(7);
    const char* pieces[] = {"",           "PANEL.PGM", "R5=L/2 \xC2\xA6 R7=3", "a,b",
                            "\"quoted\"", "tab\there", "line\r\nbreak",        " blanks ",
                            "\xC3\x96l",  "\\\\srv\\x"};
    Worklist saved;
    for (int r = 1; r <= saved.RowCount(); ++r) {
        for (int c = 1; c <= saved.ColumnCount(); ++c) {
            saved.SetCell(r, c, std::string(pieces[random() % 10]) + std::to_string(random() % 7));
        }
        if (r % 9 == 0) saved.SetCellNote(r, WorklistColumn::kRVariables, "half \xC2\xA6 seven");
    }
    saved.SetCellNote(500, 15, " kept with its blanks ");
    saved.SetColumnWidth(3, 31.5);
    std::string error;
    Worklist loaded;
    loaded.SetCell(2, 2, "overwritten by the load");
    ASSERT_TRUE(LoadWorklistText(WorklistFileText(saved), loaded, &error)) << error;
    for (int c = 1; c <= saved.ColumnCount(); ++c) {
        EXPECT_EQ(loaded.ColumnWidth(c), saved.ColumnWidth(c)) << c;
        for (int r = 0; r <= saved.RowCount(); ++r) {
            ASSERT_EQ(loaded.GetCell(r, c), saved.GetCell(r, c)) << r << "," << c;
            ASSERT_EQ(loaded.Grid().Note(r, c), saved.Grid().Note(r, c)) << r << "," << c;
        }
    }
    // Empty rows are dropped from the file: loading an empty worklist's file empties.
    ASSERT_TRUE(LoadWorklistText(WorklistFileText(Worklist()), loaded, &error));
    EXPECT_EQ(loaded.LastJobRow(), 0);
}

TEST(WorklistFile, DamagedOrForeignFilesLeaveTheWorklistAlone) {
    Worklist good;
    good.SetCell(1, WorklistColumn::kFilename, "A.PGM");
    const std::string text = WorklistFileText(good);
    auto replaced = [&text](const std::string& from, const std::string& to) {
        std::string t = text;
        t.replace(t.find(from), from.size(), to);
        return t;
    };
    const std::pair<std::string, const char*> cases[] = {
        {"", "Not a readable worklist"},
        {text.substr(0, text.size() / 2), "Not a readable worklist"},
        {std::string("\x00\x01SS\x02", 5), "readable"},
        {"{\"rows\": []}", "not a Retracer worklist"},
        {replaced("\"version\": 1", "\"version\": 2"), "newer"},
        {replaced("\"row\": 1", "\"row\": 501"), "row 501"},
        {replaced("\"A.PGM\"", "7"), "readable"},
        {replaced("\"Norm\"", "\"Qty\""), "column 1"},
    };
    for (const auto& [damaged, reason] : cases) {
        Worklist w;
        w.SetCell(4, WorklistColumn::kJob, "kept");
        w.SetCellNote(4, WorklistColumn::kRVariables, "kept note");
        std::string error;
        EXPECT_FALSE(LoadWorklistText(damaged, w, &error)) << reason;
        EXPECT_NE(error.find(reason), std::string::npos) << reason << ": " << error;
        EXPECT_EQ(w.GetCell(4, WorklistColumn::kJob), "kept") << reason;
        EXPECT_EQ(w.GetCellNote(4, WorklistColumn::kRVariables), "kept note") << reason;
    }
}

TEST(WorklistCsv, ExportWritesNonEmptyRowsWithoutQuoting) {
    Worklist w;
    w.SetCell(1, WorklistColumn::kNorm, "1");
    w.SetCell(3, WorklistColumn::kFilename, "B.PGM");
    w.SetCell(3, WorklistColumn::kJob, "Smith, kitchen");
    w.SetCell(3, WorklistColumn::kOutputFilename, "OUT");
    w.SetCellNote(5, WorklistColumn::kRVariables, "a note alone does not make a line");
    EXPECT_EQ(WorklistCsvText(w),
              "1,,,,,,,,,,,,,,\r\n"
              ",,B.PGM,Smith, kitchen,,,,,,,,,,,OUT\r\n");

    // The two lines come back into rows 1 and 2; the comma split the job text.
    Worklist back;
    EXPECT_EQ(ImportWorklistCsvText(WorklistCsvText(w), back), 2);
    EXPECT_EQ(back.GetCell(2, WorklistColumn::kJob) + "|" + back.GetCell(2, WorklistColumn::kRoom),
              "Smith| kitchen");
    EXPECT_EQ(back.GetCell(2, WorklistColumn::kOutputFilename), "");  // the 16th field is lost
}

TEST(WorklistCsv, ImportReplacesRowsFromTheTopAndStopsAtAnEmptyLine) {
    // No final line end, a third line empty, an empty file.
    for (const auto& [text, imported] : std::vector<std::pair<const char*, int>>{
             {"1,0,A\n2,0,B\n3,0,C", 3}, {"1,0,A\r\n2,0,B\r\n\r\n4,0,D\r\n", 2}, {"", 0}}) {
        Worklist w;
        for (int r = 1; r <= 5; ++r) {
            w.SetCell(r, WorklistColumn::kFilename, "OLD");
            w.SetCell(r, WorklistColumn::kMaterial, "Oak");
        }
        EXPECT_EQ(ImportWorklistCsvText(text, w), imported) << text;
        for (int r = 1; r <= 5; ++r) {
            const bool replaced = r <= imported;
            EXPECT_EQ(w.GetCell(r, WorklistColumn::kFilename) == "OLD", !replaced) << text << r;
            // Fields a line does not have leave their cells empty.
            EXPECT_EQ(w.GetCell(r, WorklistColumn::kMaterial), replaced ? "" : "Oak") << text;
        }
    }
    // Any material name becomes the cell's text, listed or not.
    Worklist w;
    ImportWorklistCsvText("1,0,A,,,,,Unobtainium\r\n", w);
    EXPECT_EQ(w.GetCell(1, WorklistColumn::kMaterial), "Unobtainium");
}

TEST(WorklistFileCommands, RememberTheirFoldersAndKeepTheWorklistOnFailure) {
    const fs::path folder = fs::temp_directory_path() / "retracer_file_commands";
    fs::remove_all(folder);
    fs::create_directories(folder);
    RecordingPrompt prompt;
    MemoryUserSettingsStore store;
    Session session(ResolveAppPaths(folder, nullptr), prompt, store);
    session.worklist.SetCell(1, WorklistColumn::kFilename, "\xC3\x96L.PGM");
    std::string error;
    ASSERT_TRUE(ExportWorklistToCsv(session, folder / "week.csv", &error)) << error;
    ASSERT_TRUE(SaveWorklistAs(session, folder / "week.lst", &error)) << error;
    EXPECT_EQ(RememberedFolder(store, kCsvDirKey), (folder / "").string());
    EXPECT_EQ(RememberedFolder(store, kListDirKey), (folder / "").string());

    session.worklist.Clear();
    ASSERT_TRUE(ImportWorklistFromCsv(session, folder / "week.csv", &error)) << error;
    EXPECT_EQ(session.worklist.GetCell(1, WorklistColumn::kFilename), "\xC3\x96L.PGM");
    session.worklist.Clear();
    session.worklistFolder.clear();
    ASSERT_TRUE(OpenWorklist(session, folder / "week.lst", &error)) << error;
    EXPECT_EQ(session.worklist.GetCell(1, WorklistColumn::kFilename), "\xC3\x96L.PGM");
    EXPECT_EQ(session.worklistFolder, folder);

    // Files that cannot be read change nothing.
    session.worklist.SetCell(1, 1, "stays");
    EXPECT_FALSE(ImportWorklistFromCsv(session, folder / "gone.csv", &error));
    EXPECT_FALSE(OpenWorklist(session, folder / "gone.lst", &error));
    EXPECT_EQ(session.worklist.GetCell(1, 1), "stays");
    fs::remove_all(folder);

    EXPECT_EQ(ProposedCsvName("*.csv"), "*.CSV");
    EXPECT_EQ(ProposedCsvName("week.12.lst"), "week.CSV");
    EXPECT_EQ(ProposedCsvName("week"), "weekCSV");
}

}  // namespace
}  // namespace retracer
