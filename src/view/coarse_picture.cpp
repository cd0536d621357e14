#include "view/coarse_picture.h"

#include <algorithm>
#include <cmath>

namespace retracer::view {

double CoarsePicture::CellFor(double unitsPerPixel) {
    if (!(unitsPerPixel > 0) || !std::isfinite(unitsPerPixel)) return 0;
    return std::exp2(std::floor(std::log2(unitsPerPixel)));
}

bool CoarsePicture::Reset(const Box2& extents, Key key, std::size_t maxCells) {
    if (extents.empty || !(key.cell > 0)) return false;
    // A cell of margin all round: box corners rounded outwards still land inside.
    const double cell = key.cell;
    const double left = std::floor(extents.minX / cell) - 1;
    const double bottom = std::floor(extents.minY / cell) - 1;
    const double columns = std::floor(extents.maxX / cell) + 2 - left;
    const double rows = std::floor(extents.maxY / cell) + 2 - bottom;
    if (!(columns * rows <= static_cast<double>(maxCells))) return false;
    Clear();
    originX_ = left * cell;
    originY_ = bottom * cell;
    columns_ = static_cast<int>(columns);
    rows_ = static_cast<int>(rows);
    cells_.assign(static_cast<std::size_t>(columns_) * static_cast<std::size_t>(rows_), 0);
    key_ = std::move(key);
    return true;
}

void CoarsePicture::Clear() {
    cells_.clear();
    cells_.shrink_to_fit();
    columns_ = rows_ = 0;
    key_ = Key();
}

Raster<std::uint8_t> CoarsePicture::CellRaster(int firstRow, int lastRow) {
    return Raster<std::uint8_t>(cells_.data(), columns_, QRect(0, 0, columns_, rows_), firstRow,
                                lastRow);
}

CoarsePicture::Transform CoarsePicture::CellTransform() const {
    const double scale = 1.0 / key_.cell;
    return {scale, -originX_ * scale, -originY_ * scale};
}

void CoarsePicture::Show(QImage& image, const QRect& clip, int firstRow, int lastRow,
                         const ViewState& view, const QRectF& device,
                         const std::array<QRgb, 256>& palette) const {
    if (cells_.empty()) return;
    const QRect area = clip & image.rect();
    firstRow = std::max(firstRow, area.top());
    lastRow = std::min(lastRow, area.bottom());
    if (area.isEmpty() || firstRow > lastRow) return;
    const double cell = key_.cell;
    // The device pixel holding the centre of column i / row j; both grow steadily with i and j
    // (x with i, y against j), so the columns that land in the clip are one run.
    const auto pixelX = [&](int i) {
        return static_cast<int>(std::floor(
            device.center().x() + (originX_ + (i + 0.5) * cell - view.centreX) * view.scale));
    };
    const auto pixelY = [&](int j) {
        return static_cast<int>(std::floor(
            device.center().y() - (originY_ + (j + 0.5) * cell - view.centreY) * view.scale));
    };
    const auto column = [&](double x) {
        return static_cast<int>(
            std::floor(((x - device.center().x()) / view.scale + view.centreX - originX_) / cell));
    };
    const auto row = [&](double y) {
        return static_cast<int>(
            std::floor(((device.center().y() - y) / view.scale + view.centreY - originY_) / cell));
    };
    int i0 = std::max(0, column(area.left()) - 1);
    int i1 = std::min(columns_ - 1, column(area.right() + 1.0) + 1);
    while (i0 <= i1 && pixelX(i0) < area.left()) ++i0;
    while (i1 >= i0 && pixelX(i1) > area.right()) --i1;
    int j0 = std::max(0, row(lastRow + 1.0) - 1);
    int j1 = std::min(rows_ - 1, row(firstRow) + 1);
    while (j0 <= j1 && pixelY(j0) > lastRow) ++j0;
    while (j1 >= j0 && pixelY(j1) < firstRow) --j1;
    if (i0 > i1 || j0 > j1) return;

    std::vector<int> xs(static_cast<std::size_t>(i1 - i0 + 1));
    for (int i = i0; i <= i1; ++i) xs[static_cast<std::size_t>(i - i0)] = pixelX(i);
    auto* bits = reinterpret_cast<QRgb*>(image.bits());
    const std::ptrdiff_t stride = image.bytesPerLine() / 4;
    const auto width = static_cast<std::size_t>(i1 - i0 + 1);
    for (int j = j0; j <= j1; ++j) {
        const int y = pixelY(j);
        if (y < firstRow || y > lastRow) continue;
        const std::uint8_t* source =
            cells_.data() + static_cast<std::size_t>(j) * static_cast<std::size_t>(columns_) +
            static_cast<std::size_t>(i0);
        QRgb* target = bits + static_cast<std::ptrdiff_t>(y) * stride;
        for (std::size_t k = 0; k < width; ++k) {
            if (source[k] != 0) target[xs[k]] = palette[source[k]];
        }
    }
}

}  // namespace retracer::view
