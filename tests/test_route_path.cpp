// Route paths: polylines with bulges, depth in the layer or in the vertices, mirrored jobs.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <limits>
#include <string>
#include <variant>
#include <vector>

#include "base/value_text.h"
#include "translate/route_path.h"

namespace retracer {
namespace {

constexpr double kPartLength = 100;

class RoutePathTest : public ::testing::Test {
  protected:
    void SetUp() override { NewJob(0, 0, 18); }

    // A fresh drawing (never closed: no file is written) and a tool started at (x, y), depth z.
    void NewJob(float x, float y, float z) {
        writer_ = DrawingWriter(DrawingWriter::Keep::kEntities);
        writer_.OpenDrawing(std::filesystem::temp_directory_path() / "retracer-routes.dxf");
        writer_.StartDrawing();
        state_ = TranslationState();
        state_.planeCode = 5;
        state_.toolName = "T3";
        state_.curX = x;
        state_.curY = y;
        state_.curZ = z;
        state_.moveZ = z;
    }

    RouteOutput Out(bool mirror = false) {
        return {writer_, state_, options_, roots_, mirror, kPartLength, line_};
    }

    // "layer: x,y,z/bulge ..." per polyline, numbers to four decimals.
    std::string Summary() const {
        auto n = [](double v) { return FormatPattern(v, "###0.####"); };
        std::string out;
        for (const Entity& e : writer_.Content().entities) {
            EXPECT_EQ(e.colour, kRouteColour);
            out += (out.empty() ? "" : "; ") + e.layer + ":";
            for (const PolylineVertex& v : std::get<PolylineEntity>(e.geometry).vertices)
                out += " " + n(v.x) + "," + n(v.y) + "," + n(v.z) + "/" + n(v.bulge);
        }
        return out;
    }

