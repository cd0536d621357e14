// Every file Retracer writes, when writing goes wrong: the destination folder missing or
// read-only, the disk full, a folder where the file should be. The writer must say so (false and
// a reason naming the file), leave the earlier file exactly as it was, and leave nothing else
// behind. Then the same seen from the user's side: the messages of a job, a worklist command and
// a batch run.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "base/atomic_file.h"
#include "child_process.h"
#include "drawing/drawing_writer.h"
#include "job/job_driver.h"
#include "job/worklist_commands.h"
#include "job/worklist_run.h"
#include "labels/label_block.h"
#include "scratch_session.h"
#include "settings/app_folder.h"
#include "settings/ini_file.h"
#include "settings/options.h"
#include "settings/user_store.h"
#include "translate/tool_table.h"
#include "worklist/worklist.h"
#include "worklist/worklist_files.h"

namespace fs = std::filesystem;
using namespace retracer;
using retracer::testing_child::ChildCondition;
using retracer::testing_child::RunInChild;

namespace {

// What a writer said: whether it wrote, and its reason when it did not.
struct WriteOutcome {
    bool written = false;
    std::string error;
};

// One of the files the application writes, written through its own writer with content well
// over the child's file-size limit.
struct WriterCase {
    const char* name;
    const char* fileName;
    std::function<WriteOutcome(const fs::path&)> write;
};

Worklist FilledWorklist() {
    Worklist worklist;
    for (int r = 1; r <= 3; ++r) {
        worklist.SetCell(r, WorklistColumn::kNorm, "1");
        worklist.SetCell(r, WorklistColumn::kFilename, "PANEL" + std::to_string(r) + ".PGM");
        worklist.SetCell(r, WorklistColumn::kPartDescription, "Cabinet side, 32 mm system");
    }
    return worklist;
}

const std::vector<WriterCase>& Writers() {
    static const std::vector<WriterCase> writers = {
        {"Drawing", "PANEL.DXF",
         [](const fs::path& file) {
             DrawingWriter writer;
             WriteOutcome out;
             if (writer.OpenDrawing(file)) {
                 writer.StartDrawing();
                 writer.AddCircle(10, 20, -5, 4, "VBORE", 4);
                 out.written = writer.CloseDrawing();
             }
             out.error = writer.Error();
             return out;
         }},
        {"Worklist", "JOBS.lst",
         [](const fs::path& file) {
             WriteOutcome out;
             out.written = SaveWorklistFile(FilledWorklist(), file, &out.error);
             return out;
         }},
        {"Csv", "JOBS.csv",
         [](const fs::path& file) {
             WriteOutcome out;
             out.written = ExportWorklistCsv(FilledWorklist(), file, &out.error);
             return out;
         }},
        {"ToolPar", "Tool.Par",
         [](const fs::path& file) {
             std::vector<ToolRow> rows(40, ToolRow{"32.00", "0.00", "8.00"});
             WriteOutcome out;
             out.written = SaveToolTable(file, rows, &out.error);
             return out;
         }},
        {"BatchList", "Batch.lst",
         [](const fs::path& file) {
             const std::vector<fs::path> outputs(5, file.parent_path() / "PANEL.0001.M.DXF");
             WriteOutcome out;
             out.written = WriteFileAtomically(file, BatchListText(outputs), &out.error);
             return out;
         }},
        {"SettingsFile", "Rtrc.INI",
         [](const fs::path& file) {
             IniFile ini(file);
             WriteOutcome out;
             out.written = ini.Write(kConfigSection, "SourceDir", std::string(70, 's'), &out.error);
             return out;
         }},
        {"SettingsOption", "Rtrc.INI",
         [](const fs::path& file) {
             IniFile ini(file);
             WriteOutcome out;
             out.written = WriteOption(ini, &TranslationOptions::saveOnTranslate, true);
             out.error = out.written ? "" : "not written";  // the option writer has no reason
             return out;
         }},
    };
    return writers;
}

// How the destination fails.
enum class Failure { kFolderMissing, kFolderInTheWay, kReadOnlyFolder, kDiskFull };

struct FailureCase {
    const WriterCase* writer;
    Failure failure;
};

std::string CaseName(const ::testing::TestParamInfo<FailureCase>& info) {
    static const char* const kFailures[] = {"FolderMissing", "FolderInTheWay", "ReadOnlyFolder",
                                            "DiskFull"};
    return std::string(info.param.writer->name) + "_" +
           kFailures[static_cast<int>(info.param.failure)];
}

std::vector<FailureCase> AllCases() {
    std::vector<FailureCase> cases;
    for (const WriterCase& writer : Writers()) {
        for (Failure f : {Failure::kFolderMissing, Failure::kFolderInTheWay,
                          Failure::kReadOnlyFolder, Failure::kDiskFull}) {
            cases.push_back({&writer, f});
        }
    }
    return cases;
}

// The earlier file: a settings text (the settings writers read it back) longer than the limit.
const std::string kEarlier = "[Config]\nSourceDir=" + std::string(120, 'e') + "\nKeep=1\n";

std::vector<std::string> NamesIn(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

std::string Bytes(const fs::path& file) {
    std::string bytes;
    EXPECT_TRUE(ReadWholeFile(file, bytes, nullptr)) << file;
    return bytes;
}

class OutputFailureTest : public ::testing::TestWithParam<FailureCase> {
  protected:
    void SetUp() override {
        std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
        std::replace(name.begin(), name.end(), '/', '_');
        folder_ = fs::temp_directory_path() / ("retracer_output_failure_" + name);
        fs::remove_all(folder_);
        fs::create_directories(folder_);
    }
    void TearDown() override {
        std::error_code ec;
        fs::permissions(folder_, fs::perms::owner_all, fs::perm_options::add, ec);
        fs::remove_all(folder_, ec);
    }
    fs::path folder_;
};

TEST_P(OutputFailureTest, FailsWithAReasonAndKeepsTheEarlierFile) {
    const WriterCase& writer = *GetParam().writer;
    fs::path target = folder_ / writer.fileName;
    WriteOutcome outcome;
    std::vector<std::string> expectedNames = {writer.fileName};

    switch (GetParam().failure) {
        case Failure::kFolderMissing:
            target = folder_ / "gone" / writer.fileName;
            outcome = writer.write(target);
            expectedNames = {};
            break;
        case Failure::kFolderInTheWay:
            fs::create_directory(target);
            std::ofstream(target / "inside.txt") << "kept";
            outcome = writer.write(target);
            ASSERT_TRUE(fs::is_directory(target));
            EXPECT_EQ(Bytes(target / "inside.txt"), "kept");
            break;
        case Failure::kReadOnlyFolder:
        case Failure::kDiskFull: {
            std::ofstream(target, std::ios::binary) << kEarlier;
            const bool readOnly = GetParam().failure == Failure::kReadOnlyFolder;
            if (readOnly)
                fs::permissions(folder_, fs::perms::owner_write, fs::perm_options::remove);
            const auto reply = RunInChild(
                readOnly ? ChildCondition::kUnprivileged : ChildCondition::kFileSizeLimit, [&] {
                    const WriteOutcome out = writer.write(target);
                    return std::string(out.written ? "1" : "0") + out.error;
                });
            if (!reply) GTEST_SKIP() << "this system cannot run the writer in a restricted child";
            ASSERT_FALSE(reply->empty());
            outcome.written = reply->front() == '1';
            outcome.error = reply->substr(1);
            fs::permissions(folder_, fs::perms::owner_write, fs::perm_options::add);
            EXPECT_EQ(Bytes(target), kEarlier) << "the earlier file was changed";
            break;
        }
    }
    EXPECT_FALSE(outcome.written) << "a failed write reported as done";
    EXPECT_FALSE(outcome.error.empty());
    if (outcome.error != "not written") {
        EXPECT_NE(outcome.error.find(writer.fileName), std::string::npos)
            << "the reason names the file: " << outcome.error;
    }
    EXPECT_EQ(NamesIn(folder_), expectedNames) << "a temporary or half-written file was left";
}

INSTANTIATE_TEST_SUITE_P(EveryWriter, OutputFailureTest, ::testing::ValuesIn(AllCases()), CaseName);

// ---- The user's side ---------------------------------------------------------------------------

constexpr std::string_view kProgram =
    "::UNm DL=800 DH=600 DS=18\n::SIDE=1;\nSIDE#1{\nW#81{ #1=10 #2=20 #3=-5 #205=8 }\n}SIDE\n";

class OutputFailureSessionTest : public ScratchSessionTest {
  protected:
    std::vector<std::string> Titles() const {
        std::vector<std::string> titles;
        for (const auto& m : prompt_.messages) titles.push_back(m.title);
        return titles;
    }
};

TEST_F(OutputFailureSessionTest, AJobOnAFullDiskSaysSoAndKeepsTheEarlierDrawing) {
    const fs::path program = Write("progs/PANEL.PGM", kProgram);
    const fs::path drawing = root_ / "out" / "PANEL.DXF";
    std::ofstream(drawing, std::ios::binary) << kEarlier;
    const auto reply = RunInChild(ChildCondition::kFileSizeLimit, [&] {
        const ProgramJobResult result = TranslateProgramFile(*session_, {program, false, true});
        std::string said;
        for (const auto& m : prompt_.messages) said += m.title + ": " + m.text + "\n";
        return std::string(result.job.written ? "1" : "0") + (result.job.fileError ? "1" : "0") +
               said;
    });
    if (!reply) GTEST_SKIP() << "no restricted child here";
    EXPECT_EQ(reply->substr(0, 2), "01") << *reply;
    EXPECT_NE(reply->find("Alert!: File Error. File may be open by another application.\r\n" +
                          drawing.string()),
              std::string::npos)
        << *reply;
    EXPECT_EQ(Bytes(drawing), kEarlier);
    EXPECT_EQ(NamesIn(root_ / "out"), std::vector<std::string>{"PANEL.DXF"});
}

TEST_F(OutputFailureSessionTest, AJobThatCannotWriteGivesTheReasonWithItsDiagnostics) {
    const fs::path program = Write("progs/PANEL.PGM", kProgram);
    session_->destFolder = root_ / "gone";
    const ProgramJobResult result = TranslateProgramFile(*session_, {program, false, true});
    EXPECT_TRUE(result.job.fileError);
    EXPECT_FALSE(result.job.written);
    ASSERT_EQ(result.job.diagnostics.size(), 1u);
    EXPECT_EQ(result.job.diagnostics[0].file, (root_ / "gone" / "PANEL.DXF").string());
    EXPECT_NE(result.job.diagnostics[0].message.find("PANEL.DXF"), std::string::npos)
        << result.job.diagnostics[0].message;
    EXPECT_EQ(Titles(), std::vector<std::string>{"Alert!"});
    EXPECT_FALSE(fs::exists(root_ / "gone"));
}

TEST_F(OutputFailureSessionTest, FailedWorklistCommandsTellTheUserAndReturnFalse) {
    session_->worklist = FilledWorklist();
    const fs::path inTheWay = root_ / "lists" / "JOBS.lst";
    fs::create_directories(inTheWay);
    std::string error;
    EXPECT_FALSE(SaveWorklistAs(*session_, inTheWay, &error));
    EXPECT_FALSE(error.empty());
    EXPECT_FALSE(ExportWorklistToCsv(*session_, root_ / "gone" / "JOBS.csv", &error));
    EXPECT_NE(error.find("JOBS.csv"), std::string::npos) << error;
    ASSERT_EQ(Titles(), (std::vector<std::string>{"Alert!", "Alert!"}));
    EXPECT_NE(prompt_.messages[0].text.find("JOBS.lst"), std::string::npos);
    EXPECT_EQ(session_->worklistFolder, fs::path()) << "a failed save does not move the folder";

    // Success stays silent.
    EXPECT_TRUE(SaveWorklistAs(*session_, root_ / "lists" / "OK.lst", &error));
    EXPECT_EQ(prompt_.messages.size(), 2u);
}

// The per-user store refusing to write: the HBD counter would start again where it started, so
// the next run would repeat its HBD numbers. Both a single job and a run say so.
class RefusingStore : public MemoryUserSettingsStore {
  public:
    bool Save(std::string_view, std::string_view, std::string_view, std::string_view) override {
        return false;
    }
};

TEST_F(OutputFailureSessionTest, AnHbdCounterThatCannotBeStoredIsReported) {
    Write("progs/PANEL.PGM", kProgram);
    RefusingStore store;
    Session session(ResolveAppPaths(root_ / "app", nullptr), prompt_, store);
    session.LoadSettings();
    session.destFolder = root_ / "out";
    session.settings.options.renameForHbd = true;
    session.worklistFolder = root_ / "progs";
    session.worklist.SetCell(1, WorklistColumn::kNorm, "1");
    session.worklist.SetCell(1, WorklistColumn::kMir, "1");
    session.worklist.SetCell(1, WorklistColumn::kFilename, "PANEL.PGM");

    const ProgramJobResult single =
        TranslateProgramFile(session, {root_ / "progs" / "PANEL.PGM", false, true});
    EXPECT_TRUE(single.job.written);
    RunState state;
    state.translateArmed = true;
    RunOptions options;
    options.forceSave = true;
    const RunReport report = RunWorklist(session, state, options);
    EXPECT_TRUE(report.AllWritten());

    ASSERT_EQ(Titles(), (std::vector<std::string>{"Alert!", "Process Error"}));
    EXPECT_EQ(prompt_.messages[0].text, HbdCounterNotStored(1));
    EXPECT_EQ(prompt_.messages[1].text, HbdCounterNotStored(2)) << "two copies of the row";
}

TEST_F(OutputFailureSessionTest, ABatchListThatCannotBeWrittenFailsTheRun) {
    Write("progs/PANEL.PGM", kProgram);
    session_->settings.options.generateBatchLst = true;
    session_->worklistFolder = root_ / "progs";
    session_->worklist.SetCell(1, WorklistColumn::kNorm, "1");
    session_->worklist.SetCell(1, WorklistColumn::kFilename, "PANEL.PGM");
    const fs::path batchList = root_ / "out" / "Batch.lst";
    fs::create_directory(batchList);

    RunState state;
    state.translateArmed = true;
    RunOptions options;
    options.forceSave = true;
    const RunReport report = RunWorklist(*session_, state, options);

    EXPECT_TRUE(report.AllWritten());
    EXPECT_EQ(report.WrittenOutputs().size(), 1u);
    EXPECT_TRUE(report.batchList.empty());
    EXPECT_NE(report.batchListError.find("Batch.lst"), std::string::npos) << report.batchListError;
    ASSERT_EQ(Titles(), std::vector<std::string>{"Process Error"});
    EXPECT_TRUE(fs::is_empty(batchList)) << "the folder in the way is left alone";
}

// A name with a NUL in it (a worklist cell can hold one) would be cut short by the system: the
// file written would be another one than the name says.
TEST(OutputNameTest, ANameWithANulWritesNoOtherFile) {
    const fs::path folder = fs::temp_directory_path() / "retracer_output_name_nul";
    fs::remove_all(folder);
    fs::create_directories(folder);
    std::string error;
    EXPECT_FALSE(WriteFileAtomically(folder / std::string("DOOR\0.DXF", 9), "content", &error));
    EXPECT_NE(error.find("not a file name"), std::string::npos) << error;
    EXPECT_TRUE(fs::is_empty(folder));
    fs::remove_all(folder);
}

}  // namespace
