// Whatever lies in a shop's folders: files that are not programs, programs in other encodings,
// paths that are no files, programs that change under a job, programs built to exhaust the
// translator, and worklists that are too big or from elsewhere. Every job ends, says what it
// could not read, and overwrites no drawing with garbage.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <utility>
#include <variant>
#include <vector>

#include "base/atomic_file.h"
#include "child_process.h"
#include "drawing/dxf_reader.h"
#include "job/job_driver.h"
#include "job/worklist_commands.h"
#include "job/worklist_run.h"
#include "scratch_session.h"
#include "settings/ini_file.h"
#include "settings/options.h"
#include "translate/tool_table.h"
#include "translator_job.h"
#include "worklist/worklist.h"
#include "worklist/worklist_files.h"

namespace fs = std::filesystem;
using namespace retracer;
using retracer::testing_child::ChildCondition;
using retracer::testing_child::RunInChild;

namespace {

constexpr std::string_view kProgram =
    "$\n$=Side\n::UNm DL=800 DH=600 DS=18\n::SIDE=1;\nSIDE#1{\nW#81{ #1=10 #2=20 #3=-5 #205=8 }\n"
    "}SIDE\n";

// The same text in UTF-16, with or without its byte-order mark.
std::string Utf16(std::string_view ascii, bool bigEndian, bool mark) {
    std::string out;
    if (mark) out = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
    for (char c : ascii) {
        out += bigEndian ? std::string{'\0', c} : std::string{c, '\0'};
    }
    return out;
}

// Bytes that are no text: every value, NUL and line ends among them, in a fixed order.
std::string NoiseBytes(std::size_t count) {
    std::string out;
    std::uint32_t x = 2463534242u;
    for (std::size_t i = 0; i < count; ++i) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        out += static_cast<char>(x & 0xFF);
    }
    return out;
}

std::string Bytes(const fs::path& file) {
    std::string bytes;
    EXPECT_TRUE(ReadWholeFile(file, bytes, nullptr)) << file;
    return bytes;
}

std::string Said(const RecordingPrompt& prompt) {
    std::string said;
    for (const auto& m : prompt.messages) {
        said += (m.question ? "? " : "") + m.title + ": " + m.text + "\n";
    }
    return said;
}

// A case's own name as the name of its test.
struct NameOfCase {
    template <typename Info>
    std::string operator()(const Info& param) const {
        return param.param.name;
    }
};
constexpr NameOfCase NameOf;

class HostileInputTest : public ScratchSessionTest {
  protected:
    ProgramJobResult Translate(const fs::path& program) {
        return TranslateProgramFile(*session_, {program, false, true});
    }
    std::size_t Count(const JobResult& job, const std::string& layer) const {
        const auto found = job.entitiesPerLayer.find(layer);
        return found == job.entitiesPerLayer.end() ? 0 : found->second;
    }
};

// ---- Files that are not what they seem -------------------------------------------------------

struct ContentCase {
    const char* name;
    std::string bytes;
    bool isProgram;
    std::string told = "";  // the job's diagnostics, "line: message" each
};

const std::string kNulNote = "NUL bytes in the line: the file is damaged or is no program text\n";

class ProgramContentTest : public HostileInputTest,
                           public ::testing::WithParamInterface<ContentCase> {};

TEST_P(ProgramContentTest, IsTranslatedLikeItsTextOrRefusedQuietly) {
    const fs::path program = Write("progs/SIDE.PGM", GetParam().bytes);
    const ProgramJobResult result = Translate(program);
    EXPECT_EQ(result.recognized, GetParam().isProgram);
    if (GetParam().isProgram) {
        EXPECT_TRUE(result.job.written);
        EXPECT_EQ(Count(result.job, "VBORE_Z5"), 1u) << "the hole of the program's text";
        EXPECT_EQ(result.job.header.partLength, 800);
        EXPECT_EQ(session_->header.programComment, "Side");
        std::string told;
        for (const Diagnostic& d : result.job.diagnostics) {
            told += std::to_string(d.line) + ": " + d.message + "\n";
        }
        EXPECT_EQ(told, GetParam().told);
    } else {
        EXPECT_TRUE(fs::is_empty(root_ / "out"))
            << "nothing is written for a file that is no program";
        EXPECT_EQ(session_->panel.Labels().Dimensions(), "Not a Proper Program File");
    }
    EXPECT_EQ(Said(prompt_), "") << "the Control Panel says it, no message box";
}

