// Programs saved by today's program editors: what their expressions read by mistake is named in
// the job's diagnostics with file and line, the translation stays as it is, and the holes their
// external macro blocks would draw with a negative size are left out.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "drawing/dxf_reader.h"
#include "job/job_driver.h"
#include "job/session.h"

#include "scratch_session.h"
#include "translator_job.h"

namespace retracer {
namespace {

namespace fs = std::filesystem;

std::string DataFile(const char* name) {
    std::ifstream in(fs::path(RETRACER_SOURCE_DIR) / "tests" / "data" / "programs" / name,
                     std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

class ProgramNotesTest : public ScratchSessionTest {};

TEST_F(ProgramNotesTest, AnEditorsProgramIsTranslatedAndItsDamageNamed) {
    const std::string text = DataFile("editor_program.pgm");
    ASSERT_FALSE(text.empty());
    const fs::path program = Write("progs/editor_program.pgm", text);
    ProgramJob request;
    request.program = program;
    const ProgramJobResult result = TranslateProgramFile(*session_, request);
    ASSERT_TRUE(result.recognized);
    ASSERT_TRUE(result.job.written);

    const std::string external =
        "Macro block names an external macro file \"..\\custom\\mcr\\fittingx.tmcr\"; its "
        "parameters are read in the block's own form";
    const std::string negative =
        "Hole with a negative diameter (-12) is left out: a negative diameter is an error in the "
        "program";
    const std::vector<std::string> expected = {
        // x and y once each, at their first use, though later lines use them again; s is the
        // part thickness S and reads 19.
        "10: Variable \"x\" is not defined; it reads 0",
        "10: Variable \"y\" is not defined; it reads 0",
        "12: Number \"7,5\" is written with a decimal comma; it reads 7",
        "16: " + external,
        "16: " + negative,
        "17: " + external,
        "17: " + negative,
    };
    std::vector<std::string> diagnostics;
    for (const Diagnostic& d : result.job.diagnostics) {
        EXPECT_EQ(fs::path(d.file), program) << d.message;
        diagnostics.push_back(std::to_string(d.line) + ": " + d.message);
    }
    EXPECT_EQ(diagnostics, expected);

    // The translation is the one the program asks for: x reads 0, 7,5 reads 7; the two row
    // blocks, 56 holes each of diameter -12, draw nothing.
    Drawing drawing;
    std::string error;
    ASSERT_TRUE(ReadDxf(result.job.output, drawing, error)) << error;
    std::vector<std::string> holes;
    for (const Entity& e : drawing.entities) {
        const auto* circle = std::get_if<CircleEntity>(&e.geometry);
        if (circle == nullptr || e.layer.rfind("VBORE", 0) != 0) continue;
        EXPECT_GE(circle->radius, 0) << e.layer;
        holes.push_back(GeneralText(circle->centre.x) + "," + GeneralText(circle->centre.y) + " " +
                        e.layer);
    }
    EXPECT_EQ(holes, (std::vector<std::string>{"-31,-80 VBORE_Z13T21", "-31,80 VBORE_Z13T21",
                                               "7,32 VBORE_Z12", "358,279 VBORE_Z10"}));
}

// A name is told once per file: the main program and a subprogram that both write x tell it
// twice, each at its own first use; a decimal comma is told on every line it is written on.
TEST(ProgramNotesOnceTest, UnknownNamesOncePerFileDecimalCommasPerLine) {
    using testing_ev::Program;
    testing_ev::EvJob ev;
    const std::string body = "W#81{ #1=x-31 #2=50 }\nW#81{ #1=x+31 #2=7,5 }\nW#81{ #2=7,5 }\n";
    ev.Run(Program(body), "MAIN.PGM");
    ev.Run(Program(body), "SUB.PGM");
    std::vector<std::string> told;
    for (const Diagnostic& d : ev.job.diagnostics)
        told.push_back(d.file + ":" + std::to_string(d.line) + ": " + d.message);
    const std::string comma = "Number \"7,5\" is written with a decimal comma; it reads 7";
    EXPECT_EQ(told, (std::vector<std::string>{
                        "MAIN.PGM:3: Variable \"x\" is not defined; it reads 0",
                        "MAIN.PGM:4: " + comma,
                        "MAIN.PGM:5: " + comma,
                        "SUB.PGM:3: Variable \"x\" is not defined; it reads 0",
                        "SUB.PGM:4: " + comma,
                        "SUB.PGM:5: " + comma,
                    }));
}

// The same in a Genesis program: a letter=expression word, an evaluated F word (read twice, told
// once) and coordinates, which are read as plain numbers.
TEST(ProgramNotesOnceTest, GenesisLinesTellTheirNamesAndCommas) {
    testing_ev::TranslatorJob<GenesisIsoTranslator> iso;
    iso.Run(
        "G71 X600 Y400 Z18\nG81 X=w-10 Y20 Z-5 P5\nG88 X0 Y0 Z5 T0103 P5 F1000,5\n"
        "G1 X=w Y10\nG1 X10,5 Y2,25 Z-5\n");
    const std::string comma = "\" is written with a decimal comma; it reads ";
    EXPECT_EQ(iso.Diagnostics(),
              "2: Variable \"w\" is not defined; it reads 0\n"
              "3: Number \"1000,5" +
                  comma +
                  "1000\n"
                  "5: Number \"10,5" +
                  comma +
                  "10\n"
                  "5: Number \"2,25" +
                  comma + "2");
}

}  // namespace
}  // namespace retracer
