#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>

#include "drawing/display_drawing.h"
#include "drawing/dxf_reader.h"
#include "drawing/dxf_writer.h"

namespace retracer {
namespace {

Entity Make(EntityGeometry g, std::string layer = "0", int colour = 256) {
    return Entity{std::move(layer), colour, std::move(g)};
}

// One entity of every kind, a block and an insert of it, on layers partly in the table.
Drawing EveryKind() {
    Drawing d;
    d.layers = {Layer{"0", 7}, Layer{"Route_A", 3}, Layer{"HOLES", 4}};
    d.blocks.push_back(Block{"MARK", {1, 2, 0}, {Make(LineEntity{{0, 0, 0}, {2, 4, 0}})}});
    d.entities = {
        Make(LineEntity{{0, 0, 1}, {10, 5, 2}}, "Route_A"),
        Make(CircleEntity{{30, 40, -12}, 4}, "HOLES", 4),
        Make(ArcEntity{{10, 20, 0}, 5, 30, 120}),
        Make(TextEntity{{5, 6, 0}, 3.5, 90, "Maß 12"}, "LABEL", 1),
        Make(SolidEntity{{Point3{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {1, 1, 0}}}),
        Make(PolylineEntity{{{0, 0, -3, 1}, {100, 0, -3, 0}, {100, 50, -4, -0.5}}, true}, "Route_A",
             3),
        Make(PointEntity{{1.5, 2.5, 0}}),
        Make(InsertEntity{"MARK", {50, 60, 0}, 2, 2, 30}),
    };
    return d;
}

std::filesystem::path TempDir(const std::string& name) {
    const auto dir = std::filesystem::temp_directory_path() / ("retracer_display_" + name);
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    return dir;
}

TEST(DisplayDrawing, KeepsEveryEntityExactlyThroughTheCompactForm) {
    const Drawing source = EveryKind();
    DisplayDrawing display;
    display.Assign(source);
    const Drawing back = display.ToDrawing();
    EXPECT_EQ(back.entities, source.entities);
    EXPECT_EQ(back.blocks, source.blocks);
    // The table keeps its order; a layer only entities name joins it behind.
    ASSERT_EQ(back.layers.size(), 4u);
    EXPECT_EQ(std::vector(back.layers.begin(), back.layers.begin() + 3), source.layers);
    EXPECT_EQ(back.layers[3].name, "LABEL");
    EXPECT_EQ(display.VertexCount(), 2u + 1 + 1 + 1 + 4 + 3 + 1 + 1);
}

TEST(DisplayDrawing, SavedFileReadsBackTheSameAndReplacesTheOldFile) {
    const auto dir = TempDir("save");
    const auto file = dir / "out.dxf";
    std::ofstream(file) << "old";
    DisplayDrawing display;
    display.Assign(EveryKind());
    std::string error;
    ASSERT_TRUE(display.Save(file, error)) << error;

    DisplayDrawing again;
    ASSERT_TRUE(again.Read(file, DisplayDrawing::ReadMode::kReplace, 0, 0, error)) << error;
    EXPECT_EQ(again.ToDrawing().entities, display.ToDrawing().entities);
    EXPECT_EQ(again.ToDrawing().blocks, display.ToDrawing().blocks);
    EXPECT_EQ(again.LayerNames(), display.LayerNames());
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir), {}), 1);  // no leftovers

    // A folder that does not exist fails with a message and leaves nothing behind.
    EXPECT_FALSE(display.Save(dir / "missing" / "x.dxf", error));
    EXPECT_FALSE(error.empty());
}

