// Genesis Ev machining blocks: holes and hole patterns, grooves, tool starts, straight and arc
// moves, and what degenerate arcs become.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "translator_job.h"

namespace retracer {
namespace {

using testing_ev::EvJob;
using testing_ev::Program;

struct BlockCase {
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
        ev.Run(Program(c.body));
        EXPECT_EQ(ev.Drawn(), c.drawn) << c.body;
        EXPECT_EQ(!ev.job.diagnostics.empty(), c.warns) << c.body << ev.Diagnostics();
    }
}

TEST(GenesisEvBlocksTest, Drilling) {
    RunCases({
        {"W#81{ #1=32 #2=50 #3=-13 #205=21 }\n", "VBORE_Z13T21: (32,50)r5"},
        {"W#81{ #1=32 #2=50 }\n", "VBORE: (768,50)r2.5", true},
        {"W#1010{ #1=100 #2=100 #8509=4 #8510=0 #8511=20 #8517=1 }\n",
         "VBORE: (120,100)r2.5; VBORE: (100,80)r2.5; VBORE: (80,100)r2.5; VBORE: (100,120)r2.5"},
        {"W#1902{ #8510=32 #8517=96 #8021=37 #8520=32 }\n",
         "VBORE: (32,37)r2.5; VBORE: (64,37)r2.5; VBORE: (96,37)r2.5"},
        {"W#1001{ #8510=96 #8517=32 #8021=37 #8520=32 }\n",
         "VBORE: (96,37)r2.5; VBORE: (64,37)r2.5; VBORE: (32,37)r2.5"},
        {"W#1903{ #8020=50 #8511=10 #8519=39.95 #8520=10 }\n",
         "VBORE: (50,10)r2.5; VBORE: (50,20)r2.5; VBORE: (50,30)r2.5; VBORE: (50,40)r2.5"},
        {"W#1903{ #8020=50 #8511=10 #8519=40 #8520=0 }\n", ""},
        {"W#1902{ #8510=100000000 #8517=200000000 #8021=0 #8520=1 }\n", "VBORE: (100000000,0)r2.5",
         false, true},
    });
}

TEST(GenesisEvBlocksTest, GroovesAndRoutes) {
    const char* route =
        "W#89{ #1=10 #2=10 #3=-12 #205=3 #2002=18000 #40=1 #36=0 }\n"
        "W#2201{ #1=100 #2=10 }\n";
    RunCases({
        {"W#1050{ #8510=10 #8511=100 #8517=790 #3=-8 #8516=12 }\n", "GROOVE_Z8T12: 790,100>10,100",
         true},
        {route, "Retracer Notation: (10,10)r3; ROUTE_Z12T3_L_S18: 10,10/0 100,10/0"},
        {route, "Retracer Notation: (790,10)r3; ROUTE_Z12T3_R_S18: 790,10/0 700,10/0", true},
        {"W#89{ #3=-5 #205=7 #2005=2000 #40=2 #36=3 }\nW#2201{ #1=0 #2=10 }\n",
         "Retracer Notation: (0,0)r3; ROUTE_Z5T7_R3_FD2000: 0,0/0 0,10/0"},
        {"W#89{ #205=1 }\nW#2201{ #1=5 #2=0 }\nW#81{ #1=1 #2=1 }\nW#2201{ #1=5 #2=5 }\n",
         "Retracer Notation: (0,0)r3; ROUTE_Z0T1: 0,0/0 5,0/0; VBORE: (1,1)r2.5; "
         "ROUTE_Z0T1: 5,0/0 5,5/0"},
    });
}

TEST(GenesisEvBlocksTest, Arcs) {
    RunCases({
        {"W#89{ #1=10 #2=10 #205=1 }\nW#2101{ #1=30 #2=10 }\n",
         "Retracer Notation: (10,10)r3; ROUTE_Z0T1: 10,10/-1 30,10/0"},
        {"W#89{ #1=10 #2=0 #205=1 }\nW#2101{ #1=0 #2=10 #31=a=0 #32=a=0 #34=1 }\n",
         "Retracer Notation: (10,0)r3; ROUTE_Z0T1: 10,0/0.4142 0,10/0"},
        {"W#89{ #205=1 }\nW#2104{ #8020=5 #8021=-5 #1=10 #2=0 }\n",
         "Retracer Notation: (0,0)r3; ROUTE_Z0T1: 0,0/1 10,0/0"},
        {"W#89{ #205=1 }\nW#2111{ #1=10 #2=0 #8017=6 #34=1 }\n",
         "Retracer Notation: (0,0)r3; ROUTE_Z0T1: 0,0/0.5367 10,0/0"},
        {"W#89{ #205=1 }\nW#2112{ #1=10 #2=0 #8017=6 #34=1 }\n",
         "Retracer Notation: (0,0)r3; ROUTE_Z0T1: 0,0/1.8633 10,0/0"},
        {"W#89{ #1=10 #2=0 #205=1 }\nW#2113{ #31=a=0 #32=a=0 #8044=270 }\n",
         "Retracer Notation: (10,0)r3; ROUTE_Z0T1: 10,0/-0.4142 0,-10/0"},
        // Arcs that cannot be made become straight moves, and say so.
        {"W#89{ #205=1 }\nW#2111{ #1=20 #2=0 #8017=5 #34=0 }\n",
         "Retracer Notation: (0,0)r3; ROUTE_Z0T1: 0,0/0 20,0/0", false, true},
        {"W#89{ #205=1 }\nW#2104{ #8020=5 #8021=0 #1=10 #2=0 }\n",
         "Retracer Notation: (0,0)r3; ROUTE_Z0T1: 0,0/0 10,0/0", false, true},
    });
}

TEST(GenesisEvBlocksTest, RoutesOffTheTopFaceDrawNothing) {
    EvJob ev;
    ev.Run(
        "::UNm DL=800 DH=600 DS=18\nSIDE#3{\nW#89{ #1=10 #2=10 #205=3 }\n"
        "W#2201{ #1=100 #2=10 }\nW#2111{ #1=20 #2=0 #8017=5 }\n}SIDE\n");
    EXPECT_EQ(ev.Drawn(), "Retracer Notation: (10,10)r3");
}

TEST(GenesisEvBlocksTest, InchProgramScalesMarksAndColoursEachKind) {
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
        Program("W#89{ #205=1 }\nW#2104{ #8020=0 #8021=0 #1=0 #2=0 }\n"
                "W#2104{ #8020=1e38 #8021=1 #1=2 #2=0 }\nW#2111{ #1=5 #2=5 #8017=1e39 }\n"
                "W#2111{ #1=0 #2=0 #8017=0 }\nW#2112{ #1=1 #2=1 #8017=0 }\n"
                "W#2113{ #31=0 #32=0 #8044=45 }\nW#2101{ #1=0 #2=0 #31=0 #32=0 }\n"
                "W#2104{ #8020=1 #8021=1e-30 #1=2 #2=0 }\n"));
    int vertices = 0;
    for (const Entity& e : ev.Entities())
        if (const auto* p = std::get_if<PolylineEntity>(&e.geometry))
            for (const PolylineVertex& v : p->vertices) {
                EXPECT_TRUE(std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z) &&
                            std::isfinite(v.bulge));
                ++vertices;
            }
    EXPECT_GE(vertices, 2);
    EXPECT_FALSE(ev.job.diagnostics.empty());
}

}  // namespace
}  // namespace retracer
