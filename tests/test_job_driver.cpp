// The job driver: output names, the scan of a program and its subprograms, and what the user is
// told.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "drawing/dxf_reader.h"
#include "settings/user_store.h"
#include "translate/job_driver.h"

namespace retracer {
namespace {

namespace fs = std::filesystem;

class JobDriverTest : public ::testing::Test {
protected:
    void SetUp() override {
        root_ = fs::temp_directory_path() /
                ("retracer_job_" + std::string(::testing::UnitTest::GetInstance()
                                                   ->current_test_info()
                                                   ->name()));
        fs::remove_all(root_);
        fs::create_directories(root_ / "app");
        fs::create_directories(root_ / "out");
        fs::create_directories(root_ / "progs" / "SUB");
        AppPaths paths = ResolveAppPaths(root_ / "app", nullptr);
        session_ = std::make_unique<Session>(paths, prompt_, store_);
        session_->LoadSettings();
        session_->destFolder = root_ / "out";
    }
    void TearDown() override { fs::remove_all(root_); }

    fs::path Write(const fs::path& relative, const std::string& text) {
        const fs::path path = root_ / "progs" / relative;
        std::ofstream(path, std::ios::binary) << text;
        return path;
    }

    ProgramJobResult Translate(const fs::path& program, bool mirror = false) {
        JobState job;
        ProgramJob request;
        request.program = program;
        request.mirror = mirror;
        ProgramJobResult result = TranslateProgramFile(*session_, job, request);
        lastJob_ = job;
        return result;
    }

    Drawing Read(const fs::path& file) {
        Drawing drawing;
        std::string error;
        EXPECT_TRUE(ReadDxf(file, drawing, error)) << error;
        return drawing;
    }