    DrawingWriter writer_{DrawingWriter::Keep::kEntities};
    TranslationState state_;
    TranslationOptions options_;
    LayerRoots roots_;
    FieldSplitter* line_ = nullptr;
};

TEST_F(RoutePathTest, StraightMovesMakeOnePolyline) {
    NewJob(10, 10, 18);
    RouteLineTo(Out(), 100, 10);
    RouteLineTo(Out(), 100, 50);
    EXPECT_EQ(Summary(), "") << "nothing is written before the path ends";
    EndRoutePath(Out());
    EXPECT_EQ(Summary(), "ROUTE_Z18T3: 10,10,0/0 100,10,0/0 100,50,0/0");
    EXPECT_EQ(writer_.Error(), "");

    NewJob(10, 10, 18);
    RouteLineTo(Out(true), 30, 40);
    EndRoutePath(Out(true));
    EXPECT_EQ(Summary(), "ROUTE_Z18T3: 90,10,0/0 70,40,0/0") << "mirrored";
    EXPECT_EQ(state_.curX, 30) << "the position stays the program's";
}

// On the mirrored job an arc must be the mirror image: the same sweep the other way round about
// the mirrored centre, so its bulge is exactly the negated normal one. The centre is worked out
// from the drawn vertices and bulge alone, to see where the drawing really puts the arc.
TEST_F(RoutePathTest, ArcsOnNormalAndMirroredJobs) {
    struct Case {
        const char* name;
        double sx, sy, cx, cy, ex, ey;
        bool clockwise;
        double bulge, tolerance;  // on the normal job
    };
    const Case cases[] = {
        {"counter-clockwise quarter", 10, 0, 0, 0, 0, 10, false, 0.41421356, 1e-5},
        {"same points clockwise: 270 degrees", 10, 0, 0, 0, 0, 10, true, -2.41421356, 1e-5},
        {"half circle", 30, 20, 20, 20, 10, 20, false, 1, 1e-5},
        {"long radius, short arc", -10, 0, 0, -1000, 10, 0, true, -0.004999875, 1e-6},
        {"long radius, long way round", -10, 0, 0, -1000, 10, 0, false, 200.005, 0.2},
    };
    for (const Case& c : cases) {
        double normalBulge = 0;
        for (bool mirror : {false, true}) {
            const std::string name = std::string(c.name) + (mirror ? ", mirrored" : "");
            NewJob(static_cast<float>(c.sx), static_cast<float>(c.sy), 18);
            RouteArcTo(Out(mirror), c.cx, c.cy, c.ex, c.ey, c.clockwise);
            EndRoutePath(Out(mirror));
            const auto& entities = writer_.Content().entities;
            ASSERT_EQ(entities.size(), 1u) << name;
            const auto& v = std::get<PolylineEntity>(entities[0].geometry).vertices;
            ASSERT_EQ(v.size(), 2u) << name;
            auto drawnX = [mirror](double x) { return mirror ? kPartLength - x : x; };
            EXPECT_NEAR(v[0].x, drawnX(c.sx), 1e-4) << name;
            EXPECT_NEAR(v[1].x, drawnX(c.ex), 1e-4) << name;
            if (!mirror) normalBulge = v[0].bulge;
            // exactly the negated bulge when mirrored
            EXPECT_NEAR(v[0].bulge, mirror ? -normalBulge : c.bulge, mirror ? 0 : c.tolerance)
                << name;
            const double dx = v[1].x - v[0].x, dy = v[1].y - v[0].y, b = v[0].bulge;
            const double h = (1 - b * b) / (4 * b);  // centre left of the chord, per chord length
            const double slack = 1e-4 * (1 + std::hypot(c.ex - c.cx, c.ey - c.cy));
            EXPECT_NEAR((v[0].x + v[1].x) / 2 - dy * h, drawnX(c.cx), slack) << name << ": centre";
            EXPECT_NEAR((v[0].y + v[1].y) / 2 + dx * h, c.cy, slack) << name << ": centre";
        }
    }
}

TEST_F(RoutePathTest, FullCirclesAreTwoHalfCircles) {
    struct Case {
        float sx, sy;
        double cx, cy;
        bool clockwise, mirror;
        const char* drawn;
    };
    const Case cases[] = {
        {10, 0, 0, 0, false, false, "10,0,0/1 -10,0,0/1 10,0,0/0"},
        {20, 30, 30, 30, false, false, "20,30,0/1 40,30,0/1 20,30,0/0"},
        {10, 0, 0, 0, false, true, "90,0,0/-1 110,0,0/-1 90,0,0/0"},
        {10, 0, 0, 0, true, true, "90,0,0/1 110,0,0/1 90,0,0/0"},
    };
    for (const Case& c : cases) {
        NewJob(c.sx, c.sy, 18);
        RouteArcTo(Out(c.mirror), c.cx, c.cy, c.sx, c.sy, c.clockwise);
        EndRoutePath(Out(c.mirror));
        EXPECT_EQ(Summary(), std::string("ROUTE_Z18T3: ") + c.drawn);
    }
}

TEST_F(RoutePathTest, DepthGoesIntoTheLayerOrIntoTheVertices) {
    for (bool inVertices : {false, true}) {
        options_.depthInVertices = inVertices;
        NewJob(0, 0, 5);
        state_.moveZ = 8;
        RouteLineTo(Out(), 10, 0);
        state_.moveZ = 12;
        RouteArcTo(Out(), 10, 10, 10, 20, false);
        state_.moveZ = 16;
        RouteArcTo(Out(), 10, 30, 10, 20, true);  // full circle: its middle gets the mean depth
        EndRoutePath(Out());
        EXPECT_EQ(Summary(), inVertices ? "ROUTET3: 0,0,5/0 10,0,8/1 10,20,12/-1 10,40,14/-1 "
                                          "10,20,16/0"
                                        : "ROUTE_Z5T3: 0,0,0/0 10,0,0/1 10,20,0/-1 10,40,0/-1 "
                                          "10,20,0/0");
        EXPECT_EQ(state_.curZ, inVertices ? 16 : 0);
    }
}

TEST_F(RoutePathTest, MovesThatDrawNothing) {
    NewJob(10, 10, 18);
    for (int plane : {-6, 0, 1, 6}) {
        state_.planeCode = plane;
        RouteLineTo(Out(), 50, 50);
        RouteArcTo(Out(), 0, 0, 0, 10, false);
    }
    state_.planeCode = 5;
    RouteLineTo(Out(), std::numeric_limits<double>::quiet_NaN(), 5);
    RouteArcTo(Out(), 0, std::numeric_limits<double>::infinity(), 0, 10, false);
    EXPECT_EQ(state_.curX, 10);
    EXPECT_EQ(state_.curY, 10);
    EXPECT_TRUE(state_.routeLayer.empty());
    EndRoutePath(Out());
    EXPECT_EQ(Summary(), "");

    state_.planeCode = -5;
    RouteLineTo(Out(), 50, 50);
    EndRoutePath(Out());
    EXPECT_EQ(Summary(), "ROUTE_Z18T3: 10,10,0/0 50,50,0/0") << "the bottom face is routed";
}

TEST_F(RoutePathTest, EachPathBuildsItsLayerOnceFromTheStateAtItsStart) {
    NewJob(10, 10, 18);
    roots_.route = "FRAES";
    FieldSplitter line;
    line.SetText("G1 X100 F3000");
    line_ = &line;
    state_.pendingTag = {"_L", 0};
    RouteLineTo(Out(), 100, 10);
    state_.feedDown = 500;  // too late for this path
    line.SetText("G1 Y20 F4000");
    RouteLineTo(Out(), 100, 20);
    EndRoutePath(Out());  // a hole block
    line_ = nullptr;
    state_.toolName = "T7";
    state_.curZ = 6;
    RouteLineTo(Out(), 100, 50);
    EndRoutePath(Out());
    EndRoutePath(Out());  // no path: nothing more
    EXPECT_EQ(Summary(),
              "FRAES_Z18T3_L_F3000: 10,10,0/0 100,10,0/0 100,20,0/0; "
              "FRAES_Z6T7_FD500: 100,20,0/0 100,50,0/0");
}

TEST_F(RoutePathTest, PutVertexHoldsOrWritesTheWaitingVertex) {
    RouteLineTo(Out(), 10, 0);  // waiting: (10, 0)
    PutVertex(Out(), 20, 0, 1, 0.5f, VertexMode::kHold);
    PutVertex(Out(), 30, 5, 2, 0.25f, VertexMode::kWriteWaiting);
    EndRoutePath(Out());
    EXPECT_EQ(Summary(), "ROUTE_Z18T3: 0,0,0/0 20,0,1/0.25 30,5,2/0");
}

}  // namespace
}  // namespace retracer
