#pragma once

#include <array>
#include <string>
#include <variant>
#include <vector>

namespace retracer {

// The drawing model: plain values, shared by the DXF writer and reader, the viewer, the
// engraving and the finishing step. Coordinates are in drawing units, angles in degrees
// counter-clockwise from +X, colours are DXF colour indexes (256 = by layer).

struct Point3 {
    double x = 0;
    double y = 0;
    double z = 0;
    friend bool operator==(const Point3&, const Point3&) = default;
};

struct Layer {
    std::string name;
    int colour = 7;
    friend bool operator==(const Layer&, const Layer&) = default;
};

struct LineEntity {
    Point3 start;
    Point3 end;
    friend bool operator==(const LineEntity&, const LineEntity&) = default;
};

struct CircleEntity {
    Point3 centre;
    double radius = 0;
    friend bool operator==(const CircleEntity&, const CircleEntity&) = default;
};

struct ArcEntity {
    Point3 centre;
    double radius = 0;
    double startAngle = 0;
    double endAngle = 0;
    friend bool operator==(const ArcEntity&, const ArcEntity&) = default;
};

struct TextEntity {
    Point3 position;
    double height = 0;
    double rotation = 0;
    std::string text;  // UTF-8; line feeds only from multi-line texts of other programs
    friend bool operator==(const TextEntity&, const TextEntity&) = default;
};

// A four-corner filled area, corners in DXF order (the third and fourth are swapped against a
// walk around the outline).
struct SolidEntity {
    std::array<Point3, 4> corners;
    friend bool operator==(const SolidEntity&, const SolidEntity&) = default;
};

struct PolylineVertex {
    double x = 0;
    double y = 0;
    double z = 0;
    double bulge = 0;  // of the segment that starts at this vertex
    friend bool operator==(const PolylineVertex&, const PolylineVertex&) = default;
};

struct PolylineEntity {
    std::vector<PolylineVertex> vertices;
    bool closed = false;
    friend bool operator==(const PolylineEntity&, const PolylineEntity&) = default;
};

struct PointEntity {
    Point3 position;
    friend bool operator==(const PointEntity&, const PointEntity&) = default;
};

// A reference to a block, placed, scaled and rotated.
struct InsertEntity {
    std::string block;
    Point3 position;
    double scaleX = 1;
    double scaleY = 1;
    double rotation = 0;
    friend bool operator==(const InsertEntity&, const InsertEntity&) = default;
};

// What other DXF entities become when a file is read: LWPOLYLINE a polyline, MTEXT a text
// (formatting removed, paragraphs as line feeds), ELLIPSE and SPLINE polylines through points on
// the curve, TRACE a solid.
using EntityGeometry = std::variant<LineEntity, CircleEntity, ArcEntity, TextEntity, SolidEntity,
                                    PolylineEntity, PointEntity, InsertEntity>;

struct Entity {
    std::string layer;
    int colour = 256;
    EntityGeometry geometry;
    friend bool operator==(const Entity&, const Entity&) = default;
};

struct Block {
    std::string name;
    Point3 base;
    std::vector<Entity> entities;
    friend bool operator==(const Block&, const Block&) = default;
};

struct Drawing {
    std::vector<Layer> layers;
    std::vector<Block> blocks;
    std::vector<Entity> entities;
    friend bool operator==(const Drawing&, const Drawing&) = default;
};

}  // namespace retracer