INSTANTIATE_TEST_SUITE_P(
    Files, ProgramContentTest,
    ::testing::Values(
        ContentCase{"Binary", NoiseBytes(65536), false}, ContentCase{"Empty", "", false},
        ContentCase{"OnlyNuls", std::string(4096, '\0'), false},
        ContentCase{"Utf16LittleEndianWithMark", Utf16(kProgram, false, true), true},
        ContentCase{"Utf16BigEndianWithMark", Utf16(kProgram, true, true), true},
        ContentCase{"Utf16LittleEndianWithoutMark", Utf16(kProgram, false, false), true},
        ContentCase{"Utf16BigEndianWithoutMark", Utf16(kProgram, true, false), true},
        ContentCase{"Utf8WithMark", "\xEF\xBB\xBF" + std::string(kProgram), true},
        ContentCase{"NulBytesInsideLines",
                    std::string(kProgram).insert(kProgram.find("#2=20"), std::string(3, '\0')) +
                        std::string(100, '\0') + "\n",
                    true, "6: " + kNulNote},
        ContentCase{"BinaryTail", std::string(kProgram) + NoiseBytes(65536), true,
                    "9: " + kNulNote}),
    NameOf);

// Paths under which no readable file lies: each ends the job at once with a message that says
// what is wrong, and nothing is written.
struct PathCase {
    const char* name;
    void (*make)(const fs::path& at);
    bool question;        // the missing-file question rather than a message
    const char* because;  // part of what the user is told
};

class UnreadablePathTest : public HostileInputTest,
                           public ::testing::WithParamInterface<PathCase> {};

