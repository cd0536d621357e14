// Genesis Ev line handling: variables, sections, the header and outline, conditions, the
// parameter reader, subprogram calls, label fields and the faults of the input.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "genesis_ev_test_support.h"

namespace retracer {
namespace {

using testing_ev::EvJob;
using testing_ev::Program;

TEST(GenesisEvTest, HeaderDrawsTheOutlineAndSetsThePartSize) {
    EvJob ev;
    ev.Run("::UNm DL=800 DH=600 DS=18\n");
    EXPECT_EQ(ev.Drawn(true),
              "BORDER_Z18: 0,0>0,600; BORDER_Z18: 0,600>800,600; BORDER_Z18: 800,600>800,0; "
              "BORDER_Z18: 800,0>0,0");
    EXPECT_EQ(ev.state.borderLayer, "BORDER_Z18");
    EXPECT_EQ(ev.header.partLength, 800);
    EXPECT_EQ(ev.state.vars.Letter(ProgramVariables::kWidth), 600);
    EXPECT_EQ(ev.state.vars.Letter(ProgramVariables::kThickness), 18);
    EXPECT_EQ(ev.job.unitDivisor, 1.0);
    for (const Entity& e : ev.Entities()) EXPECT_EQ(e.colour, 1);
}

TEST(GenesisEvTest, InchHeaderSetsTheUnitDivisor) {
    EvJob ev;
    ev.Run("::UNi DL=31.5 DH=20 DS=0.75\n");
    EXPECT_EQ(ev.Drawn(true),
              "BORDER_Z0P75: 0,0>0,20; BORDER_Z0P75: 0,20>31.5,20; BORDER_Z0P75: 31.5,20>31.5,0; "
              "BORDER_Z0P75: 31.5,0>0,0");
    EXPECT_EQ(ev.job.unitDivisor, 25.4);
}

TEST(GenesisEvTest, SizesFromTheJobAreKeptButStillDrawn) {
    EvJob ev;
    ev.job.dimsFromJob = true;
    ev.header.partLength = 500;
    ev.header.partWidth = 300;
    ev.header.partThickness = 19;
    ev.Run("::UNm DL=800 DH=600 DS=18\n");
    EXPECT_EQ(ev.header.partLength, 500);
    EXPECT_EQ(ev.state.vars.Letter(ProgramVariables::kLength), 500);
    EXPECT_EQ(ev.Drawn(true).substr(0, 25), "BORDER_Z19: 0,0>0,300; BO");
}

TEST(GenesisEvTest, SubprogramHeaderSetsLettersButDrawsNoSecondOutline) {
    EvJob ev;
    ev.Run("::UNm DL=800 DH=600 DS=18\n");
    ev.job.calls.push_back(SubprogramCall{});
    ev.job.currentCall = 1;
    ev.state.vars.letters[ProgramVariables::kLength] = 1;
    ev.Run("::UNi DL=100 DH=100 DS=5\n", "SUB.PGM");
    EXPECT_EQ(ev.Entities().size(), 4u) << "only the main program's outline";
    EXPECT_EQ(ev.header.partLength, 800) << "the main program's size stays";
    EXPECT_EQ(ev.state.vars.Letter(ProgramVariables::kLength), 800);
    EXPECT_EQ(ev.state.borderLayer, "BORDER_Z18");
    EXPECT_EQ(ev.job.unitDivisor, 25.4);
}

TEST(GenesisEvTest, VarSectionDefinesRVariablesUsedInBlocks) {
    EvJob ev;
    ev.Run(
        "::UNm DL=800 DH=600 DS=18\nVAR{\n#5=L/2|half length\n#1=7|a\n#12=40|b\n}VAR\n"
        "SIDE#1{\nW#81{ #1=r5 #2=50 #3=-10 }\nW#81{ #1=r12 #2=r1 #3=-10 }\n}SIDE\n");
    EXPECT_EQ(ev.state.vars.r[5], "L/2");
    EXPECT_EQ(ev.state.vars.r[ProgramVariables::kAnyRSet], "1");
    EXPECT_EQ(ev.Drawn(), "VBORE_Z10: (400,50)r2.5; VBORE_Z10: (40,7)r2.5");
}

TEST(GenesisEvTest, VarValuesSetBeforeTheScanWin) {
    EvJob ev;
    ev.state.vars.r[5] = "100";
    ev.Run(Program("VAR{\n#5=L/2|half\n#6=|empty\n}VAR\nW#81{ #1=r5 #2=r6 }\n"));
    EXPECT_EQ(ev.state.vars.r[5], "100");
    EXPECT_EQ(ev.state.vars.r[6], "");
    EXPECT_EQ(ev.Drawn(), "VBORE: (100,0)r2.5") << "r6 is empty, so \"r6\" stays and reads 0";
}

TEST(GenesisEvTest, VReferencesAndVarvSection) {
    EvJob ev;
    ev.Run(
        Program("VARV{\n#0=5|a\n#3=L/4|depth\n#7=9|skips h\n}VARV\n"
                "W#81{ #1=v3 #2=v0*10 #3=-v7 }\n"));
    EXPECT_EQ(ev.state.vars.Letter(1), 5);
    EXPECT_EQ(ev.state.vars.Letter(4), 200);
    EXPECT_EQ(ev.state.vars.Letter(9), 9);
    EXPECT_EQ(ev.Drawn(), "VBORE_Z9: (200,50)r2.5");
}

TEST(GenesisEvTest, VarvSectionIsLeftAloneForJobsFromTheWorklist) {
    EvJob ev;
    ev.job.dimsFromJob = true;
    ev.state.vars.letters[1] = 3;
    ev.Run(Program("VARV{\n#0=5|a\n}VARV\n"));
    EXPECT_EQ(ev.state.vars.Letter(1), 3);
}

TEST(GenesisEvTest, OffsSectionGivesTheProgramOffsets) {
    EvJob ev;
    ev.Run("OFFS{\n#0=12.5|x\n#1=-3|y\n#2|2.123456\n#3=9\n}OFFS\n");
    EXPECT_EQ(ev.job.programOffsetX, "12.5");
    EXPECT_EQ(ev.job.programOffsetY, "-3");
    EXPECT_EQ(ev.job.programOffsetZ, "2.1235");
}

TEST(GenesisEvTest, SectionsEndAndSidesSelectTheFace) {
    EvJob ev;
    // Outside SIDE#1 (plane 0) and on SIDE#2 (plane -6) nothing is drilled.
    ev.Run("W#81{ #1=1 #2=1 }\nSIDE#2{\nW#81{ #1=2 #2=2 }\n}SIDE\nSIDE#1{\nW#81{ #1=3 #2=3 }\n");
    EXPECT_EQ(ev.Drawn(), "VBORE: (3,3)r2.5");
    EXPECT_EQ(ev.translator->CurrentSide(), 1);
}

// ---- Conditions ------------------------------------------------------------------------------

struct ConditionCase {
    const char* name;
    const char* condition;  // parameters of W#2001
    bool holds;
};

TEST(GenesisEvTest, ConditionsSelectBlocks) {
    const std::vector<ConditionCase> cases = {
        {"5 < 10", "#8070=5 #8060=0 #8073=10", true},
        {"10 < 5", "#8070=10 #8060=0 #8073=5", false},
        {"5 <= 5", "#8070=5 #8060=1 #8073=5", true},
        {"5 > 5", "#8070=5 #8060=2 #8073=5", false},
        {"6 >= 5", "#8070=6 #8060=3 #8073=5", true},
        {"L = 800", "#8070=L #8060=4 #8073=800", true},
        {"5 <> 5", "#8070=5 #8060=5 #8073=5", false},
        {"and of true and false", "#8070=1 #8060=4 #8073=1 #8065=0 #8071=1 #8061=4 #8074=2", false},
        {"or of true and false", "#8070=1 #8060=4 #8073=1 #8065=1 #8071=1 #8061=4 #8074=2", true},
        {"third comparison",
         "#8070=1 #8060=4 #8073=1 #8065=0 #8071=2 #8061=4 #8074=2 "
         "#8066=0 #8072=3 #8062=0 #8075=1",
         false},
        {"no comparison", "", false},
    };
    for (const ConditionCase& c : cases) {
        EvJob ev;
        ev.Run(Program(std::string("W#2001{ ") + c.condition +
                       " }\nW#81{ #1=1 #2=1 }\nW#2005{ }\nW#81{ #1=2 #2=2 }\nW#2002{ }\n"
                       "W#81{ #1=3 #2=3 }\n"));
        EXPECT_EQ(ev.Drawn(), c.holds ? "VBORE: (1,1)r2.5; VBORE: (3,3)r2.5"
                                      : "VBORE: (2,2)r2.5; VBORE: (3,3)r2.5")
            << c.name;
        EXPECT_EQ(ev.translator->OpenConditions(), 0) << c.name;
        EXPECT_EQ(ev.Diagnostics(), "") << c.name;
    }
}

TEST(GenesisEvTest, NestedConditionsInsideAFalseOneStayInactive) {
    EvJob ev;
    ev.Run(
        Program("W#2001{ #8070=1 #8060=4 #8073=2 }\n"
                "W#2001{ #8070=1 #8060=4 #8073=1 }\nW#81{ #1=1 #2=1 }\nW#2002{ }\n"
                "W#2005{ }\nW#81{ #1=2 #2=2 }\nW#2002{ }\n"));
    EXPECT_EQ(ev.Drawn(), "VBORE: (2,2)r2.5");
}

TEST(GenesisEvTest, MoreThanTenOpenConditionsAreStillObeyed) {
    std::string body;
    for (int i = 0; i < 12; ++i) body += "W#2001{ #8070=1 #8060=4 #8073=1 }\n";
    body += "W#2001{ #8070=1 #8060=4 #8073=2 }\nW#81{ #1=1 #2=1 }\nW#2005{ }\nW#81{ #1=2 #2=2 }\n";
    for (int i = 0; i < 13; ++i) body += "W#2002{ }\n";
    body += "W#81{ #1=3 #2=3 }\n";
    EvJob ev;
    ev.Run(Program(body));
    EXPECT_EQ(ev.Drawn(), "VBORE: (2,2)r2.5; VBORE: (3,3)r2.5");
    EXPECT_EQ(ev.translator->OpenConditions(), 0);
    EXPECT_EQ(ev.state.condDepth, 0);
    EXPECT_NE(ev.Diagnostics().find("more than 10 conditions"), std::string::npos);
}

TEST(GenesisEvTest, UnmatchedElseAndEndAreReported) {
    EvJob ev;
    ev.Run(Program("W#2005{ }\nW#81{ #1=1 #2=1 }\nW#2002{ }\nW#81{ #1=2 #2=2 }\n"));
    EXPECT_EQ(ev.Drawn(), "VBORE: (2,2)r2.5") << "an else at the top inverts the whole program";
    EXPECT_EQ(ev.job.diagnostics.size(), 2u);
}

// ---- Parameters ------------------------------------------------------------------------------

TEST(GenesisEvTest, ParameterTableFillsTheBlockFields) {
    EvJob ev;
    ev.Run(
        Program("W#2201{ #1=1 #2=2 #3=-3 #31=4 #32=a=5 #34=2.5 #36=6 #40=1 #205=3.5 #1002=7 "
                "#2002=18000 #2005=8 #2008=9 #8017=10 #8020=11 #8021=12 #8022=13 #8044=14 "
                "#8509=15 #8510=16 #8511=17 #8517=18 #8519=19 #8520=20 #8527=21 #8528=1 "
                "#8076=99 #1001=99 #8516=22 }\n"));
    const BlockParams& p = ev.translator->LastBlock();
    EXPECT_EQ(p.x, 1);
    EXPECT_EQ(p.y, 2);
    EXPECT_EQ(p.depth, 3);
    EXPECT_TRUE(p.xGiven && p.yGiven && p.zGiven);
    EXPECT_EQ(ev.state.moveZ, 3) << "no tool was started, so the move drew nothing";
    EXPECT_EQ(p.centreX, 4);
    EXPECT_FALSE(p.cxAbsolute);
    EXPECT_EQ(p.centreY, 5);
    EXPECT_TRUE(p.cyAbsolute && p.cyGiven);
    EXPECT_EQ(p.direction, 2) << "halves go to the even neighbour";
    EXPECT_EQ(p.tagValue, 6);
    EXPECT_EQ(p.compensation, 1);
    EXPECT_EQ(p.tool, 4);
    EXPECT_EQ(p.diameter, 22) << "#8516 is a diameter outside grooves";
    EXPECT_EQ(p.spindleS, 18000);
    EXPECT_EQ(p.feedD, 8);
    EXPECT_EQ(p.feed3, 9);
    EXPECT_EQ(p.radius, 10);
    EXPECT_EQ(p.x2, 11);
    EXPECT_EQ(p.y2, 12);
    EXPECT_EQ(p.z2, 13);
    EXPECT_TRUE(p.z2Given);
    EXPECT_EQ(p.angle, 14);
    EXPECT_EQ(p.count, 15);
    EXPECT_EQ(p.ax, 16);
    EXPECT_EQ(p.ay, 17);
    EXPECT_EQ(p.bx, 18);
    EXPECT_EQ(p.by, 19);
    EXPECT_EQ(p.pitch, 20);
    EXPECT_EQ(p.length, 21);
    EXPECT_TRUE(p.byAngle);
    EXPECT_EQ(ev.Diagnostics(), "");
}

TEST(GenesisEvTest, DepthParametersAndMoveDepth) {
    struct Case {
        const char* params;
        float depth;
        double moveZ;
    };
    const std::vector<Case> cases = {
        {"#3=-12", 12, 12},
        {"#8512=-7", 7, 7},
        {"#8514=4", 4, 0},
        {"#3=-12 #8514=5", 5, 12},
    };
    for (const Case& c : cases) {
        EvJob ev;
        ev.Run(Program(std::string("W#81{ ") + c.params + " }\n"));
        EXPECT_EQ(ev.translator->LastBlock().depth, c.depth) << c.params;
        EXPECT_EQ(ev.state.moveZ, c.moveZ) << c.params;
    }
}

TEST(GenesisEvTest, IncrementalBlocksAddTheLastGivenPosition) {
    EvJob ev;
    ev.Run(
        Program("W#81{ #1=100 #2=20 #3=-5 }\nW#81{ #8015=1 #1=10 #2=5 }\n"
                "W#81{ #8015=1 #1=10 }\n"));
    // The depth is incremental too: the second and third blocks give none, so 0 + 5.
    EXPECT_EQ(ev.Drawn(),
              "VBORE_Z5: (100,20)r2.5; VBORE_Z5: (110,25)r2.5; "
              "VBORE_Z5: (120,25)r2.5");
    EXPECT_EQ(ev.translator->LastGiven()[0], 120);
    EXPECT_EQ(ev.translator->LastGiven()[1], 25) << "Y was not given in the last block";
}

TEST(GenesisEvTest, InactiveBlocksStillUpdateTheLastGivenPosition) {
    EvJob ev;
    ev.Run(
        Program("W#2001{ #8070=1 #8060=4 #8073=2 }\nW#81{ #1=100 #2=100 }\n"
                "W#1903{ #1=500 #2=500 }\nW#2002{ }\nW#81{ #8015=1 #1=5 #2=5 }\n"));
    EXPECT_EQ(ev.Drawn(), "VBORE: (105,105)r2.5") << "W#1903 is not read while inactive";
}

TEST(GenesisEvTest, RoundingOutOfRangeIsClampedAndReported) {
    EvJob ev;
    ev.Run(Program("W#81{ #1=1 #2=1 #205=40000 }\n"));
    EXPECT_EQ(ev.translator->LastBlock().tool, 32767);
    EXPECT_NE(ev.Diagnostics().find("#205"), std::string::npos);
}

TEST(GenesisEvTest, SubprogramOffsetsMoveBlockCoordinates) {
    EvJob ev;
    SubprogramCall call;
    call.offsetX = 100;
    call.offsetY = 50;
    call.offsetZ = 2;
    ev.job.calls.push_back(call);
    ev.job.currentCall = 1;
    ev.Run(Program("W#81{ #1=10 #2=20 #3=-10 }\n"));
    EXPECT_EQ(ev.Drawn(), "VBORE_Z12: (110,70)r2.5");
}

// ---- Subprogram calls ------------------------------------------------------------------------

TEST(GenesisEvTest, SubprogramCallRecordsFileOffsetsAndParameters) {
    EvJob ev;
    ev.Run(
        Program("W#2010{ #8098=SUB1.PGM #8020=100 #8021=L/16 #8022=-2 #8500=L/2 #8501=0.5 "
                "#8799=7 #8800=9 #8103=1 }\n"));
    ASSERT_EQ(ev.job.calls.size(), 1u);
    const SubprogramCall& call = ev.job.calls[0];
    EXPECT_EQ(call.fileName, "SUB1.PGM");
    EXPECT_EQ(call.offsetX, 100);
    EXPECT_EQ(call.offsetY, 50);
    EXPECT_EQ(call.offsetZ, -2);
    EXPECT_EQ(call.parameters[0], "400");
    EXPECT_EQ(call.parameters[1], "0.5");
    EXPECT_EQ(call.parameters[299], "7");
    EXPECT_EQ(call.parameters[2], "");
    EXPECT_EQ(call.parentCall, 0);

    // A call met while call 1 is scanned belongs to it; an inactive call is not recorded.
    ev.job.currentCall = 1;
    ev.Run(
        "W#2010{ #8098=SUB2.PGM }\nW#2001{ #8070=0 #8060=4 #8073=1 }\n"
        "W#2010{ #8098=NOT.PGM }\nW#2002{ }\n",
        "SUB1.PGM");
    ASSERT_EQ(ev.job.calls.size(), 2u);
    EXPECT_EQ(ev.job.calls[1].fileName, "SUB2.PGM");
    EXPECT_EQ(ev.job.calls[1].parentCall, 1);
}

TEST(GenesisEvTest, SubprogramCallsBeyondTheJobsBoundAreNotRecorded) {
    EvJob ev;
    std::string body;
    for (int i = 0; i < kMaxSubprogramCalls + 5; ++i) body += "W#2010{ #8098=S.PGM }\n";
    ev.Run(Program(body));
    EXPECT_EQ(ev.job.calls.size(), static_cast<std::size_t>(kMaxSubprogramCalls + 1));
    EXPECT_EQ(ev.job.diagnostics.size(), 1u) << "reported once";
}

// ---- Label fields ----------------------------------------------------------------------------

TEST(GenesisEvTest, LabelBlockRecordsALabelField) {
    EvJob ev;
    ev.options.engraveLabel = true;
    ev.Run(Program("W#2006{ W$=~F~J~H10!Door #8020=100 #8021=50 }\n"));
    ASSERT_EQ(ev.job.labelFields.size(), 1u);
    const LabelField& f = ev.job.labelFields[0];
    EXPECT_EQ(f.x, 100);
    EXPECT_EQ(f.y, 50);
    EXPECT_EQ(f.columns[1], "Filename");
    EXPECT_EQ(f.columns[2], "Job");
    EXPECT_EQ(f.columns[3], "");
    EXPECT_EQ(f.height, 10);
    EXPECT_EQ(f.caption, "Door");
    EXPECT_EQ(f.tagText, "FJ");
}

TEST(GenesisEvTest, LabelBlockDepthWidthColumnsAndMirror) {
    EvJob ev;
    ev.options.engraveLabel = true;
    ev.job.mirrorJob = true;
    ev.Run(Program("W#2006{ W$=~z5~room~Cab~W4~nam~x y~j~file!~! #8020=100 #8021=50 #8022=3 }\n"));
    ASSERT_EQ(ev.job.labelFields.size(), 1u);
    const LabelField& f = ev.job.labelFields[0];
    EXPECT_EQ(f.x, 700);
    EXPECT_EQ(f.width, 4);
    EXPECT_EQ(f.columns[1], "Room");
    EXPECT_EQ(f.columns[2], "Cabinet");
    EXPECT_EQ(f.columns[3], "Filename");
    EXPECT_EQ(f.columns[4], "Job");
    EXPECT_EQ(f.tagText, "Z3ROOMCABNAMXJFILE") << "a fifth column word is not taken";
    EXPECT_EQ(f.caption, "-");
}

TEST(GenesisEvTest, LabelBlockNeedsTheOptionAndTheMainProgram) {
    EvJob ev;
    ev.Run(Program("W#2006{ W$=~F!Door #8020=1 #8021=1 }\n"));
    EXPECT_TRUE(ev.job.labelFields.empty());
    ev.options.engraveLabel = true;
    ev.job.calls.push_back(SubprogramCall{});
    ev.job.currentCall = 1;
    ev.Run("W#2006{ W$=~F!Door #8020=1 #8021=1 }\n");
    EXPECT_TRUE(ev.job.labelFields.empty());
}

// ---- Faults and fresh jobs -------------------------------------------------------------------

TEST(GenesisEvTest, UnknownMacroCodesAreCountedNotDrawn) {
    EvJob ev;
    ev.Run(Program("W#9999{ #1=1 }\nW#81{ #1=1 #2=1 }\n$ comment\nW#2{ }\n"));
    EXPECT_EQ(ev.Drawn(), "VBORE: (1,1)r2.5");
    EXPECT_EQ(ev.Diagnostics(),
              "3: unknown macro code W#9999{ ignored\n"
              "6: unknown macro code W#2{ ignored");
}

TEST(GenesisEvTest, EveryJobStartsFresh) {
    EvJob ev;
    ev.job.mirrorJob = false;
    // The first job leaves a side open, a last position with a depth, a false condition and
    // an open VAR section behind.
    ev.Run(
        "::UNm DL=800 DH=600 DS=18\nSIDE#1{\nW#89{ #1=1 #2=1 #3=-5 #205=3 }\n"
        "W#2001{ #8070=1 #8060=4 #8073=2 }\nVAR{\n");
    ev.Reset();
    ev.Run(
        "W#81{ #1=7 #2=7 }\nSIDE#1{\nW#81{ #8015=1 #1=5 }\n"
        "W#89{ #1=0 #2=0 #205=4 }\nW#2201{ #1=10 #2=0 }\n");
    EXPECT_EQ(ev.Drawn(),
              "VBORE: (12,7)r2.5; Retracer Notation: (0,0)r3; "
              "ROUTE_Z0T4: 0,0/0 10,0/0");
    EXPECT_EQ(ev.Diagnostics(), "");
}

TEST(GenesisEvTest, OutOfRangeVariablesAreReported) {
    EvJob ev;
    ev.Run("VAR{\n#301=5|too far\n#-1=5\n}VAR\nVARV{\n#19=4\n}VARV\n");
    EXPECT_EQ(ev.job.diagnostics.size(), 3u) << ev.Diagnostics();
    EXPECT_EQ(ev.state.vars.r[ProgramVariables::kAnyRSet], "");
}

}  // namespace
}  // namespace retracer
