// Drilled holes: face circles, edge outlines, plane codes, mirrored jobs and multi-spindle units.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <variant>
#include <vector>

#include "drawing/drill_hole.h"
#include "translate/value_text.h"

namespace retracer {
namespace {

struct HoleCase {
    const char* name;
    HoleRequest hole;
    bool mirror = false;
    bool toolNumberToDiameter = false;
    double divisor = 1;
    float diameter = 0;  // handed back by DrillHole
    const char* drawn;   // entities by layer: "(x,y)rR" circles, "x1,y1>x2,y2" lines
};

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
            DrawingWriter writer;
            std::string err;
            writer.OpenDrawing(err, std::filesystem::temp_directory_path() / "retracer-holes.dxf");
            writer.StartDrawing(err);
            options_.toolNumberToDiameter = c.toolNumberToDiameter;
            const HoleOutput out{writer, err,      state_, options_, tools_,
                                 roots_, c.mirror, 800,    c.divisor};
            EXPECT_NEAR(DrillHole(out, c.hole), c.diameter, 1e-6) << c.name;
            EXPECT_EQ(err, "") << c.name;
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
    const HoleRequest top{.x = 100, .y = 50, .depth = 12, .planeCode = 5};
    auto with = [top](std::string_view tool, float diameter, int plane = 5) {
        HoleRequest h = top;
        h.tool = tool;
        h.diameter = diameter;
        h.planeCode = plane;
        return h;
    };
    Run({
        {"one character: no lookup", with("5", 8), false, false, 1, 8, "VBORE_Z12: (100,50)r4"},
        {"no tool, no size: 5 mm", with("", 0), false, false, 1, 5, "VBORE_Z12: (100,50)r2.5"},
        {"no size on an inch job", with("", 0), false, false, 25.4, 5 / 25.4f,
         "VBORE_Z12: (100,50)r0.0984"},
        {"size from the table", with("21", 3), false, false, 1, 10, "VBORE_Z12T21: (100,50)r5"},
        {"table millimetres on an inch job", with("21", 3), false, false, 25.4, 10 / 25.4f,
         "VBORE_Z12T21: (100,50)r0.1969"},
        {"tools shown as diameters", with("21", 3), false, true, 1, 10, "VBORE_Z12: (100,50)r5"},
        {"bottom face", with("21", 3, -5), false, false, 1, 10, "VBORE_Z12T21: (100,50)r5"},
        {"mirrored job", with("21", 3), true, false, 1, 10, "VBORE_Z12T21: (700,50)r5"},
        {"tool 00 names no tool", with("00", 6), false, false, 1, 6, "VBORE_Z12: (100,50)r3"},
        {"table tool without size", with("12", 6), false, false, 1, 5,
         "VBORE_Z12T12: (100,50)r2.5"},
        {"edge flag and feed",
         {.x = 1, .y = 2, .depth = 12, .planeCode = 5, .edgeFlag = 1, .feed = 3000, .tool = "21"},
         false,
         false,
         1,
         10,
         "VBORE_Z12T21_Ex1_F3000: (1,2)r5"},
    });
}

TEST_F(DrillHoleTest, EdgeAndSideFaceHoles) {
    auto hole = [](float x, float y, float depth, int plane) {
        return HoleRequest{
            .x = x, .y = y, .depth = depth, .diameter = 8, .planeCode = plane, .tool = "5"};
    };
    Run({
        {"code 2, Y 480 of 600: 120 deep from Y = 0", hole(100, 480, 30, 2), false, false, 1, 8,
         "HBORE_Z30: 96,0>96,120 96,120>104,120 104,120>104,0"},
        {"code 1, Y 100: from the edge Y = W", hole(100, 100, 30, 1), false, false, 1, 8,
         "HBORE_Z30: 96,600>96,500 96,500>104,500 104,500>104,600"},
        {"code 1, Y 480: depth from the nearer edge", hole(100, 480, 30, 1), false, false, 1, 8,
         "HBORE_Z30: 96,600>96,480 96,480>104,480 104,480>104,600"},
        {"code 1 mirrored", hole(100, 100, 30, 1), true, false, 1, 8,
         "HBORE_Z30: 704,600>704,500 704,500>696,500 696,500>696,600"},
        {"code 3 at X = 0", hole(30, 200, 30, 3), false, false, 1, 8,
         "HBORE_Z30: 0,196>30,196 30,196>30,204 0,204>30,204"},
        {"code 4 at X = L", hole(30, 200, 30, 4), false, false, 1, 8,
         "HBORE_Z30: 800,196>770,196 770,196>770,204 770,204>800,204"},
        {"code 3 mirrored: at X = L", hole(30, 200, 30, 3), true, false, 1, 8,
         "HBORE_Z30: 800,196>770,196 770,196>770,204 770,204>800,204"},
        {"code 4 mirrored: at X = 0", hole(30, 200, 30, 4), true, false, 1, 8,
         "HBORE_Z30: 0,196>30,196 30,196>30,204 0,204>30,204"},
        {"-3: (X, Y, depth) becomes (depth, X, Y)", hole(100, 30, 12, -3), false, false, 1, 8,
         "HBORE_Z30: 0,96>12,96 12,96>12,104 0,104>12,104"},
        {"-4 drawn as 4", hole(100, 30, 12, -4), false, false, 1, 8,
         "HBORE_Z30: 800,96>788,96 788,96>788,104 788,104>800,104"},
        {"-2: (X, Y, depth) becomes (X, depth, Y)", hole(100, 30, 12, -2), false, false, 1, 8,
         "HBORE_Z30: 96,0>96,12 96,12>104,12 104,12>104,0"},
        {"-1 drawn as 1", hole(100, 30, 12, -1), false, false, 1, 8,
         "HBORE_Z30: 96,600>96,588 96,588>104,588 104,588>104,600"},
        {"-6 draws nothing, the tool is still looked up",
         {.x = 1, .y = 1, .depth = 1, .planeCode = -6, .tool = "21"},
         false,
         false,
         1,
         10,
         ""},
        {"0 draws nothing", hole(1, 1, 1, 0), false, false, 1, 8, ""},
        {"6 draws nothing", hole(1, 1, 1, 6), false, false, 1, 8, ""},
    });
}

TEST_F(DrillHoleTest, GangHoles) {
    auto gang = [](std::string_view tool, int plane = 5, float x = 100, float y = 50) {
        return HoleRequest{
            .x = x, .y = y, .depth = 12, .diameter = 1, .planeCode = plane, .tool = tool};
    };
    Run({
        {"0507: tool 7 on 00, shifted by its offset from 5", gang("0507"), false, false, 1, 8,
         "VBORE_Z12T5T7: (100,50)r4; 00: (132,66)r2.5"},
        {"0507 mirrored", gang("0507"), true, false, 1, 8,
         "VBORE_Z12T5T7: (700,50)r4; 00: (668,66)r2.5"},
        {"0507 shown as diameters: one layer", gang("0507"), false, true, 1, 8,
         "VBORE_Z12: (100,50)r4 (132,66)r2.5"},
        {"0507 on an inch job", gang("0507"), false, false, 25.4, 8 / 25.4f,
         "VBORE_Z12T5T7: (100,50)r0.1575; 00: (101.2598,50.6299)r0.0984"},
        {"three spindles", gang("050705"), false, false, 1, 8,
         "VBORE_Z12T5T7T5: (100,50)r4; 00: (132,66)r2.5 (100,50)r4"},
        {"a spindle outside the table drills nothing", gang("050007"), false, false, 1, 8,
         "VBORE_Z12T5T0T7: (100,50)r4; 00: (132,66)r2.5"},
        {"a first tool outside the table names no tool", gang("0005"), false, false, 1, 1,
         "VBORE_Z12: (100,50)r0.5"},
        {"code 1: shifted along X only", gang("0507", 1, 100, 100), false, false, 1, 8,
         "HBORE_Z12T5T7: 96,600>96,500 96,500>104,500 104,500>104,600; "
         "00: 129.5,600>129.5,500 129.5,500>134.5,500 134.5,500>134.5,600"},
        {"code 3: shifted along Y only", gang("0507", 3, 30, 200), false, false, 1, 8,
         "HBORE_Z12T5T7: 0,196>30,196 30,196>30,204 0,204>30,204; "
         "00: 0,213.5>30,213.5 30,213.5>30,218.5 0,218.5>30,218.5"},
    });
}

TEST_F(DrillHoleTest, ConfiguredRootsNameTheLayers) {
    roots_.vbore = "BOHR";
    roots_.hbore = "KANTE";
    Run({
        {"vertical",
         {.x = 1, .y = 1, .depth = 12, .planeCode = 5, .tool = "21"},
         false,
         false,
         1,
         10,
         "BOHR_Z12T21: (1,1)r5"},
        {"horizontal",
         {.x = 1, .y = 1, .depth = 12, .planeCode = 2, .tool = "21"},
         false,
         false,
         1,
         10,
         "KANTE_Z12T21: -4,0>-4,1 -4,1>6,1 6,1>6,0"},
    });
}

}  // namespace
}  // namespace retracer