TEST_P(UnreadablePathTest, EndsTheJobWithAClearMessage) {
    const fs::path program = root_ / "progs" / "SIDE.PGM";
    fs::create_directories(program.parent_path());
    GetParam().make(program);
    const auto start = std::chrono::steady_clock::now();
    const ProgramJobResult result = Translate(program);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    EXPECT_FALSE(result.recognized);
    EXPECT_TRUE(fs::is_empty(root_ / "out"));
    ASSERT_EQ(prompt_.messages.size(), 1u) << Said(prompt_);
    EXPECT_EQ(prompt_.messages[0].question, GetParam().question);
    EXPECT_EQ(prompt_.messages[0].title, "Alert!");
    EXPECT_NE(prompt_.messages[0].text.find(GetParam().because), std::string::npos)
        << Said(prompt_);
    EXPECT_NE(prompt_.messages[0].text.find("SIDE.PGM"), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(
    Paths, UnreadablePathTest,
    ::testing::Values(
        PathCase{"Folder", [](const fs::path& at) { fs::create_directory(at); }, false,
                 "it is a folder"},
        PathCase{"Pipe", [](const fs::path& at) { ASSERT_EQ(::mkfifo(at.c_str(), 0666), 0); },
                 false, "it is not a file"},
        PathCase{"DanglingLink",
                 [](const fs::path& at) { fs::create_symlink(at.parent_path() / "gone", at); },
                 true, "File Not Found"}),
    NameOf);

TEST_F(HostileInputTest, AProgramWithoutReadPermissionIsNamedAsSuch) {
    const fs::path program = Write("progs/SIDE.PGM", kProgram);
    fs::permissions(program, fs::perms::none);
    const auto reply = RunInChild(ChildCondition::kUnprivileged, [&] {
        const ProgramJobResult result = Translate(program);
        return std::string(result.recognized ? "1" : "0") + Said(prompt_);
    });
    if (!reply) GTEST_SKIP() << "cannot drop privileges here";
    EXPECT_EQ(*reply, "0Alert!: Cannot read \"" + program.string() + "\": Permission denied\n");
    EXPECT_TRUE(fs::is_empty(root_ / "out"));
}

// The settings file and the tool table as hand editors and old tools leave them: read when they
// are text in any of the encodings, and harmless (defaults, zeros) when they are not.
struct ConfigFileCase {
    const char* name;
    std::string settings;  // Rtrc.INI bytes
    std::string tools;     // Tool.Par bytes
    bool readable;         // the values below come through
};

const std::string kSettingsText = "[Config]\r\nSourceDir=" + std::string(100000, 'S') +
                                  "\r\nSaveOnTranslate=1\r\nSubPath=D:\\subs\r\n";
const std::string kToolText = "1,0,0,5\r\n2,32,0,8\r\n";

class ConfigFileTest : public ::testing::TestWithParam<ConfigFileCase> {};

TEST_P(ConfigFileTest, ReadsTextInAnyEncodingAndNothingElse) {
    const fs::path folder =
        fs::temp_directory_path() / ("retracer_config_" + std::string(GetParam().name));
    fs::remove_all(folder);
    fs::create_directories(folder);
    for (const auto& [name, bytes] :
         {std::pair{"Rtrc.INI", GetParam().settings}, std::pair{"Tool.Par", GetParam().tools}}) {
        if (bytes == "folder") {
            fs::create_directory(folder / name);
        } else {
            std::ofstream(folder / name, std::ios::binary) << bytes;
        }
    }
    const Settings settings = ReadSettings(IniFile(folder / "Rtrc.INI"));
    const ToolTable tools = LoadToolTable(folder / "Tool.Par");
    const bool readable = GetParam().readable;
    EXPECT_EQ(settings.sourceDir, readable ? std::string(79, 'S') : "") << "cut to 79 characters";
    EXPECT_EQ(settings.options.saveOnTranslate, readable);
    ASSERT_FALSE(settings.subprogramFolder.empty());
    EXPECT_EQ(settings.subprogramFolder.substr(0, settings.subprogramFolder.size() - 1),
              readable ? "D:\\subs" : "")
        << "with a separator appended";
    EXPECT_EQ(tools.Find(1)->dia, readable ? 5.0f : 0.0f);
    EXPECT_EQ(tools.Find(2)->x, readable ? 32.0f : 0.0f);
    fs::remove_all(folder);
}

INSTANTIATE_TEST_SUITE_P(
    Files, ConfigFileTest,
    ::testing::Values(ConfigFileCase{"Utf8", kSettingsText, kToolText, true},
                      ConfigFileCase{"Utf16WithMark", Utf16(kSettingsText, false, true),
                                     Utf16(kToolText, false, true), true},
                      ConfigFileCase{"Utf16WithoutMark", Utf16(kSettingsText, false, false),
                                     Utf16(kToolText, true, false), true},
                      ConfigFileCase{"Binary", NoiseBytes(65536), NoiseBytes(65536), false},
                      ConfigFileCase{"Empty", "", "", false},
                      ConfigFileCase{"Folders", "folder", "folder", false}),
    NameOf);

TEST_F(HostileInputTest, ASubprogramWithoutReadPermissionIsReportedAndLeftOut) {
    const fs::path program = Write("progs/SIDE.PGM",
                                   "::UNm DL=800 DH=600 DS=18\n::SIDE=1;\nSIDE#1{\n"
                                   "W#2010{ #8098=LOCKED.PGM #8020=0 #8021=0 #8022=0 }\n" +
                                       std::string("W#81{ #1=10 #2=20 #3=-5 #205=8 }\n}SIDE\n"));
    const fs::path locked = Write("progs/SUB/LOCKED.PGM", kProgram);
    fs::permissions(locked, fs::perms::none);
    fs::permissions(root_ / "out", fs::perms::all, fs::perm_options::add);
    const auto reply = RunInChild(ChildCondition::kUnprivileged, [&] {
        const ProgramJobResult result = Translate(program);
        std::string told;
        for (const Diagnostic& d : result.job.diagnostics) told += d.message + "\n";
        return std::string(result.job.written ? "1" : "0") +
               (result.job.missingSubprogram == locked ? "1" : "0") + told + Said(prompt_);
    });
    if (!reply) GTEST_SKIP() << "cannot drop privileges here";
    EXPECT_EQ(reply->substr(0, 2), "11") << *reply;
    EXPECT_NE(reply->find("Cannot read \"" + locked.string() + "\": Permission denied\n"),
              std::string::npos)
        << *reply;
    EXPECT_NE(reply->find("Subprogram Error: Subprogram: \r" + locked.string()), std::string::npos)
        << *reply;
}

// In a run, one job at a time or several at once alike: the row of the unreadable program is
// skipped with its reason, the others are translated.
TEST_F(HostileInputTest, ARunNamesTheUnreadableProgramOfARow) {
    Write("progs/SIDE.PGM", kProgram);
    fs::permissions(Write("progs/LOCKED.PGM", kProgram), fs::perms::none);
    fs::permissions(root_ / "out", fs::perms::all, fs::perm_options::add);
    session_->worklistFolder = root_ / "progs";
    for (int r = 1; r <= 3; ++r) {
        session_->worklist.SetCell(r, WorklistColumn::kNorm, "1");
        session_->worklist.SetCell(r, WorklistColumn::kFilename,
                                   r == 2 ? "LOCKED.PGM" : "SIDE.PGM");
        session_->worklist.SetCell(r, WorklistColumn::kOutputFilename, "OUT" + std::to_string(r));
    }
    for (const int jobs : {1, 2}) {
        SCOPED_TRACE(jobs);
        const auto reply = RunInChild(ChildCondition::kUnprivileged, [&] {
            RunState state;
            state.translateArmed = true;
            RunOptions options;
            options.forceSave = true;
            options.jobs = jobs;
            const RunReport report = RunWorklist(*session_, state, options);
            std::string skipped;
            for (const auto& s : report.skipped) skipped += std::to_string(s.row);
            return std::to_string(report.WrittenOutputs().size()) + skipped + "|" + Said(prompt_);
        });
        if (!reply) GTEST_SKIP() << "cannot drop privileges here";
        EXPECT_EQ(*reply, "22|Alert!: Cannot read \"" + (root_ / "progs" / "LOCKED.PGM").string() +
                              "\": Permission denied\n");
    }
}

// ---- Programs that change under a job ---------------------------------------------------------

// Overwritten, cut short or grown between recognition and scan: the drawing is that of the
// program as recognised, or none at all; never one of the garbage over the earlier drawing.
TEST_F(HostileInputTest, AProgramChangedAfterRecognitionNeverGivesAGarbageDrawing) {
    const std::vector<std::pair<const char*, std::string>> changes = {
        {"overwritten", NoiseBytes(4096)},
        {"cut short", std::string(kProgram.substr(0, 20))},
        {"grown", std::string(kProgram) + NoiseBytes(4096)}};
    for (const auto& [how, bytes] : changes) {
        SCOPED_TRACE(how);
        const fs::path program = Write("progs/SIDE.PGM", kProgram);
        const fs::path drawing = Write("out/SIDE.DXF", "the drawing of yesterday");
        ASSERT_TRUE(ChkPFile(*session_, program));
        Write("progs/SIDE.PGM", bytes);
        JobRequest request = RequestFor(*session_, program);
        request.forceSave = true;
        const JobResult job = TranslateJob(ResourcesOf(*session_), request);
        if (job.written) {
            EXPECT_EQ(Count(job, "VBORE_Z5"), 1u) << "translated as recognised";
            EXPECT_EQ(job.header.partLength, 800);
        } else {
            EXPECT_FALSE(job.programError.empty());
            EXPECT_EQ(Bytes(drawing), "the drawing of yesterday");
        }
    }
}

TEST_F(HostileInputTest, AProgramGoneBeforeItsScanLeavesTheEarlierDrawing) {
    const fs::path program = Write("progs/SIDE.PGM", kProgram);
    const fs::path drawing = Write("out/SIDE.DXF", "the drawing of yesterday");
    ASSERT_TRUE(ChkPFile(*session_, program));
    JobRequest request = RequestFor(*session_, program);
    request.forceSave = true;

    for (const bool folder : {false, true}) {
        SCOPED_TRACE(folder ? "replaced by a folder" : "deleted");
        request.text.reset();  // read from the file again, as a job without recognised text does
        fs::remove_all(program);
        if (folder) fs::create_directory(program);
        const JobResult job = TranslateJob(ResourcesOf(*session_), request);
        EXPECT_FALSE(job.written);
        EXPECT_FALSE(job.scanned);
        EXPECT_NE(job.programError.find("SIDE.PGM"), std::string::npos) << job.programError;
        EXPECT_EQ(Bytes(drawing), "the drawing of yesterday");
        EXPECT_EQ(fs::directory_iterator(root_ / "out")->path(), drawing) << "nothing else left";

        RecordingPrompt prompt;
        RaiseJobMessages(prompt, job);
        ASSERT_EQ(prompt.messages.size(), 1u);
        EXPECT_EQ(prompt.messages[0].title, "Process Error");
        EXPECT_NE(prompt.messages[0].text.find("the program was not translated"),
                  std::string::npos);
    }
}

TEST_F(HostileInputTest, SubprogramsThatAreNoFilesAreReportedAndNeverWaitedFor) {
    const fs::path program = Write("progs/SIDE.PGM",
                                   "::UNm DL=800 DH=600 DS=18\n::SIDE=1;\nSIDE#1{\n"
                                   "W#2010{ #8098=NOISE.PGM #8020=0 #8021=0 #8022=0 }\n"
                                   "W#2010{ #8098=PIPE.PGM #8020=0 #8021=0 #8022=0 }\n"
                                   "W#2010{ #8098=FOLDER.PGM #8020=0 #8021=0 #8022=0 }\n"
                                   "W#81{ #1=10 #2=20 #3=-5 #205=8 }\n}SIDE\n");
    Write("progs/SUB/NOISE.PGM", NoiseBytes(8192));
    ASSERT_EQ(::mkfifo((root_ / "progs/SUB/PIPE.PGM").c_str(), 0666), 0);
    fs::create_directory(root_ / "progs/SUB/FOLDER.PGM");

    const auto start = std::chrono::steady_clock::now();
    const ProgramJobResult result = Translate(program);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    ASSERT_TRUE(result.job.written);
    EXPECT_EQ(Count(result.job, "VBORE_Z5"), 1u);
    EXPECT_EQ(result.job.calls.size(), 3u);
    EXPECT_EQ(result.job.missingSubprogram.filename(), "FOLDER.PGM") << "the last one not read";
    EXPECT_NE(Said(prompt_).find("Subprogram Error: Subprogram: \r"), std::string::npos);
}

// ---- Programs built to exhaust the translator -------------------------------------------------

struct LimitCase {
    const char* name;
    std::string program;                   // SIDE.PGM (Genesis Ev) or SIDE.CNC (Genesis)
    std::vector<std::string> subprograms;  // "NAME.PGM=text"
    std::vector<std::string> told;         // in the diagnostics or the cut-off note, in order
    std::size_t holes;                     // on VBORE layers
};

std::string Ev(const std::string& body) {
    return "::UNm DL=800 DH=600 DS=18\n::SIDE=1;\nSIDE#1{\n" + body + "}SIDE\n";
}

std::string Repeat(const std::string& line, int times) {
    std::string out;
    for (int i = 0; i < times; ++i) out += line;
    return out;
}

const std::string kHole = "W#81{ #1=10 #2=20 #3=-5 #205=8 }\n";

std::vector<LimitCase> LimitCases() {
    const std::string call = "W#2010{ #8098=%.PGM #8020=1 #8021=0 #8022=0 }\n";
    auto callOf = [&](const std::string& name) {
        std::string c = call;
        return c.replace(c.find('%'), 1, name);
    };
    return {
        {"SubprogramCycleThatFansOut",
         Ev(callOf("A") + kHole),
         {"A.PGM=" + Ev(callOf("B") + callOf("B")), "B.PGM=" + Ev(callOf("A") + callOf("A"))},
         {"subprogram calls"},
         1},
        {"TenThousandNestedConditions",
         Ev(Repeat("W#2001{ #8070=1 #8060=4 #8073=1 }\n", 10000) + kHole +
            Repeat("W#2002{ }\n", 10000)),
         {},
         {"more than 10 conditions are open at once"},
         1},
        {"TenThousandEndsWithoutCondition",
         Ev(Repeat("W#2002{ }\n", 10000) + kHole),
         {},
         {"end of condition (W#2002) without an open condition",
          "9000 further problems were found; not listed"},
         1},
        {"TenThousandGenesisConditions",
         "G71 X800 Y600 Z18\n(side)\n" + Repeat("G151 X1 Y2 R50=2\n", 10000) +
             Repeat("G152\n", 10000) + "G81 X10 Y20 Z5 R54=8 P5 T0121\n",
         {},
         {},
         1},
        {"VariableIndexesBeyondTheTable",
         "$\n$=side\n::UNm DL=800 DH=600 DS=18\n::SIDE=1;\nVAR{\n#299=7|w|last\n"
         "#400=5|w|x\n#99999999999=7|w|x\n#-5=3|w|x\n#1e30=2|w|x\n}VAR\nSIDE#1{\n"
         "W#81{ #1=r299+r400+r99999999 #2=20 #3=-5 #205=8 }\n}SIDE\n",
         {},
         {"R variable 400 does not exist", "R variable 99999999999 does not exist",
          "R variable -5 does not exist"},
         1},
        {"ParameterNumbersBeyondEveryTable",
         Ev("W#81{ #1=10 #2=20 #3=-5 #99999999=5 #4294967297=3 #-1=2 #1e300=4 "
            "#205=99999999999 }\n"),
         {},
         {"parameter #205 is beyond the range"},
         1},
        {"HoleRowsOfABillion",
         Ev("W#1902{ #8510=0 #8517=1e9 #8021=0 #8520=1 }\n"
            "W#1010{ #1=400 #2=300 #8509=1000000000 #8510=0 #8511=35 }\n"),
         {},
         {"more than 100000 holes in one block", "parameter #8509 is beyond the range"},
         100000 + 32767},
        {"GenesisHoleRowsOfABillion",
         "G71 X800 Y600 Z18\n(side)\nG185 X0 Y0 I1000000000 J0 K1 Z5 T0108\n"
         "G200 X600 Y280 Z8 R54=6 P5 A0 U35 R51=1000000000 R52=0 T0105\n",
         {},
         {"more than 100000 holes in one row", "hole circle of 1000000000 holes cut to 100000"},
         200000},
    };
}

class TranslationLimitTest : public HostileInputTest,
                             public ::testing::WithParamInterface<LimitCase> {};

TEST_P(TranslationLimitTest, IsBoundedAndReported) {
    const LimitCase& c = GetParam();
    const bool genesis = c.program.starts_with("G71");
    const fs::path program = Write(genesis ? "progs/SIDE.CNC" : "progs/SIDE.PGM", c.program);
    for (const std::string& sub : c.subprograms) {
        Write("progs/SUB/" + sub.substr(0, sub.find('=')), sub.substr(sub.find('=') + 1));
    }
    const auto start = std::chrono::steady_clock::now();
    const ProgramJobResult result = Translate(program);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));
    ASSERT_TRUE(result.job.written);

    std::string told;
    for (const Diagnostic& d : result.job.diagnostics) told += d.message + "\n";
    told += result.job.cutCalls;
    std::size_t at = 0;
    for (const std::string& part : c.told) {
        const std::size_t found = told.find(part, at);
        at = found == std::string::npos ? at : found;
        EXPECT_NE(found, std::string::npos) << "not told \"" << part << "\" in order:\n"
                                            << told.substr(0, 2000);
    }
    if (c.told.empty()) {
        EXPECT_EQ(told, "");
    }
    EXPECT_LE(result.job.diagnostics.size(), 1001u) << "diagnostics are bounded";

    std::size_t holes = 0;
    for (const auto& [layer, count] : result.job.entitiesPerLayer) {
        if (layer.starts_with("VBORE")) holes += count;
    }
    EXPECT_EQ(holes, c.holes);
}