TEST(DisplayDrawing, ReadingAddsAtAnOffsetOrReplacesAndAFailedReadChangesNothing) {
    const auto dir = TempDir("read");
    const auto part = dir / "part.dxf";
    {
        std::ofstream out(part);
        WriteDxf(EveryKind(), out);
    }
    DisplayDrawing display;
    std::string error;
    ASSERT_TRUE(display.Read(part, DisplayDrawing::ReadMode::kReplace, 7, 7, error)) << error;
    const Box2 first = display.Extents();
    // A replacing read ignores the offset.
    EXPECT_EQ(display.ToDrawing().entities, EveryKind().entities);

    ASSERT_TRUE(display.Read(part, DisplayDrawing::ReadMode::kAdd, 200, -10, error)) << error;
    EXPECT_EQ(display.entities.size(), 2 * EveryKind().entities.size());
    EXPECT_EQ(display.blocks.size(), 1u);  // the block of the same name is shared
    EXPECT_EQ(display.LayerNames().size(), 4u);
    const Box2 both = display.Extents();
    EXPECT_DOUBLE_EQ(both.minX, first.minX);
    EXPECT_DOUBLE_EQ(both.maxX, first.maxX + 200);
    EXPECT_DOUBLE_EQ(both.minY, first.minY - 10);
    const Drawing back = display.ToDrawing();
    const auto& moved = std::get<LineEntity>(back.entities[EveryKind().entities.size()].geometry);
    EXPECT_EQ(moved.start, (Point3{200, -10, 1}));
    EXPECT_EQ(moved.end, (Point3{210, -5, 2}));

    const auto broken = dir / "broken.dxf";
    std::ofstream(broken) << "0\nSECTION\n2\nENTITIES\n";
    for (auto mode : {DisplayDrawing::ReadMode::kReplace, DisplayDrawing::ReadMode::kAdd}) {
        error.clear();
        EXPECT_FALSE(display.Read(broken, mode, 0, 0, error));
        EXPECT_FALSE(error.empty());
        EXPECT_EQ(display.entities.size(), 2 * EveryKind().entities.size());
    }
}

TEST(DisplayDrawing, TransformScalesRotatesAndMovesEveryKind) {
    DisplayDrawing display;
    display.Assign(EveryKind());
    ASSERT_TRUE(display.Transform({2, 90, 10, 0}));
    const Drawing t = display.ToDrawing();
    const auto near = [](const Point3& p, double x, double y, double z) {
        return std::abs(p.x - x) < 1e-9 && std::abs(p.y - y) < 1e-9 && p.z == z;
    };
    const auto& line = std::get<LineEntity>(t.entities[0].geometry);
    EXPECT_TRUE(near(line.end, 10 - 10, 20, 2));  // (10,5) * 2 = (20,10), turned to (-10,20)
    const auto& circle = std::get<CircleEntity>(t.entities[1].geometry);
    EXPECT_TRUE(near(circle.centre, 10 - 80, 60, -12));
    EXPECT_DOUBLE_EQ(circle.radius, 8);
    const auto& arc = std::get<ArcEntity>(t.entities[2].geometry);
    EXPECT_DOUBLE_EQ(arc.startAngle, 120);
    EXPECT_DOUBLE_EQ(arc.endAngle, 210);
    const auto& text = std::get<TextEntity>(t.entities[3].geometry);
    EXPECT_DOUBLE_EQ(text.height, 7);
    EXPECT_DOUBLE_EQ(text.rotation, 180);
    const auto& poly = std::get<PolylineEntity>(t.entities[5].geometry);
    EXPECT_TRUE(
        near({poly.vertices[2].x, poly.vertices[2].y, poly.vertices[2].z}, 10 - 100, 200, -4));
    EXPECT_DOUBLE_EQ(poly.vertices[2].bulge, -0.5);
    const auto& insert = std::get<InsertEntity>(t.entities[7].geometry);
    EXPECT_DOUBLE_EQ(insert.scaleX, 4);
    EXPECT_DOUBLE_EQ(insert.rotation, 120);
    // Blocks stay as defined: inserts carry the change.
    EXPECT_EQ(t.blocks, EveryKind().blocks);

    const Drawing before = display.ToDrawing();
    for (const DisplayTransform bad :
         {DisplayTransform{-1, 0, 0, 0}, DisplayTransform{0, 0, 0, 0},
          DisplayTransform{1, NAN, 0, 0}, DisplayTransform{1, 0, INFINITY, 0}}) {
        EXPECT_FALSE(display.Transform(bad));
    }
    EXPECT_EQ(display.ToDrawing(), before);
}

struct ExtentsCase {
    const char* name;
    EntityGeometry geometry;
    Box2 expected;
};

