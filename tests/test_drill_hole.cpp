// Drilled holes: face circles, edge outlines, plane codes, mirrored jobs and multi-spindle units.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <variant>
#include <vector>

#include "base/value_text.h"
#include "translate/drill_hole.h"

namespace retracer {
namespace {

struct HoleCase {
    const char* name;
    HoleRequest hole;
    float diameter;     // handed back by DrillHole
    const char* drawn;  // entities by layer: "(x,y)rR" circles, "x1,y1>x2,y2" lines
    bool mirror = false;
    bool toolNumberToDiameter = false;
    double divisor = 1;
};

HoleRequest Hole(float x, float y, float depth, int plane, std::string_view tool, float dia = 8) {
    return {.x = x, .y = y, .depth = depth, .diameter = dia, .planeCode = plane, .tool = tool};
}

// A part 800 long and 600 wide. Tool 5 is the reference spindle of the units below, tool 7 sits
// 32 along X and 16 along Y from it, tool 12 has no size in the table.
class DrillHoleTest : public ::testing::Test {
  protected:
    void SetUp() override {
        state_.vars.letters[ProgramVariables::kWidth] = 600;
        state_.vars.letters[ProgramVariables::kLength] = 800;
        tools_.Set(5, {0, 0, 8});
        tools_.Set(7, {32, 16, 5});
        tools_.Set(21, {0, 0, 10});
    }
    // Every case draws into a drawing of its own, never closed, so no file is written.
    void Run(const std::vector<HoleCase>& cases) {
        for (const HoleCase& c : cases) {
            DrawingWriter writer{DrawingWriter::Keep::kEntities};
            writer.OpenDrawing(std::filesystem::temp_directory_path() / "retracer-holes.dxf");
            writer.StartDrawing();
            options_.toolNumberToDiameter = c.toolNumberToDiameter;
            const HoleOutput out{writer, state_,   options_, tools_,
                                 roots_, c.mirror, 800,      c.divisor};
            EXPECT_NEAR(DrillHole(out, c.hole), c.diameter, 1e-6) << c.name;
            EXPECT_EQ(writer.Error(), "") << c.name;
            EXPECT_EQ(Summary(writer.Content()), c.drawn) << c.name;
        }
    }

    static std::string Summary(const Drawing& drawing) {
        auto n = [](double v) { return FormatPattern(v, "###0.####"); };
        std::string out;
        std::string layer;
        for (const Entity& e : drawing.entities) {
            EXPECT_EQ(e.colour, kHoleColour);
            out += e.layer == layer ? " " : (out.empty() ? "" : "; ") + e.layer + ": ";
            layer = e.layer;
            if (const auto* c = std::get_if<CircleEntity>(&e.geometry)) {
                out += "(" + n(c->centre.x) + "," + n(c->centre.y) + ")r" + n(c->radius);
            } else if (const auto* l = std::get_if<LineEntity>(&e.geometry)) {
                out += n(l->start.x) + "," + n(l->start.y) + ">" + n(l->end.x) + "," + n(l->end.y);
            } else {
                out += "?";
            }
        }
        return out;
    }