INSTANTIATE_TEST_SUITE_P(Programs, TranslationLimitTest, ::testing::ValuesIn(LimitCases()), NameOf);

// A worklist row's R variables past the table are named in the job's diagnostics, the rest
// still set.
TEST_F(HostileInputTest, AWorklistRowsRVariablesBeyondTheTableAreReported) {
    Write("progs/SIDE.PGM", Ev("W#81{ #1=r5 #2=20 #3=-5 #205=8 }\n"));
    session_->worklistFolder = root_ / "progs";
    Worklist& w = session_->worklist;
    w.SetCell(1, WorklistColumn::kNorm, "1");
    w.SetCell(1, WorklistColumn::kFilename, "SIDE.PGM");
    w.SetCell(1, WorklistColumn::kRVariables,
              "R400=3\u00A6R5=123\u00A6R99999999999=1\u00A6R-2=1\u00A6");
    RunState state;
    state.translateArmed = true;
    RunOptions options;
    options.forceSave = true;
    const RunReport report = RunWorklist(*session_, state, options);
    ASSERT_EQ(report.translations.size(), 1u);
    std::string told;
    for (const Diagnostic& d : report.translations[0].diagnostics) told += d.message + "\n";
    EXPECT_EQ(told,
              "the worklist row's R variable \"R400\" does not exist (R0 to R299); the entry is "
              "ignored\n"
              "the worklist row's R variable \"R99999999999\" does not exist (R0 to R299); the "
              "entry is ignored\n"
              "the worklist row's R variable \"R-2\" does not exist (R0 to R299); the entry is "
              "ignored\n");
    Drawing drawing;
    std::string error;
    ASSERT_TRUE(ReadDxf(report.translations[0].output, drawing, error)) << error;
    bool holeAtR5 = false;
    for (const Entity& e : drawing.entities) {
        const auto* c = std::get_if<CircleEntity>(&e.geometry);
        holeAtR5 = holeAtR5 || (c != nullptr && c->centre.x == 123);
    }
    EXPECT_TRUE(holeAtR5) << "R5 from the row is used";
}

