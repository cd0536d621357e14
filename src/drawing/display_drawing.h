#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "drawing/drawing.h"

namespace retracer {

// The drawing as the viewer holds it: a compact copy of the drawing model for large files. Each
// entity is a fixed 24-byte record that names its layer by index into one layer table and finds
// its numbers in one shared array, so a drawing of a million entities costs a few dozen bytes
// per vertex instead of a string and a variant per entity.
//
// Numbers per kind, in `values` from `first`:
//   line      x1 y1 z1 x2 y2 z2             circle  cx cy cz r
//   arc       cx cy cz r start end (deg)    text    x y z height rotation  (aux: text index)
//   solid     4 x (x y z)                   point   x y z
//   polyline  count x (x y z bulge)         insert  x y z scaleX scaleY rotation (aux: block)
enum class DisplayKind : std::uint8_t {
    kLine,
    kCircle,
    kArc,
    kText,
    kSolid,
    kPolyline,
    kPoint,
    kInsert
};

struct DisplayEntity {
    DisplayKind kind = DisplayKind::kLine;
    bool closed = false;        // polylines only
    std::int16_t colour = 256;  // DXF colour index; 256 = by layer, 0 = by block
    std::uint32_t layer = 0;    // index into the layer table
    std::uint32_t count = 0;    // polyline vertices
    std::uint32_t aux = 0;      // text index or block index (kNoBlock: undefined block)
    std::uint64_t first = 0;    // first number in `values`
};

inline constexpr std::uint32_t kNoBlock = 0xFFFFFFFF;

struct DisplayLayer {
    std::string name;
    int colour = 7;
    bool visible = true;
};

struct DisplayBlock {
    std::string name;
    double baseX = 0;
    double baseY = 0;
    double baseZ = 0;
    std::vector<DisplayEntity> entities;
};

// An axis-aligned box in the XY plane; empty until something is added.
struct Box2 {
    double minX = 0;
    double minY = 0;
    double maxX = 0;
    double maxY = 0;
    bool empty = true;
    void Add(double x, double y);
    void Add(const Box2& other);
    double Width() const { return empty ? 0 : maxX - minX; }
    double Height() const { return empty ? 0 : maxY - minY; }
};

// A similarity transform: scale about the origin, rotate counter-clockwise, then move. A
// negative scale is refused by Transform (it would need arcs to turn the other way).
struct DisplayTransform {
    double scale = 1;
    double rotation = 0;  // degrees
    double dx = 0;
    double dy = 0;
};

class DisplayDrawing {
  public:
    std::vector<DisplayLayer> layers;
    std::vector<DisplayBlock> blocks;
    std::vector<DisplayEntity> entities;
    std::vector<double> values;
    std::vector<std::string> texts;

    // Replaces everything with `drawing`.
    void Assign(const Drawing& drawing);
    // Adds `drawing` moved by (dx, dy): layers of the same name are shared, blocks of a name
    // already defined keep the existing definition.
    void Append(const Drawing& drawing, double dx = 0, double dy = 0);
    // The drawing model again, for writing.
    Drawing ToDrawing() const;

    // Reads a DXF file, replacing the drawing or adding it at an offset. Plain files are
    // streamed in by QuickReadDxf, others read by ReadDxf; on failure the drawing is unchanged
    // and `error` says why.
    enum class ReadMode { kReplace, kAdd };
    bool Read(const std::filesystem::path& file, ReadMode mode, double dx, double dy,
              std::string& error);
    // Writes the drawing as DXF, replacing the file atomically.
    bool Save(const std::filesystem::path& file, std::string& error) const;

    bool Transform(const DisplayTransform& t);

    // The box around everything shown: geometry of hidden layers counts too.
    Box2 Extents() const;
    // The box of one entity (of the drawing or of a block), inserts resolved through their
    // block.
    Box2 EntityBox(const DisplayEntity& e) const;

    // Layer names in table order, each distinct name once.
    std::vector<std::string> LayerNames() const;
    // The number, from 1, of the first layer whose name equals `word` ignoring case; 0 if none.
    int FindLayer(std::string_view word) const;
    // Renames layer number `layer` (from FindLayer); when a layer of the new name exists the two
    // become one. Returns false, changing nothing, for a number outside the table or an empty
    // name.
    bool RenameLayer(int layer, std::string_view newName);
    // The index of the layer named exactly `name`, or -1.
    int LayerIndex(std::string_view name) const;

    std::size_t VertexCount() const;
    std::size_t MemoryBytes() const;
    void Clear();

  private:
    std::uint32_t LayerFor(const std::string& name);
    DisplayEntity Convert(const Entity& entity, double dx, double dy);
    Entity Back(const DisplayEntity& e) const;
    Box2 BoxOf(const DisplayEntity& e, int depth) const;
};

// The RGB value (0xRRGGBB) of a DXF colour index 1..255 from the standard colour table; any
// other index gives that of 7 (white).
std::uint32_t DxfColourRgb(int index);

// The arc of a polyline segment from (x1, y1) to (x2, y2) with bulge `bulge` (the tangent of a
// quarter of the included angle, positive counter-clockwise).
struct BulgeArc {
    double cx = 0;
    double cy = 0;
    double radius = 0;
    double startAngle = 0;  // degrees, at (x1, y1)
    double sweep = 0;       // degrees, signed
};
BulgeArc ArcOfBulge(double x1, double y1, double x2, double y2, double bulge);

}  // namespace retracer
