#pragma once

#include <QImage>
#include <QPointF>
#include <QRect>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>

namespace retracer::view {

// Thin lines and dots written straight into a pixel buffer, for views too busy to smooth: a
// line costs a few nanoseconds per pixel instead of a trip through the paint engine, and is
// drawn at once, so entities stack in file order. `Pixel` is QRgb for a 32-bit image, or one
// byte (a colour index) for the coarse picture of a drawing.
template <typename Pixel>
class Raster {
  public:
    // `bits` holds rows of `stride` pixels; `clip` must lie inside the buffer. Lines are traced
    // across `clip` but only the rows from `firstRow` to `lastRow` are written, so threads
    // sharing the buffer trace every line exactly alike.
    Raster(Pixel* bits, std::ptrdiff_t stride, const QRect& clip, int firstRow, int lastRow)
        : bits_(bits), stride_(stride), clip_(clip), firstRow_(firstRow), lastRow_(lastRow) {}

    void Dot(QPointF p, Pixel colour) {
        const int x = static_cast<int>(std::floor(p.x()));
        const int y = static_cast<int>(std::floor(p.y()));
        if (clip_.contains(x, y) && y >= firstRow_ && y <= lastRow_)
            bits_[y * stride_ + x] = colour;
    }

    void Line(QPointF a, QPointF b, Pixel colour) {
        // Liang-Barsky clipping to the pixel area, then Bresenham.
        double x0 = a.x(), y0 = a.y(), x1 = b.x(), y1 = b.y();
        const double left = clip_.left(), right = clip_.right() + 1.0 - 1e-9;
        const double top = clip_.top(), bottom = clip_.bottom() + 1.0 - 1e-9;
        double t0 = 0, t1 = 1;
        const double dx = x1 - x0, dy = y1 - y0;
        const auto edge = [&](double p, double q) {
            if (p == 0) return q >= 0;
            const double t = q / p;
            if (p < 0) {
                if (t > t1) return false;
                t0 = std::max(t0, t);
            } else {
                if (t < t0) return false;
                t1 = std::min(t1, t);
            }
            return true;
        };
        // Rows another thread writes are left at once; a line inside the clip, as most are,
        // needs no clipping (which would leave it as it is).
        if (std::max(y0, y1) < firstRow_ || std::min(y0, y1) >= lastRow_ + 1.0) return;
        const bool inside = std::min(x0, x1) >= left && std::max(x0, x1) <= right &&
                            std::min(y0, y1) >= top && std::max(y0, y1) <= bottom;
        if (!inside) {
            if (!edge(-dx, x0 - left) || !edge(dx, right - x0) || !edge(-dy, y0 - top) ||
                !edge(dy, bottom - y0)) {
                return;
            }
            x1 = x0 + t1 * dx;
            y1 = y0 + t1 * dy;
            x0 += t0 * dx;
            y0 += t0 * dy;
        }
        const int ix = static_cast<int>(std::floor(x0)), iy = static_cast<int>(std::floor(y0));
        const int ex = static_cast<int>(std::floor(x1)), ey = static_cast<int>(std::floor(y1));
        if (std::max(iy, ey) < firstRow_ || std::min(iy, ey) > lastRow_) return;
        const int adx = std::abs(ex - ix), ady = std::abs(ey - iy);
        const int rowStep = iy < ey ? 1 : -1;
        const std::ptrdiff_t stepX = ix < ex ? 1 : -1;
        const std::ptrdiff_t stepY = iy < ey ? stride_ : -stride_;
        Pixel* pixel = bits_ + static_cast<std::ptrdiff_t>(iy) * stride_ + ix;
        int row = iy;
        // Bresenham along the longer axis, a step across whenever the error runs out.
        if (adx >= ady) {
            int error = adx / 2;
            for (int i = 0; i <= adx; ++i, pixel += stepX) {
                if (row >= firstRow_ && row <= lastRow_) *pixel = colour;
                error -= ady;
                if (error < 0) {
                    pixel += stepY;
                    row += rowStep;
                    error += adx;
                }
            }
        } else {
            int error = ady / 2;
            for (int i = 0; i <= ady; ++i, pixel += stepY, row += rowStep) {
                if (row >= firstRow_ && row <= lastRow_) *pixel = colour;
                error -= adx;
                if (error < 0) {
                    pixel += stepX;
                    error += ady;
                }
            }
        }
    }

  private:
    Pixel* bits_;
    std::ptrdiff_t stride_;
    QRect clip_;
    int firstRow_;
    int lastRow_;
};

// A raster over the pixels of a 32-bit image.
inline Raster<QRgb> ImageRaster(QImage& image, const QRect& clip, int firstRow, int lastRow) {
    return Raster<QRgb>(reinterpret_cast<QRgb*>(image.bits()), image.bytesPerLine() / 4,
                        clip & image.rect(), firstRow, lastRow);
}

}  // namespace retracer::view