// Each row is bounded on its own; a program of many huge rows is bounded for the whole job, and
// the cut is said once. (The job's share is made small here to keep the test quick.)
TEST(PatternHoleShareTest, ManyHugeRowsStopAtTheJobsShare) {
    struct Dialect {
        const char* name;
        std::string program;
        std::function<std::pair<std::size_t, std::string>(const std::string&)> run;
    };
    auto run = [](auto& job, const std::string& program) {
        job.radii = false;
        job.job.maxPatternHoles = 2500;
        job.Run(program);
        std::size_t holes = 0;
        for (const Entity& e : job.Entities())
            holes += std::holds_alternative<CircleEntity>(e.geometry);
        return std::pair{holes, job.Diagnostics()};
    };
    const std::vector<Dialect> dialects = {
        {"Genesis Ev",
         testing_ev::Program(Repeat("W#1902{ #8510=0 #8517=1e9 #8021=0 #8520=1 }\n", 10) +
                             "W#1010{ #1=400 #2=300 #8509=30000 #8510=0 #8511=35 }\n" + kHole),
         [&](const std::string& program) {
             testing_ev::EvJob ev;
             return run(ev, program);
         }},
        {"Genesis",
         Repeat("G185 X0 Y0 I1000000000 J0 K1 Z5 T0108\n", 10) +
             "G200 X600 Y280 Z8 R54=6 P5 A0 U35 R51=30000 R52=0 T0105\n" +
             "G81 X10 Y20 Z5 R54=8 P5 T0121\n",
         [&](const std::string& program) {
             testing_ev::TranslatorJob<GenesisIsoTranslator> iso;
             return run(iso, program);
         }},
    };
    for (const Dialect& d : dialects) {
        SCOPED_TRACE(d.name);
        const auto [holes, told] = d.run(d.program);
        EXPECT_EQ(holes, 2500u + 1u) << "the share, and the single hole after it";
        EXPECT_NE(told.find("more than 2500 holes in rows and circles of holes"), std::string::npos)
            << told;
        EXPECT_EQ(told.find('\n'), std::string::npos) << "said once: " << told;
    }
}

