// The worklist run and the selection run: which drawings a worklist makes and under which names,
// Batch.lst, the HBD counter, missing programs, and the parallel run matching the run in order.
#include <gtest/gtest.h>

#include <filesystem>
#include <mutex>
#include <string>
#include <vector>

#include "base/atomic_file.h"
#include "job/control_panel_lists.h"
#include "job/session.h"
#include "job/worklist_run.h"
#include "settings/user_store.h"

#include "scratch_session.h"

namespace retracer {
namespace {

namespace fs = std::filesystem;

constexpr const char* kProgram =
    "$=Panel\n::UNm DL=800 DH=600 DS=18\n::SIDE=1;\nVAR{\n#5=100|w|x\n}VAR\nSIDE#1{\n"
    "W#81{ #1=r5 #2=50 #3=-5 }\nW#2006{ W$=~F~H20!Panel #8020=100 #8021=300 }\n}SIDE\n";

class WorklistRunTest : public ScratchSessionTest {
  protected:
    void SetUp() override {
        ScratchSessionTest::SetUp();
        for (const std::string name : {"PANEL.PGM", "PANEL.CNC", "SHELF.PGM", "BACK.PGM"}) {
            Write("progs/" + name, kProgram);
        }
        Write("progs/NOTES.TXT", "shopping list\n");
        session_->worklistFolder = root_;
    }

    // A job row; the "Path" cell is relative to the worklist's folder.
    void SetRow(Worklist& w, int row, const char* norm, const char* mir, const char* file,
                const std::string& outputName = "") {
        namespace C = WorklistColumn;
        const std::string cells[] = {norm, mir, file, "progs", "600", outputName};
        const int columns[] = {C::kNorm, C::kMir,    C::kFilename,
                               C::kPath, C::kLength, C::kOutputFilename};
        for (int i = 0; i < 6; ++i) w.SetCell(row, columns[i], cells[i]);
    }

    RunReport Run(int jobs = 1) {
        RunOptions options;
        options.jobs = jobs;
        options.sourceFolder = "C:\\Programs";
        return RunWorklist(*session_, state_, options);
    }

    static std::vector<std::string> Names(const RunReport& report) {
        std::vector<std::string> names;
        for (const RunReport::Translation& t : report.translations) {
            names.push_back(t.output.filename().string() + (t.written ? "" : " (not written)"));
        }
        return names;
    }

    std::string Line(const char* drawing) {
        return (session_->destFolder / drawing).string() + "\r\n";
    }

    std::string BatchList() {
        std::string text;
        ReadWholeFile(session_->destFolder / "Batch.lst", text, nullptr);
        return text;
    }