    fs::path root_;
    RecordingPrompt prompt_;
    MemoryUserSettingsStore store_;
    std::unique_ptr<Session> session_;
    JobState lastJob_;
};

constexpr const char* kHeader = "$=Test\n::UNm DL=800 DH=600 DS=18\n::SIDE=1;\nSIDE#1{\n";

TEST_F(JobDriverTest, OutputNames) {
    const fs::path program = root_ / "progs" / "PANEL.V2.CNC";
    struct Case {
        bool saveOnTranslate, forceSave, mirror;
        int jobNumber;
        const char* override;
        fs::path expected;
    };
    const Case cases[] = {
        {false, false, false, 7, "", root_ / "app" / "Temp.DXF"},
        {false, false, true, -3, "DOOR", root_ / "app" / "Temp.DXF"},
        {true, false, false, 0, "", root_ / "out" / "PANEL.DXF"},
        {false, true, false, -12, "", root_ / "out" / "PANEL.0012.DXF"},
        {false, true, true, -12, "", root_ / "out" / "PANEL.0012.M.DXF"},
        {false, true, false, -12, "DOOR", root_ / "out" / "DOOR.DXF"},
        {false, true, true, 3, "", root_ / "out" / "PANEL.M.DXF"},
    };
    for (const Case& c : cases) {
        session_->settings.options.saveOnTranslate = c.saveOnTranslate;
        JobState job;
        job.forceSave = c.forceSave;
        job.mirrorJob = c.mirror;
        job.outputNameOverride = c.override;
        EXPECT_EQ(OutputPathFor(*session_, job, c.jobNumber, program), c.expected)
            << c.jobNumber << " " << c.override;
    }
}

TEST_F(JobDriverTest, SubprogramsAreScannedBreadthFirstWithAccumulatedOffsets) {
    const fs::path main = Write("MAIN.PGM", std::string(kHeader) +
                                                "W#2010{ #8098=A.PGM #8020=100 #8021=10 }\n"
                                                "W#2010{ #8098=C.PGM #8020=5 }\n}SIDE\n");
    Write("SUB/A.PGM", "$\n::SIDE=1;\nSIDE#1{\nW#81{ #1=1 #2=1 #3=-5 }\n"
                       "W#2010{ #8098=b.pgm #8020=20 #8021=2 }\n}SIDE\n");
    Write("SUB/B.PGM", "$\n::SIDE=1;\nSIDE#1{\nW#81{ #1=0 #2=0 #3=-5 }\n}SIDE\n");
    Write("SUB/C.PGM", "$\n::SIDE=1;\nSIDE#1{\nW#81{ #1=0 #2=0 #3=-5 }\n}SIDE\n");
    ProgramJobResult result = Translate(main);
    ASSERT_TRUE(result.outcome.written);
    ASSERT_EQ(lastJob_.calls.size(), 3u);
    // Found in order A, C (main), then b (in A): scanned main, A, C, b.
    EXPECT_EQ(lastJob_.calls[0].fileName, "A.PGM");
    EXPECT_EQ(lastJob_.calls[1].fileName, "C.PGM");
    EXPECT_EQ(lastJob_.calls[2].fileName, "b.pgm");
    EXPECT_EQ(lastJob_.calls[2].parentCall, 1);
    EXPECT_EQ(lastJob_.calls[2].offsetX, 120);  // its own 20 plus A's 100
    EXPECT_EQ(lastJob_.calls[2].offsetY, 12);
    // The holes of A, C and B (found as b.pgm, case ignored) are in the drawing where placed.
    std::vector<Point3> centres;
    for (const Entity& e : Read(result.outcome.output).entities) {
        if (const auto* c = std::get_if<CircleEntity>(&e.geometry)) centres.push_back(c->centre);
    }
    ASSERT_EQ(centres.size(), 3u);
    EXPECT_DOUBLE_EQ(centres[0].x, 101);
    EXPECT_DOUBLE_EQ(centres[1].x, 5);
    EXPECT_DOUBLE_EQ(centres[2].x, 120);
    EXPECT_TRUE(prompt_.messages.empty());
    EXPECT_EQ(session_->panel.SubList().Text(3, 2), "b.pgm");
}

TEST_F(JobDriverTest, MissingSubprogramsNameTheLastOne) {
    const fs::path main = Write("MAIN.PGM", std::string(kHeader) +
                                                "W#2010{ #8098=GONE1.PGM }\n"
                                                "W#2010{ #8098=GONE2.PGM }\n}SIDE\n");
    ProgramJobResult result = Translate(main);
    EXPECT_TRUE(result.outcome.written);
    ASSERT_EQ(prompt_.messages.size(), 1u);
    EXPECT_EQ(prompt_.messages[0].title, "Subprogram Error");
    EXPECT_NE(prompt_.messages[0].text.find("GONE2.PGM"), std::string::npos);
    EXPECT_EQ(prompt_.messages[0].text.find("GONE1.PGM"), std::string::npos);
}

TEST_F(JobDriverTest, ASubprogramCallingItselfIsCutAndReported) {
    const fs::path main = Write("MAIN.PGM", std::string(kHeader) +
                                                "W#2010{ #8098=LOOP.PGM }\n}SIDE\n");
    Write("SUB/LOOP.PGM", "$\n::SIDE=1;\nSIDE#1{\nW#81{ #1=1 #2=1 #3=-5 }\n"
                          "W#2010{ #8098=LOOP.PGM }\nW#2010{ #8098=LOOP.PGM }\n}SIDE\n");
    ProgramJobResult result = Translate(main);
    EXPECT_TRUE(result.outcome.written);
    EXPECT_LE(lastJob_.calls.size(), static_cast<std::size_t>(kMaxSubprogramCalls + 1));
    ASSERT_FALSE(prompt_.messages.empty());
    EXPECT_EQ(prompt_.messages.back().title, "Subprogram Error");
    EXPECT_NE(prompt_.messages.back().text.find("LOOP.PGM"), std::string::npos);
}

TEST_F(JobDriverTest, UnwritableDestinationIsAFileError) {
    session_->destFolder = root_ / "no" / "such" / "folder";
    const fs::path main = Write("MAIN.PGM", std::string(kHeader) + "}SIDE\n");
    ProgramJobResult result = Translate(main);
    EXPECT_TRUE(result.recognized);
    EXPECT_FALSE(result.outcome.written);
    ASSERT_EQ(prompt_.messages.size(), 1u);
    EXPECT_EQ(prompt_.messages[0].title, "Alert!");
    EXPECT_EQ(prompt_.messages[0].text.rfind("File Error. File may be open by another application.", 0),
              0u);
}

TEST_F(JobDriverTest, MissingProgramAsksAndNoStops) {
    prompt_.answers = {false};
    ProgramJobResult result = Translate(root_ / "progs" / "NOPE.PGM");
    EXPECT_FALSE(result.recognized);
    ASSERT_EQ(prompt_.messages.size(), 1u);
    EXPECT_TRUE(prompt_.messages[0].question);
    EXPECT_EQ(prompt_.messages[0].text.rfind("File Not Found\r", 0), 0u);
    EXPECT_TRUE(session_->stopRequested);
}

TEST_F(JobDriverTest, AJobDoesNotDependOnTheJobBefore) {
    // The first program leaves a condition open, a route path running, a side selected and a
    // pending compensation tag; the second must come out as it does alone.
    const fs::path first = Write("FIRST.PGM", std::string(kHeader) +
                                                  "W#2001{ #8070=1 #8060=0 #8073=0 }\n"
                                                  "W#89{ #1=1 #2=1 #3=-5 #205=3 #40=1 #36=2 }\n");
    const fs::path second = Write("SECOND.PGM", std::string(kHeader) +
                                                    "W#89{ #1=10 #2=10 #3=-12 #205=3 }\n"
                                                    "W#2201{ #1=100 #2=10 }\n}SIDE\n");
    ProgramJobResult alone = Translate(second);
    ASSERT_TRUE(alone.outcome.written);
    std::ifstream in1(alone.outcome.output, std::ios::binary);
    const std::string expected((std::istreambuf_iterator<char>(in1)), {});
    Translate(first);
    ProgramJobResult after = Translate(second);
    std::ifstream in2(after.outcome.output, std::ios::binary);
    const std::string actual((std::istreambuf_iterator<char>(in2)), {});
    EXPECT_EQ(actual, expected);
}

}  // namespace
}  // namespace retracer