// ---- Worklists that are too big or from elsewhere ---------------------------------------------

class WorklistInputTest : public HostileInputTest {
  protected:
    void SetUp() override {
        HostileInputTest::SetUp();
        for (int r = 1; r <= 3; ++r) {
            session_->worklist.SetCell(r, WorklistColumn::kNorm, std::to_string(r));
            session_->worklist.SetCell(r, WorklistColumn::kFilename, "EARLIER.PGM");
        }
        before_ = WorklistFileText(session_->worklist);
    }
    std::string before_;
};

TEST_F(WorklistInputTest, CsvLinesOfThousandsOfFieldsAndCellsOfMegabytesAreTakenAsTheyAre) {
    std::string wide = "1,0,WIDE.PGM";
    for (int f = 4; f <= 10000; ++f) wide += "," + std::to_string(f);
    const std::string cell(4 << 20, 'J');
    const fs::path csv = Write("lists/BIG.csv", wide + "\r\n2,1,BIG.PGM," + cell + "\r\n");
    std::string error;
    ASSERT_TRUE(ImportWorklistFromCsv(*session_, csv, &error)) << error;
    const Worklist& w = session_->worklist;
    EXPECT_EQ(w.GetCell(1, WorklistColumn::kFilename), "WIDE.PGM");
    EXPECT_EQ(w.GetCell(1, WorklistColumn::kOutputFilename), "15") << "fields after 15 dropped";
    EXPECT_EQ(w.GetCell(2, WorklistColumn::kJob), cell);
    EXPECT_EQ(w.GetCell(2, WorklistColumn::kRoom), "");
    EXPECT_EQ(w.GetCell(3, WorklistColumn::kNorm), "3") << "rows below the file keep their text";
    EXPECT_EQ(Said(prompt_), "");
}

