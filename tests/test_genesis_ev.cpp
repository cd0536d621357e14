// Genesis Ev line handling: header and outline, variable sections, conditions, the parameter
// reader, subprogram calls, label fields and the faults of the input.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "translator_job.h"

namespace retracer {
namespace {

using testing_ev::EvJob;
using testing_ev::Program;

TEST(GenesisEvTest, HeaderDrawsTheOutlineInItsUnitsAndOffsGivesTheProgramOffsets) {
    EvJob mm;
    mm.Run("::UNm DL=800 DH=600 DS=18\nOFFS{\n#0=12.5|x\n#1=-3|y\n#2|2.123456\n}OFFS\n");
    EXPECT_EQ(mm.Drawn(true),
              "BORDER_Z18: 0,0>0,600; BORDER_Z18: 0,600>800,600; BORDER_Z18: 800,600>800,0; "
              "BORDER_Z18: 800,0>0,0");
    EXPECT_EQ(mm.job.unitDivisor, 1.0);
    EXPECT_EQ(mm.job.programOffsetX, "12.5");
    EXPECT_EQ(mm.job.programOffsetY, "-3");
    EXPECT_EQ(mm.job.programOffsetZ, "2.1235");

    EvJob inch;
    inch.Run("::UNi DL=31.5 DH=20 DS=0.75\n");
    EXPECT_EQ(inch.Drawn(true).substr(0, 44), "BORDER_Z0P75: 0,0>0,20; BORDER_Z0P75: 0,20>3");
    EXPECT_EQ(inch.job.unitDivisor, 25.4);

    // A subprogram's header draws no second outline and keeps the part's size, but sets units.
    mm.job.calls.push_back(SubprogramCall{});
    mm.job.currentCall = 1;
    mm.Run("::UNi DL=100 DH=100 DS=5\n", "SUB.PGM");
    EXPECT_EQ(mm.Entities().size(), 4u) << "only the main program's outline";
    EXPECT_EQ(mm.state.vars.Letter(ProgramVariables::kLength), 800);
    EXPECT_EQ(mm.job.unitDivisor, 25.4);
}

TEST(GenesisEvTest, VarSectionDefinesRVariablesUsedInBlocks) {
    EvJob ev;
    ev.Run(
        "::UNm DL=800 DH=600 DS=18\nVAR{\n#5=L/2|half length\n#1=7|a\n#12=40|b\n}VAR\n"
        "SIDE#1{\nW#81{ #1=r5 #2=50 #3=-10 }\nW#81{ #1=r12 #2=r1 #3=-10 }\n}SIDE\n");
    EXPECT_EQ(ev.state.vars.r[5], "L/2");
    EXPECT_EQ(ev.Drawn(), "VBORE_Z10: (400,50)r2.5; VBORE_Z10: (40,7)r2.5");

    EvJob preset;  // values set before the scan win
    preset.state.vars.r[5] = "100";
    preset.Run(Program("VAR{\n#5=L/2|half\n}VAR\nW#81{ #1=r5 #2=r6 }\n"));
    EXPECT_EQ(preset.Drawn(), "VBORE: (100,0)r2.5") << "unset r6 stays as written and reads 0";
}

TEST(GenesisEvTest, VarvSectionAndSizesUnlessTheJobGivesThem) {
    EvJob ev;
    ev.Run(
        Program("VARV{\n#0=5|a\n#3=L/4|d\n#7=9|skips h\n}VARV\nW#81{ #1=v3 #2=v0*10 #3=-v7 }\n"));
    EXPECT_EQ(ev.Drawn(), "VBORE_Z9: (200,50)r2.5");

    // A job from the worklist brings its own letters and size, still drawn as the outline.
    EvJob fromList;
    fromList.job.dimsFromJob = true;
    fromList.state.vars.letters[1] = 3;
    fromList.header.partLength = 500;
    fromList.header.partWidth = 300;
    fromList.header.partThickness = 19;
    fromList.Run(Program("VARV{\n#0=5|a\n}VARV\n"));
    EXPECT_EQ(fromList.state.vars.Letter(1), 3);
    EXPECT_EQ(fromList.state.vars.Letter(ProgramVariables::kLength), 500);
    EXPECT_EQ(fromList.Drawn(true).substr(0, 25), "BORDER_Z19: 0,0>0,300; BO");
}

TEST(GenesisEvTest, ConditionsSelectBlocksWithElseAndEnd) {
    struct Case {
        const char* condition;  // parameters of W#2001
        bool holds;
    };
    const std::vector<Case> cases = {
        {"#8070=5 #8060=0 #8073=10", true},
        {"#8070=L #8060=4 #8073=800", true},
        {"#8070=5 #8060=5 #8073=5", false},
        {"#8070=1 #8060=4 #8073=1 #8065=1 #8071=1 #8061=4 #8074=2", true},
        {"", false}};
    for (const Case& c : cases) {
        EvJob ev;
        ev.Run(Program(std::string("W#2001{ ") + c.condition +
                       " }\nW#81{ #1=1 #2=1 }\nW#2005{ }\nW#81{ #1=2 #2=2 }\nW#2002{ }\n"
                       "W#81{ #1=3 #2=3 }\n"));
        EXPECT_EQ(ev.Drawn(), c.holds ? "VBORE: (1,1)r2.5; VBORE: (3,3)r2.5"
                                      : "VBORE: (2,2)r2.5; VBORE: (3,3)r2.5")
            << c.condition;
        EXPECT_EQ(ev.Diagnostics(), "") << c.condition;
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

TEST(GenesisEvTest, ConditionFaultsAreObeyedAndReported) {
    std::string body;
    for (int i = 0; i < 12; ++i) body += "W#2001{ #8070=1 #8060=4 #8073=1 }\n";
    body += "W#2001{ #8070=1 #8060=4 #8073=2 }\nW#81{ #1=1 #2=1 }\nW#2005{ }\nW#81{ #1=2 #2=2 }\n";
    for (int i = 0; i < 13; ++i) body += "W#2002{ }\n";
    EvJob ev;
    ev.Run(Program(body + "W#81{ #1=3 #2=3 }\n"));
    EXPECT_EQ(ev.Drawn(), "VBORE: (2,2)r2.5; VBORE: (3,3)r2.5");
    EXPECT_EQ(ev.translator->OpenConditions(), 0);
    EXPECT_NE(ev.Diagnostics().find("more than 10 conditions"), std::string::npos);

    EvJob unmatched;
    unmatched.Run(Program("W#2005{ }\nW#81{ #1=1 #2=1 }\nW#2002{ }\nW#81{ #1=2 #2=2 }\n"));
    EXPECT_EQ(unmatched.Drawn(), "VBORE: (2,2)r2.5") << "a top-level else inverts the program";
    EXPECT_EQ(unmatched.job.diagnostics.size(), 2u) << "else and end are both reported";
}

TEST(GenesisEvTest, ParameterReaderRoundsAndMapsFields) {
    EvJob ev;
    ev.Run(Program("W#2201{ #1=1 #2=2 #3=-3 #31=4 #32=a=5 #34=2.5 #8516=22 #8528=1 #8076=99 }\n"));
    const BlockParams& p = ev.translator->LastBlock();
    EXPECT_EQ(p.depth, 3);
    EXPECT_EQ(p.centreY, 5);
    EXPECT_TRUE(p.cyAbsolute);
    EXPECT_EQ(p.direction, 2) << "halves go to the even neighbour";
    EXPECT_EQ(p.diameter, 22) << "#8516 is a diameter outside grooves";
    EXPECT_EQ(ev.Diagnostics(), "");

    EvJob clamp;
    clamp.Run(Program("W#81{ #1=1 #2=1 #3=-12 #8514=5 #205=40000 }\n"));
    EXPECT_EQ(clamp.translator->LastBlock().tool, 32767);
    EXPECT_EQ(clamp.translator->LastBlock().depth, 5) << "#8514 overrides the depth";
    EXPECT_EQ(clamp.state.moveZ, 12) << "but not the move's";
    EXPECT_NE(clamp.Diagnostics().find("#205"), std::string::npos);
}

TEST(GenesisEvTest, IncrementalBlocksAddTheLastGivenPosition) {
    EvJob ev;
    ev.Run(
        Program("W#81{ #1=100 #2=20 #3=-5 }\nW#81{ #8015=1 #1=10 #2=5 }\nW#81{ #8015=1 #1=10 }\n"));
    EXPECT_EQ(ev.Drawn(), "VBORE_Z5: (100,20)r2.5; VBORE_Z5: (110,25)r2.5; VBORE_Z5: (120,25)r2.5");

    EvJob inactive;  // holes in a false condition still update the last given position
    inactive.Run(
        Program("W#2001{ #8070=1 #8060=4 #8073=2 }\nW#81{ #1=100 #2=100 }\n"
                "W#1903{ #1=500 #2=500 }\nW#2002{ }\nW#81{ #8015=1 #1=5 #2=5 }\n"));
    EXPECT_EQ(inactive.Drawn(), "VBORE: (105,105)r2.5") << "W#1903 is not read while inactive";
}

TEST(GenesisEvTest, SubprogramCallsAreRecordedWithTheirParent) {
    EvJob ev;
    ev.Run(Program("W#2010{ #8098=SUB1.PGM #8020=100 #8021=L/16 #8022=2 #8500=L/2 #8799=7 }\n"));
    ASSERT_EQ(ev.job.calls.size(), 1u);
    const SubprogramCall& call = ev.job.calls[0];
    EXPECT_EQ(call.fileName, "SUB1.PGM");
    EXPECT_EQ(call.offsetY, 50);
    EXPECT_EQ(call.parameters[0], "400");
    EXPECT_EQ(call.parameters[299], "7");

    // While call 1 is scanned its offsets move blocks, and a call met belongs to it; an
    // inactive call is not recorded.
    ev.job.currentCall = 1;
    ev.Run(Program("W#81{ #1=10 #2=20 #3=-10 }\nW#2010{ #8098=SUB2.PGM }\n"
                   "W#2001{ #8070=0 #8060=4 #8073=1 }\nW#2010{ #8098=NOT.PGM }\nW#2002{ }\n"),
           "SUB1.PGM");
    EXPECT_EQ(ev.Drawn(), "VBORE_Z12: (110,70)r2.5");
    ASSERT_EQ(ev.job.calls.size(), 2u);
    EXPECT_EQ(ev.job.calls[1].parentCall, 1);
}

TEST(GenesisEvTest, SubprogramCallsBeyondTheBoundAreReportedOnce) {
    EvJob ev;
    std::string body;
    for (int i = 0; i < kMaxSubprogramCalls + 5; ++i) body += "W#2010{ #8098=S.PGM }\n";
    ev.Run(Program(body));
    EXPECT_EQ(ev.job.calls.size(), static_cast<std::size_t>(kMaxSubprogramCalls + 1));
    EXPECT_EQ(ev.job.diagnostics.size(), 1u);
}

TEST(GenesisEvTest, LabelBlockRecordsALabelField) {
    EvJob ev;
    ev.options.engraveLabel = true;
    ev.Run(Program("W#2006{ W$=~F~J~H10!Door #8020=100 #8021=50 }\n"));
    ASSERT_EQ(ev.job.labelFields.size(), 1u);
    const LabelField& f = ev.job.labelFields[0];
    EXPECT_EQ(f.x, 100);
    EXPECT_EQ(f.columns[2], "Job");
    EXPECT_EQ(f.caption, "Door");
    EXPECT_EQ(f.tagText, "FJ");

    EvJob mirrored;
    mirrored.options.engraveLabel = true;
    mirrored.job.mirrorJob = true;
    mirrored.Run(Program("W#2006{ W$=~z5~room~Cab~W4~nam~x y~j~file!~! #8020=100 #8022=3 }\n"));
    ASSERT_EQ(mirrored.job.labelFields.size(), 1u);
    EXPECT_EQ(mirrored.job.labelFields[0].x, 700);
    EXPECT_EQ(mirrored.job.labelFields[0].columns[4], "Job");
    EXPECT_EQ(mirrored.job.labelFields[0].tagText, "Z3ROOMCABNAMXJFILE");

    EvJob off;  // neither without the option nor in a subprogram
    off.Run(Program("W#2006{ W$=~F!Door #8020=1 #8021=1 }\n"));
    off.options.engraveLabel = true;
    off.job.calls.push_back(SubprogramCall{});
    off.job.currentCall = 1;
    off.Run("W#2006{ W$=~F!Door #8020=1 #8021=1 }\n");
    EXPECT_TRUE(off.job.labelFields.empty());
}

TEST(GenesisEvTest, UnknownCodesAndBadVariablesAreDiagnosed) {
    EvJob ev;
    ev.Run(Program("W#9999{ #1=1 }\nW#81{ #1=1 #2=1 }\n$ comment\nW#2{ }\n"));
    EXPECT_EQ(ev.Drawn(), "VBORE: (1,1)r2.5");
    EXPECT_EQ(ev.Diagnostics(),
              "3: unknown macro code W#9999{ ignored\n6: unknown macro code W#2{ ignored");

    EvJob vars;
    // Numbers beyond every int are diagnosed like any other (found by fuzzing: they were
    // converted before the check).
    vars.Run(
        "VAR{\n#301=5|too far\n#-1=5\n}VAR\n"
        "VARV{\n#19=4\n#1e90=1\n#-1e90=1\n#2.5=1\n}VARV\n");
    EXPECT_EQ(vars.job.diagnostics.size(), 6u) << vars.Diagnostics();
}

}  // namespace
}  // namespace retracer