    TranslationState state_;
    TranslationOptions options_;
    ToolTable tools_;
    LayerRoots roots_;
};

TEST_F(DrillHoleTest, FaceHoles) {
    HoleRequest edgeAndFeed = Hole(1, 2, 12, 5, "21", 0);
    edgeAndFeed.edgeFlag = 1;
    edgeAndFeed.feed = 3000;
    Run({
        {"one character: no lookup", Hole(100, 50, 12, 5, "5"), 8, "VBORE_Z12: (100,50)r4"},
        {"no tool, no size: 5 mm", Hole(100, 50, 12, 5, "", 0), 5, "VBORE_Z12: (100,50)r2.5"},
        {"no size on an inch job", Hole(100, 50, 12, 5, "", 0), 5 / 25.4f,
         "VBORE_Z12: (100,50)r0.0984", false, false, 25.4},
        {"size from the table", Hole(100, 50, 12, 5, "21", 3), 10, "VBORE_Z12T21: (100,50)r5"},
        {"table millimetres on an inch job", Hole(100, 50, 12, 5, "21", 3), 10 / 25.4f,
         "VBORE_Z12T21: (100,50)r0.1969", false, false, 25.4},
        {"tools shown as diameters", Hole(100, 50, 12, 5, "21", 3), 10, "VBORE_Z12: (100,50)r5",
         false, true},
        {"bottom face", Hole(100, 50, 12, -5, "21", 3), 10, "VBORE_Z12T21: (100,50)r5"},
        {"mirrored job", Hole(100, 50, 12, 5, "21", 3), 10, "VBORE_Z12T21: (700,50)r5", true},
        {"tool 00 names no tool", Hole(100, 50, 12, 5, "00", 6), 6, "VBORE_Z12: (100,50)r3"},
        {"table tool without size", Hole(100, 50, 12, 5, "12", 6), 5, "VBORE_Z12T12: (100,50)r2.5"},
        {"edge flag and feed", edgeAndFeed, 10, "VBORE_Z12T21_Ex1_F3000: (1,2)r5"},
    });
}

TEST_F(DrillHoleTest, EdgeAndSideFaceHoles) {
    Run({
        {"code 2, Y 480 of 600: 120 deep from Y = 0", Hole(100, 480, 30, 2, "5"), 8,
         "HBORE_Z30: 96,0>96,120 96,120>104,120 104,120>104,0"},
        {"code 1, Y 100: from the edge Y = W", Hole(100, 100, 30, 1, "5"), 8,
         "HBORE_Z30: 96,600>96,500 96,500>104,500 104,500>104,600"},
        {"code 1, Y 480: depth from the nearer edge", Hole(100, 480, 30, 1, "5"), 8,
         "HBORE_Z30: 96,600>96,480 96,480>104,480 104,480>104,600"},
        {"code 1 mirrored", Hole(100, 100, 30, 1, "5"), 8,
         "HBORE_Z30: 704,600>704,500 704,500>696,500 696,500>696,600", true},
        {"code 3 at X = 0", Hole(30, 200, 30, 3, "5"), 8,
         "HBORE_Z30: 0,196>30,196 30,196>30,204 0,204>30,204"},
        {"code 4 at X = L", Hole(30, 200, 30, 4, "5"), 8,
         "HBORE_Z30: 800,196>770,196 770,196>770,204 770,204>800,204"},
        {"code 3 mirrored: at X = L", Hole(30, 200, 30, 3, "5"), 8,
         "HBORE_Z30: 800,196>770,196 770,196>770,204 770,204>800,204", true},
        {"-3: (X, Y, depth) becomes (depth, X, Y)", Hole(100, 30, 12, -3, "5"), 8,
         "HBORE_Z30: 0,96>12,96 12,96>12,104 0,104>12,104"},
        {"-4 drawn as 4", Hole(100, 30, 12, -4, "5"), 8,
         "HBORE_Z30: 800,96>788,96 788,96>788,104 788,104>800,104"},
        {"-2: (X, Y, depth) becomes (X, depth, Y)", Hole(100, 30, 12, -2, "5"), 8,
         "HBORE_Z30: 96,0>96,12 96,12>104,12 104,12>104,0"},
        {"-6 draws nothing, the tool is still looked up", Hole(1, 1, 1, -6, "21", 0), 10, ""},
        {"0 draws nothing", Hole(1, 1, 1, 0, "5"), 8, ""},
    });
}

TEST_F(DrillHoleTest, GangHoles) {
    const HoleRequest gang = Hole(100, 50, 12, 5, "0507", 1);
    Run({
        {"0507: tool 7 on 00, shifted by its offset from 5", gang, 8,
         "VBORE_Z12T5T7: (100,50)r4; 00: (132,66)r2.5"},
        {"0507 mirrored", gang, 8, "VBORE_Z12T5T7: (700,50)r4; 00: (668,66)r2.5", true},
        {"0507 shown as diameters: one layer", gang, 8, "VBORE_Z12: (100,50)r4 (132,66)r2.5", false,
         true},
        {"0507 on an inch job", gang, 8 / 25.4f,
         "VBORE_Z12T5T7: (100,50)r0.1575; 00: (101.2598,50.6299)r0.0984", false, false, 25.4},
        {"a spindle outside the table drills nothing", Hole(100, 50, 12, 5, "050007", 1), 8,
         "VBORE_Z12T5T0T7: (100,50)r4; 00: (132,66)r2.5"},
        {"a first tool outside the table names no tool", Hole(100, 50, 12, 5, "0005", 1), 1,
         "VBORE_Z12: (100,50)r0.5"},
        {"code 1: shifted along X only", Hole(100, 100, 12, 1, "0507", 1), 8,
         "HBORE_Z12T5T7: 96,600>96,500 96,500>104,500 104,500>104,600; "
         "00: 129.5,600>129.5,500 129.5,500>134.5,500 134.5,500>134.5,600"},
        {"code 3: shifted along Y only", Hole(30, 200, 12, 3, "0507", 1), 8,
         "HBORE_Z12T5T7: 0,196>30,196 30,196>30,204 0,204>30,204; "
         "00: 0,213.5>30,213.5 30,213.5>30,218.5 0,218.5>30,218.5"},
    });
}

TEST_F(DrillHoleTest, ConfiguredRootsNameTheLayers) {
    roots_.vbore = "BOHR";
    roots_.hbore = "KANTE";
    Run({
        {"vertical", Hole(1, 1, 12, 5, "21", 0), 10, "BOHR_Z12T21: (1,1)r5"},
        {"horizontal", Hole(1, 1, 12, 2, "21", 0), 10, "KANTE_Z12T21: -4,0>-4,1 -4,1>6,1 6,1>6,0"},
    });
}

}  // namespace
}  // namespace retracer