TEST_F(WorklistInputTest, CsvWithMoreLinesThanRowsIsRefusedWhole) {
    std::string text;
    for (int i = 1; i <= Worklist::kRowCount + 100; ++i)
        text += "1,0,P" + std::to_string(i) + "\r\n";
    std::string error;
    EXPECT_FALSE(ImportWorklistFromCsv(*session_, Write("lists/LONG.csv", text), &error));
    EXPECT_NE(error.find("LONG.csv: 600 lines, but the worklist holds 500 rows; nothing was "
                         "imported"),
              std::string::npos)
        << error;
    EXPECT_TRUE(WorklistFileText(session_->worklist) == before_) << "the worklist was changed";
    ASSERT_EQ(prompt_.messages.size(), 1u);
    EXPECT_EQ(prompt_.messages[0].title, "Alert!");

    // An empty line ends the import before any line is left out.
    int leftOut = -1;
    Worklist fresh;
    EXPECT_EQ(ImportWorklistCsvText("1,0,A\r\n\r\n" + text, fresh, &leftOut), 1);
    EXPECT_EQ(leftOut, 0);
}

// Files that are no worklist of this version: refused with the reason, the worklist untouched.
struct ForeignListCase {
    const char* name;
    std::string bytes;
    const char* because;
};

std::string ListOf(const std::string& version, const std::string& columns,
                   const std::string& captions, const std::string& cells) {
    return R"({"format":"Retracer worklist","version":)" + version + R"(,"columns":)" + columns +
           R"(,"captions":)" + captions + R"(,"cells":)" + cells + R"(,"notes":[]})";
}