TEST(DisplayDrawing, ExtentsFollowTheTrueShapeOfEachEntity) {
    const std::vector<ExtentsCase> cases = {
        {"line", LineEntity{{-1, 2, 0}, {3, -4, 0}}, {-1, -4, 3, 2, false}},
        {"circle", CircleEntity{{10, 10, 0}, 5}, {5, 5, 15, 15, false}},
        {"arc through 90 degrees only",
         ArcEntity{{0, 0, 0}, 10, 45, 135},
         {-7.0710678118654755, 7.0710678118654755, 7.0710678118654755, 10, false}},
        {"arc across 0 degrees", ArcEntity{{0, 0, 0}, 10, 270, 90}, {0, -10, 10, 10, false}},
        {"bulged half circle below its chord",
         PolylineEntity{{{0, 0, 0, 1}, {100, 0, 0, 0}}, false},
         {0, -50, 100, 0, false}},
        {"closing segment's bulge counts",
         PolylineEntity{{{0, 0, 0, 0}, {100, 0, 0, 1}}, true},
         {0, 0, 100, 50, false}},
        {"open polyline ignores the last bulge",
         PolylineEntity{{{0, 0, 0, 0}, {100, 0, 0, 1}}, false},
         {0, 0, 100, 0, false}},
        {"solid",
         SolidEntity{{Point3{0, 0, 0}, {4, 0, 0}, {0, 3, 0}, {4, 3, 0}}},
         {0, 0, 4, 3, false}},
        {"point", PointEntity{{7, 8, 9}}, {7, 8, 7, 8, false}},
        // Block line (0,0)-(2,4) around base (1,2): (-1,-2)-(1,2); doubled and turned 90 degrees:
        // (4,-2)-(-4,2); at (50,60).
        {"insert", InsertEntity{"MARK", {50, 60, 0}, 2, 2, 90}, {46, 58, 54, 62, false}},
        {"insert of an undefined block", InsertEntity{"NONE", {50, 60, 0}, 1, 1, 0}, {}},
    };
    for (const ExtentsCase& c : cases) {
        Drawing d;
        d.blocks.push_back(Block{"MARK", {1, 2, 0}, {Make(LineEntity{{0, 0, 0}, {2, 4, 0}})}});
        d.entities.push_back(Make(c.geometry));
        DisplayDrawing display;
        display.Assign(d);
        const Box2 box = display.Extents();
        EXPECT_EQ(box.empty, c.expected.empty) << c.name;
        if (box.empty || c.expected.empty) continue;
        EXPECT_NEAR(box.minX, c.expected.minX, 1e-9) << c.name;
        EXPECT_NEAR(box.minY, c.expected.minY, 1e-9) << c.name;
        EXPECT_NEAR(box.maxX, c.expected.maxX, 1e-9) << c.name;
        EXPECT_NEAR(box.maxY, c.expected.maxY, 1e-9) << c.name;
    }
}

TEST(DisplayDrawing, TextExtentsGrowWithTheTextAndTurnWithIt) {
    Drawing d;
    d.entities.push_back(Make(TextEntity{{0, 0, 0}, 10, 0, "ABCD"}));
    DisplayDrawing flat;
    flat.Assign(d);
    const Box2 a = flat.Extents();
    EXPECT_GT(a.Width(), 20);  // four letters are wider than two heights
    EXPECT_NEAR(a.Height(), 10, 1e-9);
    std::get<TextEntity>(d.entities[0].geometry).rotation = 90;
    DisplayDrawing turned;
    turned.Assign(d);
    const Box2 b = turned.Extents();
    EXPECT_NEAR(b.Height(), a.Width(), 1e-9);
    EXPECT_LE(b.maxX, 1e-9);  // turned counter-clockwise, the letters stand left of the baseline
}

