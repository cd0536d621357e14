// Genesis Ev machining blocks: holes and hole patterns, grooves, tool starts, straight and arc
// moves, and what degenerate arcs become.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "genesis_ev_test_support.h"

namespace retracer {
namespace {

using testing_ev::EvJob;
using testing_ev::Program;

struct BlockCase {
    const char* name;
    const char* body;   // lines between SIDE#1{ and }SIDE
    const char* drawn;  // EvJob::Drawn()
    bool mirror = false;
    bool warns = false;
};

void RunCases(const std::vector<BlockCase>& cases) {
    for (const BlockCase& c : cases) {
        EvJob ev;
        ev.job.mirrorJob = c.mirror;
        ev.tools.Set(21, {0, 0, 10});
        ev.tools.Set(5, {0, 0, 8});
        ev.Run(Program(c.body));
        EXPECT_EQ(ev.Drawn(), c.drawn) << c.name;
        EXPECT_EQ(!ev.job.diagnostics.empty(), c.warns) << c.name << ": " << ev.Diagnostics();
        EXPECT_EQ(ev.job.errText, "") << c.name;
    }
}

TEST(GenesisEvBlocksTest, Drilling) {
    RunCases({
        {"single hole with a tool of the table", "W#81{ #1=32 #2=50 #3=-13 #205=21 }\n",
         "VBORE_Z13T21: (32,50)r5"},
        {"single hole with its own diameter and feed", "W#81{ #1=1 #2=2 #1002=8 #2005=3 }\n",
         "VBORE_F3: (1,2)r4"},
        {"mirrored hole", "W#81{ #1=32 #2=50 }\n", "VBORE: (768,50)r2.5", true},
        {"polar hole", "W#83{ #31=100 #32=100 #8017=20 #8044=90 }\n", "VBORE: (100,120)r2.5"},
        {"four holes on a circle, clockwise",
         "W#1010{ #1=100 #2=100 #8509=4 #8510=0 #8511=20 #8517=1 }\n",
         "VBORE: (120,100)r2.5; VBORE: (100,80)r2.5; VBORE: (80,100)r2.5; VBORE: (100,120)r2.5"},
        {"circle with a given step, which is also the diameter, and a tool",
         "W#1010{ #1=100 #2=100 #8509=3 #8510=90 #8511=10 #8513=45 #8527=5 }\n",
         "VBORET5: (100,110)r4; VBORET5: (107.0711,107.0711)r4; VBORET5: (110,100)r4"},
        {"circle of no holes", "W#1010{ #1=100 #2=100 #8509=0 #8511=20 #8517=1 }\n", ""},
        {"row along X", "W#1902{ #8510=32 #8517=288 #8021=37 #8520=32 }\n",
         "VBORE: (32,37)r2.5; VBORE: (64,37)r2.5; VBORE: (96,37)r2.5; VBORE: (128,37)r2.5; "
         "VBORE: (160,37)r2.5; VBORE: (192,37)r2.5; VBORE: (224,37)r2.5; VBORE: (256,37)r2.5; "
         "VBORE: (288,37)r2.5"},
        {"row along X from right to left", "W#1001{ #8510=288 #8517=32 #8021=37 #8520=32 }\n",
         "VBORE: (288,37)r2.5; VBORE: (256,37)r2.5; VBORE: (224,37)r2.5; VBORE: (192,37)r2.5; "
         "VBORE: (160,37)r2.5; VBORE: (128,37)r2.5; VBORE: (96,37)r2.5; VBORE: (64,37)r2.5; "
         "VBORE: (32,37)r2.5"},
        {"row whose end is just missed", "W#1902{ #8510=0 #8517=63.9 #8021=0 #8520=32 }\n",
         "VBORE: (0,0)r2.5; VBORE: (32,0)r2.5"},
        {"row along X with pitch 0", "W#1902{ #8510=32 #8517=288 #8021=37 #8520=0 }\n", ""},
        {"row along Y within 0.1", "W#1903{ #8020=50 #8511=10 #8519=39.95 #8520=10 }\n",
         "VBORE: (50,10)r2.5; VBORE: (50,20)r2.5; VBORE: (50,30)r2.5; VBORE: (50,40)r2.5"},
        {"row along Y downwards", "W#1903{ #8020=50 #8511=30 #8519=10 #8520=10 }\n",
         "VBORE: (50,30)r2.5; VBORE: (50,20)r2.5; VBORE: (50,10)r2.5"},
        {"row along Y with pitch 0", "W#1903{ #8020=50 #8511=10 #8519=40 #8520=0 }\n", ""},
        {"row between two points", "W#1904{ #8510=0 #8511=0 #8517=30 #8519=40 #8520=25 }\n",
         "VBORE: (0,0)r2.5; VBORE: (15,20)r2.5; VBORE: (30,40)r2.5"},
        {"row between two points given right to left",
         "W#1904{ #8510=30 #8511=40 #8517=0 #8519=0 #8520=25 }\n",
         "VBORE: (0,0)r2.5; VBORE: (15,20)r2.5; VBORE: (30,40)r2.5"},
        {"row by angle and length",
         "W#1904{ #8528=1 #8510=10 #8511=10 #8044=90 #8527=20 #8520=10 }\n",
         "VBORE: (10,10)r2.5; VBORE: (10,20)r2.5; VBORE: (10,30)r2.5"},
        {"row with a pitch too small to advance",
         "W#1902{ #8510=100000000 #8517=200000000 #8021=0 #8520=1 }\n", "VBORE: (100000000,0)r2.5",
         false, true},
    });
}

TEST(GenesisEvBlocksTest, GroovesAndToolStarts) {
    RunCases({
        {"groove along X", "W#1050{ #8510=10 #8511=100 #8517=790 #3=-8 #8516=12 }\n",
         "GROOVE_Z8T12: 10,100>790,100"},
        {"groove along X, mirrored", "W#1050{ #8510=10 #8511=100 #8517=790 #3=-8 #8516=12 }\n",
         "GROOVE_Z8T12: 790,100>10,100", true},
        {"groove along Y with a decimal depth",
         "W#1051{ #8510=50 #8511=10 #8517=590 #3=-6.5 #205=4 }\n", "GROOVE_Z6.5T4: 50,10>50,590"},
        {"tool start and a straight move",
         "W#89{ #1=10 #2=10 #3=-12 #205=3 #2002=18000 #40=1 #36=0 }\nW#2201{ #1=100 #2=10 }\n",
         "Retracer Notation: (10,10)r3; ROUTE_Z12T3_L_S18: 10,10/0 100,10/0"},
        {"the same mirrored",
         "W#89{ #1=10 #2=10 #3=-12 #205=3 #2002=18000 #40=1 #36=0 }\nW#2201{ #1=100 #2=10 }\n",
         "Retracer Notation: (790,10)r3; ROUTE_Z12T3_R_S18: 790,10/0 700,10/0", true},
        {"right compensation with a number and the feed",
         "W#89{ #1=0 #2=0 #3=-5 #205=7 #2005=2000 #40=2 #36=3 }\nW#2201{ #1=0 #2=10 }\n",
         "Retracer Notation: (0,0)r3; ROUTE_Z5T7_R3_FD2000: 0,0/0 0,10/0"},
        {"an unknown compensation keeps the waiting tag",
         "W#89{ #205=1 #40=1 #36=3 }\nW#89{ #205=2 #40=3 }\nW#2201{ #1=5 #2=0 }\n",
         "Retracer Notation: (0,0)r3; Retracer Notation: (0,0)r3; ROUTE_Z0T2_L3: 0,0/0 5,0/0"},
        {"compensation 0 clears the waiting tag",
         "W#89{ #205=1 #40=1 }\nW#89{ #205=2 #40=0 }\nW#2201{ #1=5 #2=0 }\n",
         "Retracer Notation: (0,0)r3; Retracer Notation: (0,0)r3; ROUTE_Z0T2: 0,0/0 5,0/0"},
        {"a hole ends the path",
         "W#89{ #205=1 }\nW#2201{ #1=5 #2=0 }\nW#81{ #1=1 #2=1 }\nW#2201{ #1=5 #2=5 }\n",
         "Retracer Notation: (0,0)r3; ROUTE_Z0T1: 0,0/0 5,0/0; VBORE: (1,1)r2.5; "
         "ROUTE_Z0T1: 5,0/0 5,5/0"},
        {"move by length and angle", "W#89{ #1=10 #2=10 #205=1 }\nW#2203{ #8017=20 #8044=90 }\n",
         "Retracer Notation: (10,10)r3; ROUTE_Z0T1: 10,10/0 10,30/0"},
    });
}

TEST(GenesisEvBlocksTest, Arcs) {
    RunCases({
        {"half circle by its end alone", "W#89{ #1=10 #2=10 #205=1 }\nW#2101{ #1=30 #2=10 }\n",
         "Retracer Notation: (10,10)r3; ROUTE_Z0T1: 10,10/-1 30,10/0"},
        {"half circle counter-clockwise",
         "W#89{ #1=10 #2=10 #205=1 }\nW#2101{ #1=30 #2=10 #34=1 }\n",
         "Retracer Notation: (10,10)r3; ROUTE_Z0T1: 10,10/1 30,10/0"},
        {"quarter arc by an absolute centre",
         "W#89{ #1=10 #2=0 #205=1 }\nW#2101{ #1=0 #2=10 #31=a=0 #32=a=0 #34=1 }\n",
         "Retracer Notation: (10,0)r3; ROUTE_Z0T1: 10,0/0.4142 0,10/0"},
        {"three points over the top",
         "W#89{ #1=0 #2=0 #205=1 }\nW#2104{ #8020=5 #8021=5 #1=10 #2=0 }\n",
         "Retracer Notation: (0,0)r3; ROUTE_Z0T1: 0,0/-1 10,0/0"},
        {"three points under the bottom",
         "W#89{ #1=0 #2=0 #205=1 }\nW#2104{ #8020=5 #8021=-5 #1=10 #2=0 }\n",
         "Retracer Notation: (0,0)r3; ROUTE_Z0T1: 0,0/1 10,0/0"},
        {"radius equal to half the chord",
         "W#89{ #1=0 #2=0 #205=1 }\nW#2111{ #1=10 #2=0 #8017=5 #34=0 }\n",
         "Retracer Notation: (0,0)r3; ROUTE_Z0T1: 0,0/-1 10,0/0"},
        {"short arc by radius, counter-clockwise",
         "W#89{ #1=0 #2=0 #205=1 }\nW#2111{ #1=10 #2=0 #8017=6 #34=1 }\n",
         "Retracer Notation: (0,0)r3; ROUTE_Z0T1: 0,0/0.5367 10,0/0"},
        {"long arc by radius, counter-clockwise",
         "W#89{ #1=0 #2=0 #205=1 }\nW#2112{ #1=10 #2=0 #8017=6 #34=1 }\n",
         "Retracer Notation: (0,0)r3; ROUTE_Z0T1: 0,0/1.8633 10,0/0"},
        {"arc to an end angle about a relative centre",
         "W#89{ #1=10 #2=0 #205=1 }\nW#2113{ #31=-10 #32=0 #8044=90 #34=1 }\n",
         "Retracer Notation: (10,0)r3; ROUTE_Z0T1: 10,0/0.4142 0,10/0"},
        {"arc to an end angle about an absolute centre, clockwise",
         "W#89{ #1=10 #2=0 #205=1 }\nW#2113{ #31=a=0 #32=a=0 #8044=270 }\n",
         "Retracer Notation: (10,0)r3; ROUTE_Z0T1: 10,0/-0.4142 0,-10/0"},
        {"radius too short becomes a straight move",
         "W#89{ #1=0 #2=0 #205=1 }\nW#2111{ #1=20 #2=0 #8017=5 #34=0 }\n",
         "Retracer Notation: (0,0)r3; ROUTE_Z0T1: 0,0/0 20,0/0", false, true},
        {"long arc with too short a radius too",
         "W#89{ #1=0 #2=0 #205=1 }\nW#2112{ #1=20 #2=0 #8017=5 #34=1 }\n",
         "Retracer Notation: (0,0)r3; ROUTE_Z0T1: 0,0/0 20,0/0", false, true},
        {"three points on a line become a straight move",
         "W#89{ #1=0 #2=0 #205=1 }\nW#2104{ #8020=5 #8021=0 #1=10 #2=0 }\n",
         "Retracer Notation: (0,0)r3; ROUTE_Z0T1: 0,0/0 10,0/0", false, true},
        {"three points with the end on the start",
         "W#89{ #1=0 #2=0 #205=1 }\nW#2104{ #8020=5 #8021=5 #1=0 #2=0 }\n",
         "Retracer Notation: (0,0)r3; ROUTE_Z0T1: 0,0/0 0,0/0", false, true},
    });
}

TEST(GenesisEvBlocksTest, RoutesOffTheTopFaceDrawNothing) {
    EvJob ev;
    ev.Run(
        "::UNm DL=800 DH=600 DS=18\nSIDE#3{\nW#89{ #1=10 #2=10 #205=3 }\n"
        "W#2201{ #1=100 #2=10 }\nW#2111{ #1=20 #2=0 #8017=5 }\n}SIDE\n");
    EXPECT_EQ(ev.Drawn(), "Retracer Notation: (10,10)r3");
}

TEST(GenesisEvBlocksTest, StartMarkOfAnInchProgramAndItsColours) {
    EvJob ev;
    ev.Run(
        "::UNi DL=31.5 DH=20 DS=0.75\nSIDE#1{\nW#89{ #1=1 #2=1 #205=3 }\n"
        "W#2201{ #1=2 #2=1 }\nW#1050{ #8510=1 #8511=2 #8517=3 #3=-0.25 #8516=1 }\n"
        "W#81{ #1=1 #2=1 }\n}SIDE\n");
    EXPECT_EQ(ev.Drawn(),
              "Retracer Notation: (1,1)r0.1181; ROUTE_Z0T3: 1,1/0 2,1/0; "
              "GROOVE_Z0.25T1: 1,2>3,2; VBORE: (1,1)r0.0984");
    const std::vector<int> colours = {1, 1, 1, 1, 6, 3, 3, 4};
    ASSERT_EQ(ev.Entities().size(), colours.size());
    for (std::size_t i = 0; i < colours.size(); ++i)
        EXPECT_EQ(ev.Entities()[i].colour, colours[i]) << ev.Entities()[i].layer;
}

// Whatever the arcs are given, nothing but finite numbers reaches the drawing.
TEST(GenesisEvBlocksTest, DegenerateArcsLeaveNoNonFiniteNumbers) {
    EvJob ev;
    ev.Run(
        Program("W#89{ #1=0 #2=0 #205=1 }\n"
                "W#2104{ #8020=0 #8021=0 #1=0 #2=0 }\nW#2104{ #8020=1e38 #8021=1 #1=2 #2=0 "
                "}\nW#2111{ #1=5 #2=5 #8017=1e39 }\n"
                "W#2111{ #1=0 #2=0 #8017=0 }\nW#2112{ #1=1 #2=1 #8017=0 }\n"
                "W#2113{ #31=0 #32=0 #8044=45 }\nW#2101{ #1=0 #2=0 #31=0 #32=0 }\n"
                "W#2104{ #8020=1 #8021=1e-30 #1=2 #2=0 }\n"));
    int vertices = 0;
    for (const Entity& e : ev.Entities()) {
        if (const auto* p = std::get_if<PolylineEntity>(&e.geometry)) {
            for (const PolylineVertex& v : p->vertices) {
                EXPECT_TRUE(std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z) &&
                            std::isfinite(v.bulge));
                ++vertices;
            }
        }
    }
    EXPECT_GE(vertices, 2);
    EXPECT_FALSE(ev.job.diagnostics.empty());
}

}  // namespace
}  // namespace retracer