const std::string kCaptions =
    R"(["Norm","Mir","Filename","Job","Room","Cabinet","Part Description","Material","Length",)"
    R"("Width","Thick","Path","V Variables","R Variables","Output Filename"])";
const std::string kTexts = R"(["1","0","NEW.PGM","","","","","","","","","","","",""])";

class ForeignWorklistTest : public WorklistInputTest,
                            public ::testing::WithParamInterface<ForeignListCase> {};

TEST_P(ForeignWorklistTest, IsRefusedAndTheWorklistStaysAsItWas) {
    const fs::path file = Write("lists/OTHER.lst", GetParam().bytes);
    std::string error;
    EXPECT_FALSE(OpenWorklist(*session_, file, &error));
    EXPECT_NE(error.find(GetParam().because), std::string::npos) << error;
    EXPECT_TRUE(WorklistFileText(session_->worklist) == before_) << "the worklist was changed";
    ASSERT_EQ(prompt_.messages.size(), 1u);
    EXPECT_EQ(prompt_.messages[0].text, error);
}

INSTANTIATE_TEST_SUITE_P(
    Files, ForeignWorklistTest,
    ::testing::Values(
        ForeignListCase{"NewerVersion",
                        ListOf("2", "15", kCaptions, "[{\"row\":1,\"texts\":" + kTexts + "}]"),
                        "written by a newer Retracer (format version 2)"},
        ForeignListCase{"MoreColumns",
                        ListOf("1", "16", kCaptions, "[{\"row\":1,\"texts\":" + kTexts + "}]"),
                        "does not have the 15 worklist columns"},
        ForeignListCase{"UnknownCaption",
                        ListOf("1", "15", std::string(kCaptions).replace(1, 6, "\"Qty\""), "[]"),
                        "column 1 is not \"Norm\""},
        ForeignListCase{"RowBeyondTheLast",
                        ListOf("1", "15", kCaptions, "[{\"row\":501,\"texts\":" + kTexts + "}]"),
                        "row 501 is outside 1 to 500"},
        ForeignListCase{"DeeplyNested", std::string(100000, '[') + std::string(100000, ']'),
                        "Not a readable worklist"},
        ForeignListCase{"Binary", NoiseBytes(4096), "Not a readable worklist"},
        ForeignListCase{"Empty", "", "Not a readable worklist"}),
    NameOf);

TEST_F(WorklistInputTest, BinaryCsvIsRefusedAndTheWorklistStaysAsItWas) {
    std::string error;
    EXPECT_FALSE(
        ImportWorklistFromCsv(*session_, Write("lists/NOISE.csv", NoiseBytes(4096)), &error));
    EXPECT_NE(error.find("it is not a text file"), std::string::npos) << error;
    EXPECT_TRUE(WorklistFileText(session_->worklist) == before_) << "the worklist was changed";
}

TEST_F(WorklistInputTest, AFolderWhereAWorklistShouldBeIsRefused) {
    const fs::path folder = root_ / "lists" / "JOBS.lst";
    fs::create_directories(folder);
    std::string error;
    EXPECT_FALSE(OpenWorklist(*session_, folder, &error));
    EXPECT_NE(error.find("it is a folder"), std::string::npos) << error;
    EXPECT_FALSE(ImportWorklistFromCsv(*session_, folder, &error));
    EXPECT_NE(error.find("it is a folder"), std::string::npos) << error;
    EXPECT_TRUE(WorklistFileText(session_->worklist) == before_) << "the worklist was changed";
    EXPECT_EQ(prompt_.messages.size(), 2u);
}

}  // namespace
