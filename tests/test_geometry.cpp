// Angle and arc geometry of the drawing output.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "drawing/geometry.h"

namespace retracer {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

// Angles use 3.141593 / 180 per degree, not pi / 180: these differ from the exact values in the
// seventh digit, as the drawings made before do.
TEST(GeometryTrig, UsesTheRoundedPi) {
    EXPECT_NEAR(SinDeg(180), -3.464102066193935e-07, 1e-15);
    EXPECT_NEAR(CosDeg(90), -1.7320510330969933e-07, 1e-15);
    EXPECT_NEAR(TanDeg(45), 1.0000001732051182, 1e-15);
    EXPECT_NEAR(SinDeg(30), 0.5000000500000057, 1e-15);
}

TEST(GeometryDirection, QuadrantsAxesAndDegenerateVectors) {
    struct Case {
        const char* name;
        double x1, y1, x2, y2, expected;
    };
    const Case cases[] = {
        {"first quadrant: below 45 by the factor", 0, 0, 1, 1, 44.99999503803984},
        {"second quadrant", 0, 0, -1, 1, 135.00000496196014},
        {"third quadrant", 0, 0, -1, -1, 224.99999503803986},
        {"fourth quadrant", 0, 0, 1, -1, 315.00000496196014},
        {"from another point", 10, 20, 14, 23, 36.86989358035595},
        {"+X", 0, 0, 4, 0, 0},
        {"+Y", 0, 0, 0, 2, 90},
        {"-X", 0, 0, -3, 0, 180},
        {"-Y", 0, 0, 0, -5, 270},
        {"coincident", 3, 3, 3, 3, 0},
        {"infinite", 0, 0, kInf, 1, 0},
        {"NaN", kNaN, 0, 1, 1, 0},
    };
    for (const Case& c : cases) {
        EXPECT_NEAR(DirectionAngle(c.x1, c.y1, c.x2, c.y2), c.expected, 1e-9) << c.name;
    }
    EXPECT_EQ(DirectionAngle(0, 0, 0, -5), 270.0) << "axes are exact";
    EXPECT_LT(DirectionAngle(0, 0, 1000, -1e-9), 360.0) << "never a full turn";
}

TEST(GeometryArcCentre, CentreOnTheAskedSideOrNone) {
    struct Case {
        const char* name;
        double x1, y1, x2, y2, r;
        bool found;
        double cx, cy;
    };
    const Case cases[] = {
        {"radius of half the chord: midpoint", 0, 0, 10, 0, 5, true, 5, 0},
        {"positive radius: left of the chord", 0, 0, 10, 0, 6, true, 5, 3.3166247903554},
        {"negative radius: right of the chord", 0, 0, 10, 0, -6, true, 5, -3.3166247903554},
        {"upward chord: left is -X", 0, 0, 0, 10, 13, true, -12, 5},
        {"slanted chord", 0, 0, 14, 2, -10, true, 8, -6},
        {"zero-length chord", 2, 3, 2, 3, 5, true, 2, 8},
        {"radius shorter than half the chord", 0, 0, 10, 0, 4, false, 0, 0},
        {"short in the fifth decimal", 0, 0, 10, 0, 4.99996, false, 0, 0},
        {"short only past the fifth decimal", 0, 0, 10, 0, 4.999996, true, 5, 0},
        {"NaN radius", 0, 0, 10, 0, kNaN, false, 0, 0},
        {"infinite point", 0, 0, kInf, 0, 6, false, 0, 0},
    };
    for (const Case& c : cases) {
        double cx = -77;
        double cy = -88;
        EXPECT_EQ(ArcCentre(c.x1, c.y1, c.x2, c.y2, c.r, cx, cy), c.found) << c.name;
        EXPECT_NEAR(cx, c.found ? c.cx : -77, 1e-5) << c.name;
        EXPECT_NEAR(cy, c.found ? c.cy : -88, 1e-5) << c.name;
    }
    double cx = 0;
    double cy = 0;
    EXPECT_TRUE(ArcCentre(0, 0, 10, 0, 1e200, cx, cy));
    EXPECT_TRUE(std::isfinite(cx) && std::isfinite(cy)) << "a huge radius does not overflow";
}

TEST(GeometryArcSweep, AngleSweptInEachDirection) {
    struct Case {
        float a1, a2;
        bool clockwise;
        float expected;
    };
    const Case cases[] = {
        {0, 90, false, 90},
        {0, 90, true, 270},
        {350, 10, false, 20},
        {10, 350, true, 20},
        {90, 0, true, 90},
        {90, 0, false, 270},
        {45, 45, true, 0},
        {45, 45, false, 360},
        {100.0001f, 100, false, 359.9999f},
        {std::numeric_limits<float>::quiet_NaN(), 10, false, 0},
    };
    for (const Case& c : cases) {
        EXPECT_NEAR(ArcSweep(c.a1, c.a2, c.clockwise), c.expected, 1e-4)
            << c.a1 << " to " << c.a2 << (c.clockwise ? " clockwise" : "");
    }
}

}  // namespace
}  // namespace retracer
