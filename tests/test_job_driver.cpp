// The job driver: output names, the scan of a program and its subprograms, and what the user is
// told.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "base/text_codec.h"
#include "drawing/dxf_reader.h"
#include "job/control_panel_lists.h"
#include "job/job_driver.h"
#include "job/session.h"
#include "settings/user_store.h"

#include "scratch_session.h"

namespace retracer {
namespace {

namespace fs = std::filesystem;

class JobDriverTest : public ScratchSessionTest {
  protected:
    // Programs live in "progs", their subprograms in "progs/SUB".
    fs::path Write(const fs::path& relative, const std::string& text) {
        return ScratchSessionTest::Write(fs::path("progs") / relative, text);
    }

    ProgramJobResult Translate(const fs::path& program, bool mirror = false) {
        ProgramJob request;
        request.program = program;
        request.mirror = mirror;
        return TranslateProgramFile(*session_, request);
    }

    Drawing Read(const fs::path& file) {
        Drawing drawing;
        std::string error;
        EXPECT_TRUE(ReadDxf(file, drawing, error)) << error;
        return drawing;
    }
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
        {false, true, false, 0, "../up", root_ / "out" / ".._up.DXF"},
        {false, true, true, 0, "a\\b", root_ / "out" / "a_b.M.DXF"},
        {false, true, true, 3, "", root_ / "out" / "PANEL.M.DXF"},
    };
    for (const Case& c : cases) {
        session_->settings.options.saveOnTranslate = c.saveOnTranslate;
        JobRequest request;
        request.program = program;
        request.forceSave = c.forceSave;
        request.mirror = c.mirror;
        request.jobNumber = c.jobNumber;
        request.outputName = c.override;
        EXPECT_EQ(OutputPathFor(ResourcesOf(*session_), request), c.expected)
            << c.jobNumber << " " << c.override;
    }
}

TEST_F(JobDriverTest, SubprogramsAreScannedBreadthFirstWithAccumulatedOffsets) {
    const fs::path main = Write("MAIN.PGM", std::string(kHeader) +
                                                "W#2010{ #8098=A.PGM #8020=100 #8021=10 }\n"
                                                "W#2010{ #8098=C.PGM #8020=5 }\n}SIDE\n");
    Write("SUB/A.PGM",
          "$\n::SIDE=1;\nSIDE#1{\nW#81{ #1=1 #2=1 #3=-5 }\n"
          "W#2010{ #8098=b.pgm #8020=20 #8021=2 }\n}SIDE\n");
    Write("SUB/B.PGM", "$\n::SIDE=1;\nSIDE#1{\nW#81{ #1=0 #2=0 #3=-5 }\n}SIDE\n");
    Write("SUB/C.PGM", "$\n::SIDE=1;\nSIDE#1{\nW#81{ #1=0 #2=0 #3=-5 }\n}SIDE\n");
    ProgramJobResult result = Translate(main);
    ASSERT_TRUE(result.job.written);
    const std::vector<SubprogramCall>& calls = result.job.calls;
    ASSERT_EQ(calls.size(), 3u);
    // Found in order A, C (main), then b (in A): scanned main, A, C, b.
    EXPECT_EQ(calls[0].fileName, "A.PGM");
    EXPECT_EQ(calls[1].fileName, "C.PGM");
    EXPECT_EQ(calls[2].fileName, "b.pgm");
    EXPECT_EQ(calls[2].parentCall, 1);
    EXPECT_EQ(calls[2].offsetX, 120);  // its own 20 plus A's 100
    EXPECT_EQ(calls[2].offsetY, 12);
    // The holes of A, C and B (found as b.pgm, case ignored) are in the drawing where placed.
    std::vector<Point3> centres;
    for (const Entity& e : Read(result.job.output).entities) {
        if (const auto* c = std::get_if<CircleEntity>(&e.geometry)) centres.push_back(c->centre);
    }
    ASSERT_EQ(centres.size(), 3u);
    EXPECT_DOUBLE_EQ(centres[0].x, 101);
    EXPECT_DOUBLE_EQ(centres[1].x, 5);
    EXPECT_DOUBLE_EQ(centres[2].x, 120);
    EXPECT_TRUE(prompt_.messages.empty());
    EXPECT_EQ(session_->panel.SubList().Text(3, 2), "b.pgm");
}

// The numbers of an entity's geometry, in a fixed order, for comparing drawings within rounding.
std::vector<double> GeometryNumbers(const Entity& e) {
    std::vector<double> n;
    if (const auto* c = std::get_if<CircleEntity>(&e.geometry))
        n = {c->centre.x, c->centre.y, c->radius};
    if (const auto* l = std::get_if<LineEntity>(&e.geometry))
        n = {l->start.x, l->start.y, l->end.x, l->end.y};
    if (const auto* p = std::get_if<PolylineEntity>(&e.geometry))
        for (const PolylineVertex& v : p->vertices) n.insert(n.end(), {v.x, v.y, v.bulge});
    return n;
}

TEST_F(JobDriverTest, ASubprogramDrawsWhatTheSameBlocksDrawAtItsOffset) {
    // Relative arc centres, the radius and start angle of a hole circle and the Y end of a groove
    // along Y are distances or angles: the call's offset moves the shape, it does not change it.
    const std::string blocks =
        "W#1010{ #1=X+60 #2=Y+60 #8509=4 #8510=30 #8511=20 #8517=0 #8513=90 #3=-8 }\n"
        "W#1051{ #8510=X+5 #8511=Y+10 #8517=Y+90 #3=-8 #8516=12 }\n"
        "W#89{ #1=X+10 #2=Y+10 #3=-12 #205=3 }\n"
        "W#2101{ #1=X+30 #2=Y+10 #31=10 #32=0 }\n"
        "W#2113{ #31=0 #32=10 #8044=90 #34=1 }\n"
        "W#2113{ #31=a=X+20 #32=a=Y+40 #8044=0 }\n";
    auto shifted = [&](const char* x, const char* y) {
        std::string text = blocks;
        for (std::size_t at; (at = text.find('X')) != std::string::npos;) text.replace(at, 1, x);
        for (std::size_t at; (at = text.find('Y')) != std::string::npos;) text.replace(at, 1, y);
        return text;
    };
    const fs::path direct =
        Write("DIRECT.PGM", std::string(kHeader) + shifted("100", "50") + "}SIDE\n");
    const fs::path called =
        Write("CALLED.PGM",
              std::string(kHeader) + "W#2010{ #8098=SHAPES.PGM #8020=100 #8021=50 }\n}SIDE\n");
    Write("SUB/SHAPES.PGM", "$\n::SIDE=1;\nSIDE#1{\n" + shifted("0", "0") + "}SIDE\n");

    const Drawing want = Read(Translate(direct).job.output);
    const ProgramJobResult viaCall = Translate(called);
    const Drawing got = Read(viaCall.job.output);
    EXPECT_TRUE(viaCall.job.diagnostics.empty());
    ASSERT_EQ(got.entities.size(), want.entities.size());
    ASSERT_GT(want.entities.size(), 8u);
    for (std::size_t i = 0; i < want.entities.size(); ++i) {
        EXPECT_EQ(got.entities[i].layer, want.entities[i].layer);
        const std::vector<double> a = GeometryNumbers(want.entities[i]);
        const std::vector<double> b = GeometryNumbers(got.entities[i]);
        ASSERT_EQ(a.size(), b.size()) << want.entities[i].layer;
        for (std::size_t k = 0; k < a.size(); ++k)
            EXPECT_NEAR(a[k], b[k], 1e-3) << want.entities[i].layer << " number " << k;
    }
}

TEST_F(JobDriverTest, MissingSubprogramsNameTheLastOne) {
    const fs::path main = Write("MAIN.PGM", std::string(kHeader) +
                                                "W#2010{ #8098=GONE1.PGM }\n"
                                                "W#2010{ #8098=GONE2.PGM }\n}SIDE\n");
    ProgramJobResult result = Translate(main);
    EXPECT_TRUE(result.job.written);
    ASSERT_EQ(prompt_.messages.size(), 1u);
    EXPECT_EQ(prompt_.messages[0].title, "Subprogram Error");
    EXPECT_NE(prompt_.messages[0].text.find("GONE2.PGM"), std::string::npos);
    EXPECT_EQ(prompt_.messages[0].text.find("GONE1.PGM"), std::string::npos);
}

TEST_F(JobDriverTest, ASubprogramCallingItselfIsCutAndReported) {
    const fs::path main =
        Write("MAIN.PGM", std::string(kHeader) + "W#2010{ #8098=LOOP.PGM }\n}SIDE\n");
    Write("SUB/LOOP.PGM",
          "$\n::SIDE=1;\nSIDE#1{\nW#81{ #1=1 #2=1 #3=-5 }\n"
          "W#2010{ #8098=LOOP.PGM }\nW#2010{ #8098=LOOP.PGM }\n}SIDE\n");
    ProgramJobResult result = Translate(main);
    EXPECT_TRUE(result.job.written);
    EXPECT_LE(result.job.calls.size(), static_cast<std::size_t>(kMaxSubprogramCalls + 1));
    ASSERT_FALSE(prompt_.messages.empty());
    EXPECT_EQ(prompt_.messages.back().title, "Subprogram Error");
    EXPECT_NE(prompt_.messages.back().text.find("LOOP.PGM"), std::string::npos);
}

// Two short files calling each other with a large hole pattern would draw tens of millions of
// holes (found while fuzzing: 32 million holes, a 2.5 GB drawing from 250 bytes); calls stop once
// the drawing outgrows the program files.
TEST_F(JobDriverTest, SubprogramCallsStopWhenTheDrawingOutgrowsTheProgram) {
    const fs::path main =
        Write("MAIN.PGM", std::string(kHeader) + "W#2010{ #8098=MANY.PGM }\n}SIDE\n");
    const std::string sub =
        "$\n::SIDE=1;\nSIDE#1{\nW#1010{ #1=400 #2=300 #8509=32767 #8511=35 #3=-8 }\n"
        "W#2010{ #8098=MANY.PGM }\nW#2010{ #8098=MANY.PGM }\n}SIDE\n";
    Write("SUB/MANY.PGM", sub);
    ProgramJobResult result = Translate(main);
    EXPECT_TRUE(result.job.written);
    const std::size_t bytes = fs::file_size(main) + sub.size();
    const std::size_t cap = bytes * kMaxEntitiesPerProgramByte;
    EXPECT_GT(result.job.entityCount, cap);              // drawn up to the cap...
    EXPECT_LE(result.job.entityCount, cap + 2 * 32767);  // ...and one subprogram beyond at most
    ASSERT_FALSE(prompt_.messages.empty());
    EXPECT_EQ(prompt_.messages.back().title, "Subprogram Error");
    EXPECT_NE(prompt_.messages.back().text.find("MANY.PGM: the drawing holds more than " +
                                                std::to_string(cap) + " entities"),
              std::string::npos)
        << prompt_.messages.back().text;
}

// Holes outside any face draw nothing, yet each takes its time: they count against the same
// bound (found by fuzzing: 33 million holes worked out for an empty drawing).
TEST_F(JobDriverTest, HolesThatDrawNothingStillStopSubprogramCalls) {
    const fs::path main =
        Write("MAIN.PGM", std::string(kHeader) + "W#2010{ #8098=NOFACE.PGM }\n}SIDE\n");
    const std::string sub =
        "$\n::SIDE=1;\nW#1010{ #1=400 #2=300 #8509=32767 #8511=35 #3=-8 }\n"
        "W#2010{ #8098=NOFACE.PGM }\nW#2010{ #8098=NOFACE.PGM }\n";
    Write("SUB/NOFACE.PGM", sub);
    ProgramJobResult result = Translate(main);
    EXPECT_TRUE(result.job.written);
    const std::size_t cap = (fs::file_size(main) + sub.size()) * kMaxEntitiesPerProgramByte;
    EXPECT_LE(result.job.calls.size(), cap / 32767 + 3);  // not the thousand calls of the limit
    ASSERT_FALSE(prompt_.messages.empty());
    EXPECT_NE(prompt_.messages.back().text.find("NOFACE.PGM: the drawing holds more than"),
              std::string::npos)
        << prompt_.messages.back().text;
}

TEST_F(JobDriverTest, UnwritableDestinationIsAFileError) {
    session_->destFolder = root_ / "no" / "such" / "folder";
    const fs::path main = Write("MAIN.PGM", std::string(kHeader) + "}SIDE\n");
    ProgramJobResult result = Translate(main);
    EXPECT_TRUE(result.recognized);
    EXPECT_FALSE(result.job.written);
    ASSERT_EQ(prompt_.messages.size(), 1u);
    EXPECT_EQ(prompt_.messages[0].title, "Alert!");
    EXPECT_EQ(
        prompt_.messages[0].text.rfind("File Error. File may be open by another application.", 0),
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
    ASSERT_TRUE(alone.job.written);
    std::ifstream in1(alone.job.output, std::ios::binary);
    const std::string expected((std::istreambuf_iterator<char>(in1)), {});
    Translate(first);
    ProgramJobResult after = Translate(second);
    std::ifstream in2(after.job.output, std::ios::binary);
    const std::string actual((std::istreambuf_iterator<char>(in2)), {});
    EXPECT_EQ(actual, expected);
}

// A job reads only its request and the shared resources: nothing reaches the session, its prompt
// or its Control Panel until the caller shows the result, and two runs of one request agree.
TEST_F(JobDriverTest, AJobIsAFunctionOfItsRequest) {
    const fs::path main = Write("MAIN.PGM", std::string(kHeader) +
                                                "W#81{ #1=10 #2=20 #3=-5 }\n"
                                                "W#2010{ #8098=HOLE.PGM #8020=100 }\n"
                                                "W#2010{ #8098=GONE.PGM }\n}SIDE\n");
    Write("SUB/HOLE.PGM", "$\n::SIDE=1;\nSIDE#1{\nW#81{ #1=0 #2=0 #3=-5 }\n}SIDE\n");
    session_->settings.options.saveOnTranslate = true;
    const ProgramRecognition recognized =
        RecognizeJobProgram(session_->settings, main, false, ProgramHeader{});
    ASSERT_TRUE(recognized.found.recognized);
    JobRequest request;
    request.program = recognized.program;
    request.header = recognized.header;
    request.text = recognized.text;
    request.hbdCounter = 41;
    const JobResources resources = ResourcesOf(*session_);
    const JobResult result = TranslateJob(resources, request);

    EXPECT_TRUE(result.written && result.scanned && !result.fileError);
    EXPECT_EQ(result.output, root_ / "out" / "MAIN.DXF");
    EXPECT_EQ(result.header.partLength, 800);
    ASSERT_EQ(result.calls.size(), 2u);
    EXPECT_EQ(result.missingSubprogram.filename(), "GONE.PGM");
    EXPECT_EQ(result.hbdCounter, 41) << "no HBD marker without RenameForHBD";
    EXPECT_TRUE(prompt_.messages.empty());
    EXPECT_EQ(session_->panel.SubList().Text(1, 2), "");
    EXPECT_EQ(session_->header.partLength, 0);

    // The caller decides: the messages, then the lists.
    RaiseJobMessages(prompt_, result);
    ASSERT_EQ(prompt_.messages.size(), 1u);
    EXPECT_EQ(prompt_.messages[0].title, "Subprogram Error");
    ShowJobResult(session_->panel, result);
    EXPECT_EQ(session_->panel.SubList().Text(2, 2), "GONE.PGM");
    EXPECT_EQ(session_->panel.GetDimX(), " 800");

    const JobResult again = TranslateJob(resources, request);
    EXPECT_EQ(again.entitiesPerLayer, result.entitiesPerLayer);
    EXPECT_EQ(again.entityCount, result.entityCount);
}

// What the user is told comes from the result alone, titles and texts as they always were.
// A program (or a subprogram) with a line longer than any program line is not translated: no
// drawing is written, the earlier one stays, the user is told which line, and nothing is left
// in the destination folder.
TEST_F(JobDriverTest, ALineTooLongStopsTheJobAndKeepsTheEarlierDrawing) {
    const std::string tooLong(TextFileLines::kMaxLineBytes + 10, 'x');
    struct Case {
        const char* name;
        std::string main;
        std::string sub;
        const char* where;
    };
    const Case cases[] = {
        {"in the program",
         std::string(kHeader) + "W#81{ #1=10 #2=20 #3=-5 }\n'" + tooLong + "\n}SIDE\n", "",
         "Line 6 of"},
        {"in a subprogram",
         std::string(kHeader) + "W#81{ #1=10 #2=20 #3=-5 }\nW#2010{ #8098=LONG.PGM }\n}SIDE\n",
         "$\n::SIDE=1;\n'" + tooLong + "\n", "Line 3 of"},
    };
    session_->settings.options.saveOnTranslate = true;
    for (const Case& c : cases) {
        const fs::path main = Write("MAIN.PGM", c.main);
        if (!c.sub.empty()) Write("SUB/LONG.PGM", c.sub);
        fs::create_directories(root_ / "out");
        std::ofstream(root_ / "out" / "MAIN.DXF", std::ios::binary) << "earlier drawing";
        prompt_.messages.clear();
        const ProgramJobResult result = Translate(main);
        ASSERT_TRUE(result.recognized) << c.name;
        EXPECT_FALSE(result.job.written) << c.name;
        EXPECT_FALSE(result.job.fileError) << c.name;
        EXPECT_NE(result.job.programError.find(c.where), std::string::npos)
            << c.name << ": " << result.job.programError;
        EXPECT_NE(
            result.job.programError.find("is longer than 1 MB; the program was not translated"),
            std::string::npos)
            << result.job.programError;
        ASSERT_FALSE(prompt_.messages.empty()) << c.name;
        EXPECT_EQ(prompt_.messages[0].title, "Process Error");
        ASSERT_FALSE(result.job.diagnostics.empty());
        EXPECT_EQ(result.job.diagnostics.back().message, result.job.programError);
        std::ifstream in(root_ / "out" / "MAIN.DXF", std::ios::binary);
        EXPECT_EQ(std::string((std::istreambuf_iterator<char>(in)), {}), "earlier drawing");
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(root_ / "out"))
            names.push_back(entry.path().filename().string());
        EXPECT_EQ(names, std::vector<std::string>{"MAIN.DXF"}) << c.name;
    }
}

// A program over 64 MB is not kept in memory: the Control Panel lists its first 10,000 lines and
// says so, and the job reads the whole file itself, holes at its far end included.
TEST_F(JobDriverTest, AProgramTooLargeToKeepIsListedInPartAndReadFromItsFile) {
    const fs::path big = root_ / "progs" / "BIG.PGM";
    fs::create_directories(big.parent_path());
    {
        std::ofstream out(big, std::ios::binary);
        out << kHeader << "W#81{ #1=10 #2=20 #3=-5 }\n";
        const std::string comment = "'" + std::string(98, 'c') + "\n";
        std::string block;
        for (int i = 0; i < 10000; ++i) block += comment;
        for (int i = 0; i < 68; ++i) out << block;  // 68 blocks of 1,000,000 bytes
        out << "W#81{ #1=700 #2=500 #3=-5 }\n}SIDE\n";
    }
    ASSERT_GT(fs::file_size(big), std::uintmax_t{64} << 20);
    const ProgramRecognition recognized =
        RecognizeJobProgram(session_->settings, big, false, ProgramHeader{});
    ASSERT_TRUE(recognized.found.recognized);
    EXPECT_EQ(recognized.header.partLength, 800);
    EXPECT_EQ(recognized.text, nullptr) << "the job reads the file";
    ASSERT_NE(recognized.listed, nullptr);
    TextList list;
    list.AssignShared(recognized.listed);
    ASSERT_EQ(list.Count(), 10001);
    EXPECT_EQ(list.Line(0), "$=Test");
    EXPECT_EQ(list.Line(10000), "(only the first 10000 lines of this program of 65 MB are listed)");

    session_->settings.options.saveOnTranslate = true;
    const ProgramJobResult result = Translate(big);
    ASSERT_TRUE(result.job.written);
    EXPECT_EQ(session_->recognizedText, nullptr);
    EXPECT_EQ(session_->panel.PrgList().Count(), 10001);
    // The same drawing as the program without its comments.
    const ProgramJobResult small =
        Translate(Write("SMALL.PGM", std::string(kHeader) +
                                         "W#81{ #1=10 #2=20 #3=-5 }\nW#81{ #1=700 #2=500 #3=-5 }\n"
                                         "}SIDE\n"));
    ASSERT_TRUE(small.job.written);
    EXPECT_EQ(result.job.entitiesPerLayer, small.job.entitiesPerLayer)
        << "the hole after the 68 MB of comments is drawn";
}

// A job whose drawing outgrows memory: the counts it reports are those of the written file.
TEST_F(JobDriverTest, CountsOfALargeDrawingAreThoseOfTheFile) {
    std::string program = kHeader;
    for (int i = 0; i < 30000; ++i) {
        program += "W#81{ #1=" + std::to_string(i % 800) + " #2=" + std::to_string(i % 600) +
                   " #3=-" + std::to_string(5 + i % 3) + " }\n";
    }
    program += "}SIDE\n";
    session_->settings.options.saveOnTranslate = true;
    const ProgramJobResult result = Translate(Write("MANY.PGM", program));
    ASSERT_TRUE(result.job.written);
    const Drawing drawing = Read(result.job.output);
    std::map<std::string, std::size_t> perLayer;
    for (const Entity& e : drawing.entities) ++perLayer[e.layer];
    EXPECT_EQ(result.job.entityCount, drawing.entities.size());
    EXPECT_GE(result.job.entityCount, 30000u);
    EXPECT_EQ(result.job.entitiesPerLayer, perLayer);
}

TEST(JobMessages, RaisedFromTheResultInOrder) {
    JobResult nothing;
    JobResult all;
    all.programError = "Line 3 of \"P.PGM\" is longer than 1 MB; the program was not translated";
    all.output = "out/PANEL.DXF";
    all.fileError = true;
    all.missingSubprogram = "SUB/GONE.PGM";
    all.cutCalls = "LOOP.PGM: nested more than 8 levels deep";
    struct Case {
        const JobResult& result;
        std::vector<std::string> messages;
    };
    const Case cases[] = {
        {nothing, {}},
        {all,
         {"Process Error|Line 3 of \"P.PGM\" is longer than 1 MB; the program was not translated",
          "Alert!|File Error. File may be open by another application.\r\nout/PANEL.DXF",
          "Subprogram Error|Subprogram: \rSUB/GONE.PGM\rNot Found",
          "Subprogram Error|Subprogram calls cut off, the drawing holds what was read "
          "before:\rLOOP.PGM: nested more than 8 levels deep"}},
    };
    for (const Case& c : cases) {
        RecordingPrompt prompt;
        RaiseJobMessages(prompt, c.result);
        std::vector<std::string> got;
        for (const auto& m : prompt.messages) got.push_back(m.title + "|" + m.text);
        EXPECT_EQ(got, c.messages);
    }
}

}  // namespace
}  // namespace retracer
