#pragma once

#include <QImage>
#include <QRect>
#include <QRectF>

#include <array>
#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

#include "drawing/display_drawing.h"
#include "view/drawing_renderer.h"
#include "view/pixel_raster.h"

namespace retracer::view {

// The drawing's small entities drawn once into a grid of square cells, one byte each: 0 where
// nothing passes, else the DXF colour index of the last entity through the cell. A view whose
// pixel is one to two cells wide shows the grid by copying each occupied cell to the pixel its
// centre falls in, so a view of a million tiny entities costs a few million byte reads instead
// of a visit to each. Cells are a power of two drawing units wide: one grid serves every view
// of its zoom band, wherever it is panned.
class CoarsePicture {
  public:
    // What the cells were drawn with; when any of it changes they must be drawn again.
    struct Key {
        double cell = 0;                           // drawing units
        std::vector<std::pair<bool, int>> layers;  // each layer's visibility and colour
        friend bool operator==(const Key&, const Key&) = default;
    };

    // The cell size for views showing `unitsPerPixel` drawing units per pixel: the power of two
    // at or just below it, so a pixel spans one to two cells and no detail falls between them.
    static double CellFor(double unitsPerPixel);

    // Empty cells over `extents` for `key`. Refuses, keeping what it holds, when that takes
    // more than `maxCells`.
    bool Reset(const Box2& extents, Key key, std::size_t maxCells);
    void Clear();
    bool Holds(const Key& key) const { return !cells_.empty() && key == key_; }

    // The cells as a raster writing the rows from `firstRow` to `lastRow`, drawing X and Y
    // mapped to cell column and row by CellTransform.
    Raster<std::uint8_t> CellRaster(int firstRow, int lastRow);
    // Drawing to cell coordinates: x' = sx x + ox, y' = sy y + oy (rows grow with Y).
    struct Transform {
        double scale, dx, dy;
    };
    Transform CellTransform() const;

    // Copies the occupied cells into the rows `firstRow` to `lastRow` of `clip` in a 32-bit
    // image showing `view` on `device`, colour index k painted palette[k].
    void Show(QImage& image, const QRect& clip, int firstRow, int lastRow, const ViewState& view,
              const QRectF& device, const std::array<QRgb, 256>& palette) const;

    std::size_t MemoryBytes() const { return cells_.capacity(); }
    int Columns() const { return columns_; }
    int Rows() const { return rows_; }

  private:
    Key key_;
    double originX_ = 0;  // drawing point of the first cell's corner
    double originY_ = 0;
    int columns_ = 0;
    int rows_ = 0;
    std::vector<std::uint8_t> cells_;  // rows from the bottom of the drawing up
};

}  // namespace retracer::view