TEST(DisplayDrawing, LayersAreListedOnceFoundIgnoringCaseAndRenamed) {
    Drawing d;
    d.layers = {Layer{"0", 7}, Layer{"ELetter", 7}, Layer{"Route_X", 3}};
    d.entities = {Make(LineEntity{}, "ELetter"), Make(LineEntity{}, "Route_X"),
                  Make(LineEntity{}, "ELetter"), Make(LineEntity{}, "elsewhere")};
    DisplayDrawing display;
    display.Assign(d);
    EXPECT_EQ(display.LayerNames(),
              (std::vector<std::string>{"0", "ELetter", "Route_X", "elsewhere"}));
    EXPECT_EQ(display.FindLayer("ELETTER"), 2);
    EXPECT_EQ(display.FindLayer("route_x"), 3);
    EXPECT_EQ(display.FindLayer("Route"), 0);

    // A new name: the layer keeps its place and its entities.
    ASSERT_TRUE(display.RenameLayer(display.FindLayer("ELetter"), "Route_LBL1"));
    Drawing back = display.ToDrawing();
    EXPECT_EQ(back.entities[0].layer, "Route_LBL1");
    EXPECT_EQ(back.entities[2].layer, "Route_LBL1");
    EXPECT_EQ(back.layers[1].name, "Route_LBL1");

    // The name of another layer: the two become one, entities after the gap keep their layer.
    ASSERT_TRUE(display.RenameLayer(display.FindLayer("Route_LBL1"), "Route_X"));
    back = display.ToDrawing();
    EXPECT_EQ(display.LayerNames(), (std::vector<std::string>{"0", "Route_X", "elsewhere"}));
    EXPECT_EQ(back.entities[0].layer, "Route_X");
    EXPECT_EQ(back.entities[1].layer, "Route_X");
    EXPECT_EQ(back.entities[3].layer, "elsewhere");

    // Layer 0 (no such layer), past the end, or an empty name change nothing.
    for (int bad : {0, -1, 4}) EXPECT_FALSE(display.RenameLayer(bad, "X")) << bad;
    EXPECT_FALSE(display.RenameLayer(1, ""));
    EXPECT_EQ(display.ToDrawing(), back);
}

TEST(DisplayDrawing, BulgeArcsHaveTheirCentreOnTheTurningSide) {
    struct Case {
        double x2, y2, bulge;
        double cx, cy, radius, sweep;
    };
    const double quarter = std::tan(3.14159265358979323846 / 8);
    const std::vector<Case> cases = {
        {100, 0, 1, 50, 0, 50, 180},           // half circle counter-clockwise: below the chord
        {100, 0, -1, 50, 0, 50, -180},         // clockwise: above
        {100, 100, quarter, 0, 100, 100, 90},  // a quarter turning left around (0, 100)
        {100, 100, -quarter, 100, 0, 100, -90},
    };
    for (const Case& c : cases) {
        const BulgeArc arc = ArcOfBulge(0, 0, c.x2, c.y2, c.bulge);
        EXPECT_NEAR(arc.cx, c.cx, 1e-9) << c.bulge;
        EXPECT_NEAR(arc.cy, c.cy, 1e-9) << c.bulge;
        EXPECT_NEAR(arc.radius, c.radius, 1e-9) << c.bulge;
        EXPECT_NEAR(arc.sweep, c.sweep, 1e-9) << c.bulge;
    }
}

TEST(DisplayDrawing, ColourIndexesFollowTheStandardTable) {
    const std::vector<std::pair<int, std::uint32_t>> cases = {
        {1, 0xFF0000},   {2, 0xFFFF00},   {3, 0x00FF00},   {5, 0x0000FF},   {7, 0xFFFFFF},
        {8, 0x808080},   {10, 0xFF0000},  {11, 0xFF7F7F},  {12, 0xCC0000},  {14, 0x990000},
        {18, 0x4C0000},  {19, 0x4C2626},  {20, 0xFF3F00},  {21, 0xFF9F7F},  {30, 0xFF7F00},
        {50, 0xFFFF00},  {90, 0x00FF00},  {130, 0x00FFFF}, {170, 0x0000FF}, {210, 0xFF00FF},
        {250, 0x333333}, {255, 0xFFFFFF}, {0, 0xFFFFFF},   {256, 0xFFFFFF}, {-3, 0xFFFFFF},
    };
    for (const auto& [index, rgb] : cases) EXPECT_EQ(DxfColourRgb(index), rgb) << index;
}

}  // namespace
}  // namespace retracer
