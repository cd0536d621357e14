// Genesis programs through the job driver: recognised, translated and written like Genesis Ev
// programs, with the input's problems in the job's diagnostics.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "job/job_driver.h"
#include "settings/user_store.h"

#include "scratch_session.h"

namespace retracer {
namespace {

namespace fs = std::filesystem;

class GenesisIsoJobTest : public ScratchSessionTest {
  protected:
    ProgramJobResult Translate(const std::string& name, const std::string& text,
                               bool mirror = false) {
        ProgramJob request;
        request.program = Write(name, text);
        request.mirror = mirror;
        return TranslateProgramFile(*session_, request);
    }
};

TEST_F(GenesisIsoJobTest, TranslatedThroughTheSameDriverAsGenesisEv) {
    const ProgramJobResult iso =
        Translate("PANEL.CNC",
                  "G71 X600 Y400 Z18\n(Panel)\nG55 G55/\nG81 X10 Y10 Z12 R54=8 P5\n"
                  "G88 X0 Y0 Z5 T0103 P5\nG1 X100 Y0\nG112 I50 J0 X200 Y0\n");
    ASSERT_TRUE(iso.recognized);
    EXPECT_TRUE(iso.job.written);
    EXPECT_EQ(iso.job.output.filename(), "PANEL.DXF");
    EXPECT_TRUE(fs::exists(iso.job.output));
    EXPECT_EQ(iso.job.entitiesPerLayer.at("VBORE_Z12"), 1u);
    EXPECT_EQ(iso.job.entitiesPerLayer.at("ROUTE_Z5_T3"), 1u);
    EXPECT_GE(iso.job.entitiesPerLayer.at("BORDER_Z18"), 4u) << "the outline";
    ASSERT_EQ(iso.job.diagnostics.size(), 1u);
    EXPECT_EQ(iso.job.diagnostics[0].line, 7);
    EXPECT_NE(iso.job.diagnostics[0].message.find("one line"), std::string::npos);

    const ProgramJobResult ev =
        Translate("EV.PGM", "$=Ev\n::UNm DL=600 DH=400 DS=18\n::SIDE=1;\nSIDE#1{\n}SIDE\n");
    ASSERT_TRUE(ev.recognized);
    EXPECT_GE(ev.job.entitiesPerLayer.at("BORDER_Z18"), 4u);
}

// The state of one Genesis job never reaches the next: orientation, conditions and the
// compensation tag start afresh.
TEST_F(GenesisIsoJobTest, AJobStartsFromAFreshState) {
    Translate("FIRST.CNC", "G71 X600 Y400 Z18\nG57 G56/\nG42\nG151 X1 Y2 R50=2\n");
    const ProgramJobResult second = Translate(
        "SECOND.CNC", "G71 X600 Y400 Z18\nG81 X10 Y10 Z12 P5\nG88 X0 Y0 Z5 T0103 P5\nG1 X9 Y9\n");
    EXPECT_EQ(second.job.entitiesPerLayer.count("VBORE_Z12"), 1u);
    EXPECT_EQ(second.job.entitiesPerLayer.count("ROUTE_Z5_T3"), 1u);
}

}  // namespace
}  // namespace retracer
