#pragma once

#include <functional>
#include <iosfwd>
#include <limits>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "drawing/drawing.h"

namespace retracer {

// The box around everything a drawing shows: line and polyline points (bulged segments with
// their arcs), circles and arcs, text insertion points, solid corners and inserted blocks.
struct Extents {
    Point3 min;
    Point3 max;
    bool empty = true;  // nothing with a position; min and max are then zero
};
Extents DrawingExtents(const Drawing& drawing);

// Writes `drawing` as an ASCII DXF of release 12 (AC1009), the version nesting and CNC software
// reads most widely: HEADER ($ACADVER, $DWGCODEPAGE, $INSBASE, $EXTMIN, $EXTMAX), TABLES (LTYPE
// CONTINUOUS, LAYER with "0" and every layer used, STYLE STANDARD), BLOCKS, ENTITIES and EOF.
// Lines end in LF. The output is plain ASCII whatever the model holds:
// - texts: a character outside ASCII becomes \U+XXXX (a surrogate pair beyond U+FFFF), a
//   control character caret notation ("^J"), and a caret itself "^ ";
// - layer and block names: characters DXF forbids in names (<>/\":;?*|=` and controls) become
//   "_", other characters outside ASCII are written in Windows-1252 ("_" if it has none),
//   an empty name becomes "0"; names that then differ only in case share one table entry.
// Polyline vertices carry their Z in group 30 and a non-zero bulge in group 42; the POLYLINE
// header stays at zero. Non-finite numbers are written as 0. Large drawings are formatted on
// several threads; the text is the same.
void WriteDxf(const Drawing& drawing, std::ostream& out);

// The same text handed to `sink` in pieces as it is formatted, so a large drawing never has to
// be held as one text; a sink that returns false gets nothing more. Returns what the sink last
// returned.
bool WriteDxf(const Drawing& drawing, const std::function<bool(std::string_view)>& sink);

// The same text as WriteDxf, as one string.
std::string DxfText(const Drawing& drawing);

// Writing a drawing too large to hold, in three parts: the head (header, tables, an empty blocks
// section and the start of the entities section), the entities formatted in runs as they come,
// and the tail. For a drawing of `layers`, no blocks and entities whose layers are all among
// `layers`, the head, the runs' texts in order and DxfTail() make exactly the text WriteDxf
// writes, given the extents an ExtentsAccumulator collected over the same entities.
bool WriteDxfHead(const std::vector<Layer>& layers, const Extents& extents,
                  const std::function<bool(std::string_view)>& sink);
std::string_view DxfTail();

// The extents of entities handed over in runs, in drawing order.
class ExtentsAccumulator {
  public:
    void Add(const std::vector<Entity>& entities);
    Extents Result() const;

  private:
    static constexpr double kInf = std::numeric_limits<double>::infinity();
    double min_[3] = {kInf, kInf, kInf};
    double max_[3] = {-kInf, -kInf, -kInf};
};

// Entity records as WriteDxf writes them. It keeps small caches between runs, so each thread
// formats with its own.
class DxfEntityFormatter {
  public:
    DxfEntityFormatter();
    ~DxfEntityFormatter();
    DxfEntityFormatter(const DxfEntityFormatter&) = delete;
    DxfEntityFormatter& operator=(const DxfEntityFormatter&) = delete;

    // Appends the records of `entities` to `text`.
    void Append(const std::vector<Entity>& entities, std::string& text);

  private:
    struct Parts;
    std::unique_ptr<Parts> parts_;
};

// The text a real number is written as: the shortest decimal that reads back as the same double,
// without exponent between 1e-5 and 1e15, always with a decimal point or an exponent ("12.0",
// "0.3", "-1e-07"), independent of the locale.
std::string DxfRealText(double value);

}  // namespace retracer
