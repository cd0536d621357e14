#include "drawing/finite_geometry.h"

#include <cmath>

namespace retracer {
namespace {

bool Finite(const Point3& p) {
    return std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z);
}

bool Radius(double r) {
    return std::isfinite(r) && r >= 0;
}

struct Check {
    bool operator()(const LineEntity& e) const { return Finite(e.start) && Finite(e.end); }
    bool operator()(const CircleEntity& e) const { return Finite(e.centre) && Radius(e.radius); }
    bool operator()(const ArcEntity& e) const {
        return Finite(e.centre) && Radius(e.radius) && std::isfinite(e.startAngle) &&
               std::isfinite(e.endAngle);
    }
    bool operator()(const TextEntity& e) const {
        return Finite(e.position) && std::isfinite(e.height) && std::isfinite(e.rotation);
    }
    bool operator()(const SolidEntity& e) const {
        for (const Point3& corner : e.corners) {
            if (!Finite(corner)) return false;
        }
        return true;
    }
    bool operator()(const PolylineEntity& e) const {
        for (const PolylineVertex& v : e.vertices) {
            if (!std::isfinite(v.x) || !std::isfinite(v.y) || !std::isfinite(v.z) ||
                !std::isfinite(v.bulge))
                return false;
        }
        return true;
    }
    bool operator()(const PointEntity& e) const { return Finite(e.position); }
    bool operator()(const InsertEntity& e) const {
        return Finite(e.position) && std::isfinite(e.scaleX) && std::isfinite(e.scaleY) &&
               std::isfinite(e.rotation);
    }
};

}  // namespace

bool IsFiniteGeometry(const EntityGeometry& geometry) {
    return std::visit(Check{}, geometry);
}

}  // namespace retracer