    RunState state_;
};

TEST_F(WorklistRunTest, OutputNamesQuantitiesAndNumbering) {
    Worklist& w = session_->worklist;
    SetRow(w, 3, "1", "0", "PANEL.PGM");
    SetRow(w, 5, "1", "0", "PANEL.PGM");
    SetRow(w, 8, "1", "0", "PANEL.PGM", "DOOR");
    SetRow(w, 9, "2", "1", "SHELF.PGM");    // quantities only decide which copies are made
    SetRow(w, 10, "0.4", "0", "BACK.PGM");  // passes "more than 0" but rounds to none
    SetRow(w, 11, "0", "0", "BACK.PGM");    // not work at all
    SetRow(w, 12, "0.4", "1", "back.pgm", "BACK_M.dxf");
    EXPECT_EQ(Names(Run()),
              (std::vector<std::string>{"PANEL.0003.DXF", "PANEL.0005.DXF", "DOOR.DXF", "SHELF.DXF",
                                        "SHELF.M.DXF", "BACK_M.M.DXF"}));
    EXPECT_TRUE(prompt_.messages.empty());
    EXPECT_TRUE(state_.translateArmed);
    EXPECT_EQ(store_.Get("Retracer", "Defaults", "InitDir", ""), "C:\\Programs\\");
}

TEST_F(WorklistRunTest, DrawingNamesThatWouldCollideAreNumberedOrRefused) {
    Worklist& w = session_->worklist;
    // Different programs, one drawing name: numbered like one program named twice.
    SetRow(w, 1, "1", "0", "PANEL.PGM");
    SetRow(w, 2, "1", "1", "PANEL.CNC");
    EXPECT_EQ(Names(Run()),
              (std::vector<std::string>{"PANEL.0001.DXF", "PANEL.0002.DXF", "PANEL.0002.M.DXF"}));

    // Same name, letter case and .DXF, blanks around, a name equal to a numbered one.
    for (const auto& [first, second] : std::vector<std::pair<const char*, const char*>>{
             {"DOOR", "DOOR"},
             {"door", "DOOR.dxf"},
             {" door ", "door"},
             {"", "SHELF.0004"},
             // Separators become "_" in the file name: these are one file as well.
             {"a/b", "a_b"},
             {"a\\b", "A_B.dxf"},
             {"sub/door", "sub\\door"}}) {
        w.Clear();
        prompt_.messages.clear();
        SetRow(w, 4, "1", "0", "SHELF.PGM", first);
        SetRow(w, 5, "1", "0", "SHELF.PGM");
        SetRow(w, 6, "1", "0", "BACK.PGM", second);
        fs::remove_all(session_->destFolder);
        fs::create_directories(session_->destFolder);
        const RunReport report = Run();
        EXPECT_TRUE(report.duplicateNames && report.translations.empty()) << second;
        EXPECT_TRUE(fs::is_empty(session_->destFolder)) << second;
        ASSERT_EQ(prompt_.messages.size(), 1u) << second;
        EXPECT_EQ(prompt_.messages[0].text, "Duplicate Output Filenames Found!\rItems:  4 &  6");
    }
}

TEST_F(WorklistRunTest, BatchListAndUnwrittenDrawings) {
    session_->settings.options.generateBatchLst = true;
    struct RecordingWindow : NestingWindow {
        std::vector<std::string> raised;
        void Raise(std::string_view title) override { raised.emplace_back(title); }
    } window;
    Worklist& w = session_->worklist;
    SetRow(w, 1, "1", "0", "PANEL.PGM");
    RunOptions options;
    options.nestingWindow = &window;
    RunWorklist(*session_, state_, options);
    // One translation is enough for the worklist run.
    EXPECT_EQ(BatchList(), Line("PANEL.DXF"));
    EXPECT_EQ(window.raised, std::vector<std::string>{"Cutplan"});

    // A drawing that cannot be written is reported and left out of Batch.lst.
    SetRow(w, 2, "1", "0", "SHELF.PGM");
    SetRow(w, 3, "1", "0", "BACK.PGM");
    fs::create_directories(session_->destFolder / "SHELF.DXF");
    prompt_.messages.clear();
    const RunReport report = RunWorklist(*session_, state_, options);
    EXPECT_EQ(Names(report),
              (std::vector<std::string>{"PANEL.DXF", "SHELF.DXF (not written)", "BACK.DXF"}));
    EXPECT_EQ(BatchList(), Line("PANEL.DXF") + Line("BACK.DXF"));
    ASSERT_FALSE(prompt_.messages.empty());
    EXPECT_NE(prompt_.messages.back().text.find("SHELF.DXF"), std::string::npos);

    // The selection run needs two translations.
    fs::remove(session_->destFolder / "Batch.lst");
    state_.translateArmed = true;
    RunSelection(*session_, state_, root_ / "progs", {"PANEL.PGM"}, options);
    EXPECT_FALSE(fs::exists(session_->destFolder / "Batch.lst"));
    RunSelection(*session_, state_, root_ / "progs", {"PANEL.PGM", "NOTES.TXT", "BACK.PGM"},
                 options);
    EXPECT_EQ(BatchList(), Line("PANEL.DXF") + Line("BACK.DXF"));
}

TEST_F(WorklistRunTest, MissingProgramsAskWhetherToGoOn) {
    session_->settings.options.generateBatchLst = true;
    session_->settings.options.renameForHbd = true;
    store_.Save("Retracer", "Defaults", "Counter4HBD", "7");
    Worklist& w = session_->worklist;
    SetRow(w, 1, "1", "0", "PANEL.PGM");
    SetRow(w, 2, "1", "0", "GONE.PGM");
    SetRow(w, 3, "1", "0", "NOTES.TXT");  // not a program: skipped without a word
    SetRow(w, 4, "1", "0", "SHELF.PGM");
    for (int jobs : {1, 2}) {
        // Yes goes on.
        prompt_ = RecordingPrompt();
        prompt_.answers = {true};
        RunReport report = Run(jobs);
        EXPECT_FALSE(report.stopped);
        EXPECT_EQ(Names(report), (std::vector<std::string>{"PANEL.DXF", "SHELF.DXF"}));
        ASSERT_EQ(report.skipped.size(), 2u);
        EXPECT_TRUE(report.skipped[0].missing && !report.skipped[1].missing);
        EXPECT_EQ(report.skipped[1].row, 3);
        EXPECT_EQ(prompt_.messages.size(), 1u);

        // No stops at the row: no Batch.lst, no counter stored.
        fs::remove(session_->destFolder / "Batch.lst");
        const std::string counter = store_.Get("Retracer", "Defaults", "Counter4HBD", "");
        prompt_ = RecordingPrompt();
        prompt_.answers = {false};
        state_.translateArmed = false;
        report = Run(jobs);
        EXPECT_TRUE(report.stopped && report.stopRow == 2) << jobs;
        EXPECT_EQ(Names(report), std::vector<std::string>{"PANEL.DXF"});
        EXPECT_FALSE(fs::exists(session_->destFolder / "Batch.lst"));
        EXPECT_EQ(store_.Get("Retracer", "Defaults", "Counter4HBD", ""), counter);
        EXPECT_FALSE(state_.translateArmed);
    }
}

TEST_F(WorklistRunTest, ParallelRunMatchesTheRunInOrderByteForByte) {
    session_->settings.options.generateBatchLst = true;
    session_->settings.options.renameForHbd = true;
    session_->settings.options.attachBarcode = true;
    const char* files[] = {"PANEL.PGM", "SHELF.PGM", "BACK.PGM",
                           "PANEL.CNC", "GONE.PGM",  "NOTES.TXT"};
    Worklist& w = session_->worklist;
    for (int row = 1; row <= 40; ++row) {
        SetRow(w, row, row % 3 == 0 ? "0" : "1", row % 2 == 0 ? "1" : "0", files[row % 6],
               row % 7 == 0 ? "NAMED" + std::to_string(row) : "");
        w.SetCell(row, WorklistColumn::kLength, std::to_string(500 + row));
        w.SetCell(row, WorklistColumn::kJob, "Job " + std::to_string(row));
        w.SetCell(row, WorklistColumn::kRVariables, "R5=L/" + std::to_string(row % 4 + 2));
    }
    // Names, then messages and Batch.lst with the folder (which differs) cut; the HBD counter
    // comes from and goes back to the user store.
    std::size_t drawings = 0;
    auto runInto = [&](const fs::path& dest, int jobs) {
        session_->destFolder = dest;
        fs::create_directories(dest);
        store_.Save("Retracer", "Defaults", "Counter4HBD", "99990");
        prompt_ = RecordingPrompt();
        std::vector<std::string> outcome = Names(Run(jobs));
        drawings = outcome.size();
        for (const RecordingPrompt::Message& m : prompt_.messages) {
            outcome.push_back(m.title + ": " + m.text);
        }
        // One label each: 99991 to 99999, then on from 1.
        EXPECT_EQ(store_.Get("Retracer", "Defaults", "Counter4HBD", ""),
                  " " + std::to_string(drawings - 9));
        std::string batchList = BatchList();
        for (std::size_t at; (at = batchList.find(dest.string())) != std::string::npos;) {
            batchList.replace(at, dest.string().size(), "DEST");
        }
        outcome.push_back(batchList);
        // The Control Panel ends the same: the last row's variables, calls and size.
        const ControlPanelLists& panel = session_->panel;
        for (const TextGrid* grid :
             {&panel.VVarList(), &panel.RVarList(), &panel.DimList(), &panel.SubList()}) {
            std::string cells;
            for (int r = 1; r <= grid->RowCount(); ++r)
                for (int c = 1; c <= grid->ColumnCount(); ++c) cells += grid->Text(r, c) + "|";
            outcome.push_back(cells);
        }
        outcome.push_back(panel.Labels().Dimensions() + "|" + panel.Labels().Comment());
        return outcome;
    };
    const std::vector<std::string> serial = runInto(root_ / "serial", 1);
    EXPECT_EQ(serial, runInto(root_ / "parallel", 3));
    ASSERT_GT(drawings, 20u);

    std::size_t compared = 0;
    for (const fs::directory_entry& entry : fs::directory_iterator(root_ / "serial")) {
        const std::string name = entry.path().filename().string();
        std::string a;
        std::string b;
        ASSERT_TRUE(ReadWholeFile(entry.path(), a, nullptr));
        ASSERT_TRUE(ReadWholeFile(root_ / "parallel" / name, b, nullptr)) << name;
        EXPECT_TRUE(name == "Batch.lst" || a == b) << name << " differs";
        compared += name != "Batch.lst";
    }
    EXPECT_EQ(compared, drawings);
}

// A long run tells where it is before each row, and a cancelled run stops at the row it was about
// to begin exactly as the answer No to "File Not Found" stops it: no Batch.lst, no counter stored,
// not armed, the rows before it done.
TEST_F(WorklistRunTest, ProgressAndCancelStopLikeAnsweringNo) {
    session_->settings.options.generateBatchLst = true;
    session_->settings.options.renameForHbd = true;
    Worklist& w = session_->worklist;
    const char* files[] = {"PANEL.PGM", "SHELF.PGM", "BACK.PGM", "PANEL.CNC", "SHELF.PGM"};
    for (int row = 1; row <= 5; ++row) SetRow(w, row, "1", row == 2 ? "1" : "0", files[row - 1]);
    for (int jobs : {1, 3}) {
        for (int stopAt : {0, 1, 4}) {  // 0: never cancelled
            SCOPED_TRACE("jobs " + std::to_string(jobs) + ", cancelled at row " +
                         std::to_string(stopAt));
            fs::remove(session_->destFolder / "Batch.lst");
            store_.Save("Retracer", "Defaults", "Counter4HBD", "5");
            state_.translateArmed = false;
            std::mutex mutex;
            std::vector<RunProgress> told;
            bool stop = false;
            RunOptions options;
            options.jobs = jobs;
            options.progress = [&](const RunProgress& p) {
                const std::lock_guard<std::mutex> lock(mutex);
                told.push_back(p);
                stop = stop || p.row == stopAt;
            };
            options.cancelled = [&] {
                const std::lock_guard<std::mutex> lock(mutex);
                return stop;
            };
            const RunReport report = RunWorklist(*session_, state_, options);

            std::vector<int> rows;
            for (const RunProgress& p : told) {
                EXPECT_EQ(p.rowsTotal, 5);
                rows.push_back(p.row);
            }
            if (stopAt == 0) {
                // The last call says all rows are done.
                EXPECT_EQ(rows, (std::vector<int>{1, 2, 3, 4, 5, 0}));
                EXPECT_EQ(told.back().rowsDone, 5);
                EXPECT_FALSE(report.stopped);
                EXPECT_EQ(Names(report).size(), 6u);
                EXPECT_TRUE(fs::exists(session_->destFolder / "Batch.lst"));
                EXPECT_EQ(store_.Get("Retracer", "Defaults", "Counter4HBD", ""), " 11");
                EXPECT_TRUE(state_.translateArmed);
                continue;
            }
            // The row told of last is the one that did not begin.
            EXPECT_EQ(rows.back(), stopAt);
            EXPECT_TRUE(report.stopped);
            EXPECT_EQ(report.stopRow, stopAt + 1);
            for (const RunReport::Translation& t : report.translations) EXPECT_LE(t.row, stopAt);
            EXPECT_FALSE(fs::exists(session_->destFolder / "Batch.lst"));
            EXPECT_EQ(store_.Get("Retracer", "Defaults", "Counter4HBD", ""), "5");
            EXPECT_FALSE(state_.translateArmed);
            EXPECT_TRUE(session_->stopRequested);
        }
    }
}

// The selection run tells of every file before it begins and stops at a cancel the same way,
// leaving itself free for the next run.
TEST_F(WorklistRunTest, ASelectionRunCanBeCancelledBeforeAFile) {
    state_.translateArmed = true;
    std::vector<RunProgress> told;
    RunOptions options;
    options.progress = [&](const RunProgress& p) { told.push_back(p); };
    options.cancelled = [&] { return told.size() == 2; };  // before the third file begins
    const RunReport report = RunSelection(*session_, state_, root_ / "progs",
                                          {"BACK.PGM", "SHELF.PGM", "PANEL.PGM"}, options);
    EXPECT_TRUE(report.stopped);
    EXPECT_EQ(Names(report), (std::vector<std::string>{"BACK.DXF", "SHELF.DXF"}));
    std::vector<int> done;
    for (const RunProgress& p : told) {
        EXPECT_EQ(p.row, 0);
        EXPECT_EQ(p.rowsTotal, 3);
        done.push_back(p.rowsDone);
    }
    EXPECT_EQ(done, (std::vector<int>{0, 1}));
    EXPECT_FALSE(state_.selectionRunBusy);

    told.clear();
    options.cancelled = nullptr;
    EXPECT_FALSE(RunSelection(*session_, state_, root_ / "progs", {"PANEL.PGM"}, options).stopped);
    ASSERT_EQ(told.size(), 2u);
    EXPECT_EQ(told.back().rowsDone, 1);  // the last call says the file is done
}

TEST_F(WorklistRunTest, ProcessButtonChoosesTheRunByRowOne) {
    Worklist& w = session_->worklist;
    SetRow(w, 2, "1", "0", "SHELF.PGM");  // row 1 empty: the selection run
    state_.translateArmed = true;
    RunOptions options;
    RunReport report = ProcessButton(*session_, state_, root_ / "progs", {"BACK.PGM"}, options);
    EXPECT_EQ(Names(report), std::vector<std::string>{"BACK.DXF"});

    SetRow(w, 1, "1", "0", "PANEL.PGM");
    report = ProcessButton(*session_, state_, root_ / "progs", {"BACK.PGM"}, options);
    EXPECT_EQ(Names(report), (std::vector<std::string>{"PANEL.DXF", "SHELF.DXF"}));

    // A selection run that is not armed only recognises, then arms itself; a busy one does
    // nothing.
    state_.translateArmed = false;
    report = RunSelection(*session_, state_, root_ / "progs", {"BACK.PGM"}, options);
    EXPECT_TRUE(report.translations.empty() && state_.translateArmed);
    state_.selectionRunBusy = true;
    report = RunSelection(*session_, state_, root_ / "progs", {"BACK.PGM"}, options);
    EXPECT_TRUE(report.translations.empty());
}

}  // namespace
}  // namespace retracer
