#include "drawing/geometry.h"

#include <cmath>

#include "base/value_text.h"

namespace retracer {

double CosDeg(double degrees) {
    return std::cos(degrees * kRadiansPerDegree);
}

double SinDeg(double degrees) {
    return std::sin(degrees * kRadiansPerDegree);
}

double TanDeg(double degrees) {
    return std::tan(degrees * kRadiansPerDegree);
}

double DirectionAngle(double x1, double y1, double x2, double y2) {
    const double dx = x2 - x1;
    const double dy = y2 - y1;
    if (!std::isfinite(dx) || !std::isfinite(dy)) return 0;
    const double g = dx * dy != 0 ? std::atan(dy / dx) / kRadiansPerDegree : 0;
    if (dx > 0 && dy > 0) return g;
    if (dy == 0) return dx >= 0 ? 0 : 180;
    if (dx == 0) return dy > 0 ? 90 : 270;
    if (dx < 0) return g + 180;
    return g + 360;
}

bool ArcCentre(double x1, double y1, double x2, double y2, double r, double& cx, double& cy) {
    // Radius and half chord are compared as their texts would be, so a radius typed with the
    // precision of the half chord's display is never refused for a last-digit difference.
    for (double v : {x1, y1, x2, y2, r}) {
        if (!std::isfinite(v)) return false;
    }
    const double radius = RoundDecimals(std::fabs(r), 5);
    const double half = RoundDecimals(std::hypot(x2 - x1, y2 - y1) / 2, 5);
    if (radius < half) return false;

    double a = DirectionAngle(x1, y1, x2, y2);
    const double midX = x1 + half * CosDeg(a);
    const double midY = y1 + half * SinDeg(a);
    // Taken apart so that huge radii do not overflow when squared.
    const double k = std::sqrt(radius - half) * std::sqrt(radius + half);
    a += r > 0 ? 90 : -90;
    const double x = midX + k * CosDeg(a);
    const double y = midY + k * SinDeg(a);
    if (!std::isfinite(x) || !std::isfinite(y)) return false;
    cx = x;
    cy = y;
    return true;
}

float ArcSweep(float a1, float a2, bool clockwise) {
    const double from = a1;
    const double to = a2;
    double sweep = 0;
    if (!std::isfinite(from) || !std::isfinite(to)) return 0;
    if (clockwise) {
        sweep = from >= to ? from - to : 360 - to + from;
    } else {
        sweep = from < to ? to - from : 360 - from + to;
    }
    return static_cast<float>(sweep);
}

}  // namespace retracer
