// Geometry no drawing can hold: negative hole diameters and numbers beyond a single-precision
// value, from programs of both dialects. Each is left out with a diagnostic naming its line, the
// rest of the program is drawn, and nothing reaches the writer that it has to refuse.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "drawing/finite_geometry.h"
#include "translator_job.h"

namespace retracer {
namespace {

using testing_ev::EvJob;
using testing_ev::Program;
using IsoJob = testing_ev::TranslatorJob<GenesisIsoTranslator>;

struct FiniteCase {
    const char* name;
    std::string program;
    std::string diagnostics;  // TranslatorJob::Diagnostics(): "line: message" per line
    std::size_t entities;     // entities drawn, the part outline's four lines included
    bool mirror = false;
};

template <typename Job>
void Check(Job& job, const FiniteCase& c) {
    job.job.mirrorJob = c.mirror;
    job.tools.Set(5, {0, 0, 8});
    job.tools.Set(7, {32, 0, -8});  // a spindle of negative size in the tool table
    job.Run(c.program);
    EXPECT_EQ(job.Diagnostics(), c.diagnostics) << c.name;
    EXPECT_EQ(job.Entities().size(), c.entities) << c.name << "\n" << job.Drawn(true);
    for (const Entity& e : job.Entities()) {
        EXPECT_TRUE(IsFiniteGeometry(e.geometry)) << c.name << " on " << e.layer;
        if (const auto* p = std::get_if<PolylineEntity>(&e.geometry)) {
            EXPECT_GE(p->vertices.size(), 2u) << c.name << ": a path of one vertex";
        }
    }
    EXPECT_EQ(job.writer.Refused(), 0u) << c.name << ": " << job.writer.Error();
    EXPECT_EQ(job.writer.Error(), "") << c.name;
}

const std::string kNegative =
    "Hole with a negative diameter (-12) is left out: a negative diameter is an error in the "
    "program";
const std::string kHoleNotFinite =
    "Hole with a size or position that is not a finite number is left out";
const std::string kMoveNotFinite =
    "Route move to a point that is not a finite number is left out; the path goes on from its "
    "last point";

TEST(FiniteGeometryTest, GenesisEvProgramsLeaveOutWhatCannotBeDrawn) {
    const FiniteCase cases[] = {
        {"single hole of negative diameter",
         Program("W#81{ #1=32 #2=50 #1002=-12 }\nW#81{ #1=64 #2=50 #1002=8 }\n"), "3: " + kNegative,
         5},
        {"a row of negative holes is one problem of its line",
         Program("W#1001{ #8510=96 #8517=32 #8021=37 #8520=32 #8513=-12 }\n"), "3: " + kNegative,
         4},
        {"circle of holes beyond a single",
         Program("W#1010{ #1=3e38 #2=10 #8509=2 #8510=0 #8511=3e38 #8513=5 }\n"),
         "3: " + kHoleNotFinite, 4},  // both holes, 5 degrees apart, lie beyond
        {"route move beyond a single",
         Program("W#89{ #1=10 #2=10 #205=1 }\nW#2201{ #1=100 #2=10 }\n"
                 "W#2203{ #8017=3e38 #8044=0 }\nW#2203{ #8017=3e38 #8044=0 }\n"
                 "W#2201{ #1=100 #2=50 }\n"),
         "6: " + kMoveNotFinite, 6},
        {"mirrored tool start beyond a single",
         "::UNm DL=3e38 DH=600 DS=18\nSIDE#1{\nW#89{ #1=-3e38 #2=10 #205=1 }\n"
         "W#2201{ #1=100 #2=10 }\nW#2201{ #1=100 #2=50 }\n}SIDE\n",
         "3: tool start at a point that is not a finite number; its mark is left out\n"
         "4: Route path starts at a point that is not a finite number; it starts at the end of "
         "this move instead",
         5, true},
    };
    for (const FiniteCase& c : cases) {
        EvJob ev;
        Check(ev, c);
    }

    // A label to be engraved beyond a single on the mirrored copy is not kept for engraving.
    EvJob label;
    label.options.engraveLabel = true;
    label.job.mirrorJob = true;
    label.Run(
        "::UNm DL=3e38 DH=600 DS=18\nSIDE#1{\n"
        "W#2006{ W$=~F!Door #8020=-3e38 #8021=50 }\nW#2006{ W$=~F!Door #8020=1 #8021=2 }\n"
        "}SIDE\n");
    EXPECT_EQ(label.Diagnostics(), "3: label position out of range; the label is left out");
    ASSERT_EQ(label.job.labelFields.size(), 1u);
    EXPECT_EQ(label.job.labelFields[0].y, 2);
}

TEST(FiniteGeometryTest, GenesisProgramsLeaveOutWhatCannotBeDrawn) {
    const std::string head = "G71 X600 Y400 Z18\nG55 G55/\n";
    const FiniteCase cases[] = {
        {"hole of negative diameter", head + "G81 X10 Y10 Z-5 R54=-12 P5\nG81 X20 Y10 Z-5 P5\n",
         "3: " + kNegative, 5},
        {"further spindle of negative size", head + "G81 X10 Y10 Z-5 P5 T010507\n",
         "3: Hole with a negative diameter (-8) is left out: a negative diameter is an error in "
         "the program",
         5},
        {"edge hole whose outline reaches beyond a single",
         head + "G81 X3e38 Y10 Z5 R54=1e38 P2\nG81 X10 Y10 Z5 R54=8 P2\n", "3: " + kHoleNotFinite,
         7},  // the second hole's three lines are drawn
        {"route move beyond a single", head + "G88 X0 Y0 Z5 T0103 P5\nG1 X1e39 Y0\nG1 X10 Y0\n",
         "4: " + kMoveNotFinite, 5},
        {"arc about a centre beyond a single",
         head + "G88 X0 Y0 Z5 T0103 P5\nG2 X10 Y0 I1e39 J0\nG1 X10 Y5\n",
         "4: Route arc with a centre or radius that is not a finite number is left out; the path "
         "goes on from its last point",
         5},
        {"full circle whose middle lies beyond a single",
         head + "G88 X-3e38 Y0 Z5 T0103 P5\nG2 X-3e38 Y0 I3.3e38 J0\n",
         "4: Route arc with a centre or radius that is not a finite number is left out; the path "
         "goes on from its last point",
         4},
    };
    for (const FiniteCase& c : cases) {
        IsoJob iso;
        Check(iso, c);
    }
}

// What is left out does not shift what follows: the good hole and path of a line after a bad one
// come out exactly as without it.
TEST(FiniteGeometryTest, GoodGeometryAroundTheBadIsUnchanged) {
    EvJob with;
    with.Run(
        Program("W#81{ #1=32 #2=50 #1002=-12 }\nW#89{ #1=10 #2=10 #205=1 }\n"
                "W#2203{ #8017=3e38 #8044=0 }\nW#2203{ #8017=3e38 #8044=0 }\n"
                "W#2201{ #1=100 #2=50 }\n"));
    EvJob without;
    without.Run(
        Program("W#89{ #1=10 #2=10 #205=1 }\nW#2203{ #8017=3e38 #8044=0 }\n"
                "W#2201{ #1=100 #2=50 }\n"));
    EXPECT_EQ(with.Drawn(true), without.Drawn(true));
    EXPECT_EQ(with.job.diagnostics.size(), 2u) << with.Diagnostics();
    EXPECT_TRUE(without.job.diagnostics.empty()) << without.Diagnostics();
}

}  // namespace
}  // namespace retracer
