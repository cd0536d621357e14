#include "view/drawing_renderer.h"

#include <QFont>
#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>

#include <algorithm>
#include <array>
#include <cmath>
#include <optional>
#include <string>
#include <thread>

#include <boost/geometry.hpp>
#include <boost/geometry/index/rtree.hpp>

#include "view/coarse_picture.h"
#include "view/pixel_raster.h"

namespace retracer::view {
namespace {

namespace bg = boost::geometry;
namespace bgi = boost::geometry::index;

constexpr double kPi = 3.14159265358979323846;
constexpr double kDegree = kPi / 180.0;
constexpr int kMaxBlockDepth = 16;
// Views with this many entities are drawn on two threads.
constexpr std::size_t kParallelFrom = 20000;
// Curves are cut into chords that stray at most this far (device pixels) from the true curve;
// without antialiasing every point snaps to a pixel anyway, so the chords can be longer.
constexpr double kSmoothTolerance = 0.2;
constexpr double kSnappedTolerance = 0.6;
// Chords shorter than this many tolerances (along X plus along Y) are joined with the next.
constexpr double kShortChord = 2.0;
// With level of detail, entities whose box is narrower than this many cells of the coarse
// picture (a cell is one half to one pixel, so 16 to 32 pixels) are drawn into it, every point
// within a pixel of its exact place; wider ones are drawn exactly. Parts on a whole sheet of a
// thousand are about that wide, and their routes are most of the work of drawing it.
constexpr double kCoarseCells = 32;
// The coarse picture may have this many cells per device pixel; views closer in than that show
// too little of the drawing for it to pay, and are drawn exactly.
constexpr std::size_t kCoarseCellsPerPixel = 4;

using IndexPoint = bg::model::point<float, 2, bg::cs::cartesian>;
using IndexBox = bg::model::box<IndexPoint>;
using IndexValue = std::pair<IndexBox, std::uint32_t>;

// Float boxes halve the index; rounding them outwards keeps every entity inside its box.
IndexBox ToIndexBox(const Box2& b) {
    const auto down = [](double v) {
        const auto f = static_cast<float>(v);
        return static_cast<double>(f) > v ? std::nextafter(f, -INFINITY) : f;
    };
    const auto up = [](double v) {
        const auto f = static_cast<float>(v);
        return static_cast<double>(f) < v ? std::nextafter(f, INFINITY) : f;
    };
    return IndexBox(IndexPoint(down(b.minX), down(b.minY)), IndexPoint(up(b.maxX), up(b.maxY)));
}

// Drawing to device: x' = a x + c y + e, y' = b x + d y + f.
struct Affine {
    double a = 1, b = 0, c = 0, d = 1, e = 0, f = 0;
    QPointF Map(double x, double y) const { return {a * x + c * y + e, b * x + d * y + f}; }
    // The largest stretch, so that a length in drawing units is never under-estimated in
    // device pixels.
    double Stretch() const { return std::max(std::hypot(a, b), std::hypot(c, d)); }
    Affine Then(const Affine& o) const {  // apply this, then o
        return {o.a * a + o.c * b, o.b * a + o.d * b,       o.a * c + o.c * d,
                o.b * c + o.d * d, o.a * e + o.c * f + o.e, o.b * e + o.d * f + o.f};
    }
};

// Lines gathered per colour and drawn with one call each; dots likewise.
struct Batches {
    std::vector<std::pair<QRgb, std::vector<QLineF>>> lines;
    std::vector<std::pair<QRgb, std::vector<QPointF>>> dots;
    // On vector devices (PDF, SVG, printers) lines that meet end to start become one path, so
    // a polyline is written once rather than as separate strokes.
    std::vector<std::pair<QRgb, QPainterPath>> paths;
    template <typename T>
    static std::vector<T>& For(std::vector<std::pair<QRgb, std::vector<T>>>& list, QRgb colour) {
        for (auto& [c, items] : list) {
            if (c == colour) return items;
        }
        list.emplace_back(colour, std::vector<T>());
        return list.back().second;
    }
};

// Texts and solids go through the paint engine, which one thread at a time may use: while
// helper threads draw lines into the image, they wait here and are painted afterwards.
struct Deferred {
    bool text;
    QRgb colour;
    Affine m;
    const double* v;
    const std::string* words;
};

class Painter {
  public:
    Painter(const DisplayDrawing& drawing, QPainter& painter, const RenderOptions& options,
            Batches& batches, double tolerance)
        : drawing_(drawing),
          painter_(painter),
          options_(options),
          batches_(batches),
          tolerance_(tolerance) {
        contrast_ = DrawingRenderer::IndexColour(7, options.background).rgb();
        for (int i = 0; i < 256; ++i)
            palette_[static_cast<std::size_t>(i)] =
                DrawingRenderer::IndexColour(i, options.background).rgb();
    }

    void Entity(const DisplayEntity& e, const Affine& m, QRgb byBlock, int depth) {
        const DisplayLayer* layer =
            e.layer < drawing_.layers.size() ? &drawing_.layers[e.layer] : nullptr;
        if (layer != nullptr && !layer->visible) return;
        const QRgb colour = Colour(e.colour, layer, byBlock);
        const double* v = drawing_.values.data() + e.first;
        switch (e.kind) {
            case DisplayKind::kLine:
                Line(colour, m.Map(v[0], v[1]), m.Map(v[3], v[4]));
                break;
            case DisplayKind::kCircle:
                Arc(colour, m, v[0], v[1], v[3], 0, 360);
                break;
            case DisplayKind::kArc: {
                double sweep = std::fmod(v[5] - v[4], 360.0);
                if (sweep <= 0) sweep += 360.0;
                Arc(colour, m, v[0], v[1], v[3], v[4], sweep);
                break;
            }
            case DisplayKind::kText:
                Text(colour, m, v, drawing_.texts[e.aux]);
                break;
            case DisplayKind::kSolid:
                Solid(colour, m, v);
                break;
            case DisplayKind::kPolyline:
                Polyline(colour, m, v, e.count, e.closed);
                break;
            case DisplayKind::kPoint:
                Dot(colour, m.Map(v[0], v[1]));
                break;
            case DisplayKind::kInsert:
                Insert(e, m, colour, depth);
                break;
        }
    }

    void Dot(QRgb colour, QPointF p) {
        if (raster_ != nullptr) {
            raster_->Dot(p, colour);
        } else if (cells_ != nullptr) {
            cells_->Dot(p, static_cast<std::uint8_t>(colour));
        } else {
            Batches::For(batches_.dots, colour).push_back(p);
        }
    }
    void UseRaster(Raster<QRgb>* raster) { raster_ = raster; }
    // Lines and dots go into the coarse picture's cells, coloured by DXF colour index (the
    // background and black-and-white are applied when the cells are shown).
    void UseCells(Raster<std::uint8_t>* cells) {
        cells_ = cells;
        for (std::size_t i = 0; i < palette_.size(); ++i)
            palette_[i] = static_cast<QRgb>(i == 0 ? 7 : i);
        contrast_ = 7;
    }
    // Texts and solids are kept in `list` (or, with nullptr and `skip`, left to another thread)
    // instead of painted.
    void Defer(std::vector<Deferred>* list, bool skip) {
        defer_ = list;
        skipDeferred_ = skip;
    }
    void DrawDeferred(const Deferred& d) {
        if (d.text) {
            Text(d.colour, d.m, d.v, *d.words);
        } else {
            Solid(d.colour, d.m, d.v);
        }
    }

    QRgb Colour(int index, const DisplayLayer* layer, QRgb byBlock) const {
        if (options_.blackAndWhite) return contrast_;
        if (index == 0) return byBlock;
        if (index == 256 || index < 0 || index > 256)
            index = layer != nullptr ? std::abs(layer->colour) : 7;
        return palette_[static_cast<std::size_t>(std::clamp(index, 0, 255))];
    }

    void Flush() {
        for (auto& [colour, path] : batches_.paths) {
            painter_.setPen(QPen(QColor(colour), 0));
            painter_.drawPath(path);
        }
        batches_.paths.clear();
        for (auto& [colour, lines] : batches_.lines) {
            painter_.setPen(QPen(QColor(colour), 0));
            painter_.drawLines(lines.data(), static_cast<int>(lines.size()));
        }
        for (auto& [colour, dots] : batches_.dots) {
            painter_.setPen(QPen(QColor(colour), 0));
            painter_.drawPoints(dots.data(), static_cast<int>(dots.size()));
        }
        // Emptied, not freed: the next render fills the same memory.
        for (auto& [colour, lines] : batches_.lines) lines.clear();
        for (auto& [colour, dots] : batches_.dots) dots.clear();
    }

  private:
    void Line(QRgb colour, QPointF p, QPointF q) {
        if (raster_ != nullptr) {
            raster_->Line(p, q, colour);
        } else if (cells_ != nullptr) {
            cells_->Line(p, q, static_cast<std::uint8_t>(colour));
        } else if (vector_) {
            QPainterPath* path = nullptr;
            for (auto& [c, existing] : batches_.paths) {
                if (c == colour) path = &existing;
            }
            if (path == nullptr) path = &batches_.paths.emplace_back(colour, QPainterPath()).second;
            if (path->elementCount() == 0 || path->currentPosition() != p) path->moveTo(p);
            path->lineTo(q);
        } else {
            Batches::For(batches_.lines, colour).emplace_back(p, q);
        }
    }

  public:
    void UseVectorPaths(bool on) { vector_ = on; }

  private:
    // Chords around (cx, cy) from `start` through `sweep` degrees, both in drawing units.
    void Arc(QRgb colour, const Affine& m, double cx, double cy, double r, double start,
             double sweep) {
        Chords(colour, m, cx, cy, r * std::cos(start * kDegree), r * std::sin(start * kDegree), r,
               sweep * kDegree);
    }

    // Chords around (cx, cy) from the point (cx + ux, cy + uy) through `sweep` radians. Each
    // chord turns the last point by a fixed rotation, and chords shorter than about a pixel are
    // joined, so a curve costs what it shows.
    void Chords(QRgb colour, const Affine& m, double cx, double cy, double ux, double uy, double r,
                double sweep) {
        const double rPixels = r * m.Stretch();
        const double turn = std::fabs(sweep);
        int steps = 1;
        if (rPixels > tolerance_) {
            // The angle whose chord strays `tolerance_` from the arc: 2 acos(1 - t / r), close
            // to 2 sqrt(2 t / r) for the small angles that matter.
            const double step = 2.0 * std::sqrt(2.0 * tolerance_ / rPixels);
            steps = static_cast<int>(std::ceil(turn / step));
        }
        steps = std::clamp(steps, turn > 6 ? 3 : 1, 4096);
        const double da = sweep / steps;
        const double cosStep = std::cos(da);
        const double sinStep = std::sin(da);
        QPointF previous = m.Map(cx + ux, cy + uy);
        for (int i = 1; i <= steps; ++i) {
            const double nx = ux * cosStep - uy * sinStep;
            uy = ux * sinStep + uy * cosStep;
            ux = nx;
            const QPointF next = m.Map(cx + ux, cy + uy);
            if (i < steps &&
                std::fabs(next.x() - previous.x()) + std::fabs(next.y() - previous.y()) <
                    kShortChord * tolerance_)
                continue;
            Line(colour, previous, next);
            previous = next;
        }
    }

    void Polyline(QRgb colour, const Affine& m, const double* v, std::uint32_t count, bool closed) {
        if (count == 0) return;
        if (count == 1) {
            Dot(colour, m.Map(v[0], v[1]));
            return;
        }
        const std::uint32_t segments = closed ? count : count - 1;
        for (std::uint32_t i = 0; i < segments; ++i) {
            const double* p = v + 4 * i;
            const double* q = i + 1 == count ? v : p + 4;
            if (p[3] == 0 || (p[0] == q[0] && p[1] == q[1])) {
                Line(colour, m.Map(p[0], p[1]), m.Map(q[0], q[1]));
                continue;
            }
            BulgeChords(colour, m, p[0], p[1], q[0], q[1], p[3]);
        }
    }

    // A bulged segment halved until its pieces stray less than the tolerance from the arc.
    // Halving needs no angles: the arc's middle lies the sagitta (bulge x chord / 2) off the
    // chord's middle, and each half has the bulge b / (1 + sqrt(1 + b^2)).
    void BulgeChords(QRgb colour, const Affine& m, double x1, double y1, double x2, double y2,
                     double bulge) {
        const double stretch = m.Stretch();
        double chord = std::sqrt((x2 - x1) * (x2 - x1) + (y2 - y1) * (y2 - y1)) * stretch;
        double b = std::fabs(bulge);
        int levels = 0;
        while (b * chord / 2 > tolerance_ && levels < 12) {
            chord = chord / 2 * std::sqrt(1 + b * b);
            b = b / (1 + std::sqrt(1 + b * b));
            ++levels;
        }
        Halve(colour, m, x1, y1, x2, y2, bulge, levels);
    }

    void Halve(QRgb colour, const Affine& m, double x1, double y1, double x2, double y2,
               double bulge, int levels) {
        if (levels == 0) {
            Line(colour, m.Map(x1, y1), m.Map(x2, y2));
            return;
        }
        // Positive bulges turn counter-clockwise: the arc lies right of the way from 1 to 2.
        const double mx = (x1 + x2) / 2 + bulge / 2 * (y2 - y1);
        const double my = (y1 + y2) / 2 - bulge / 2 * (x2 - x1);
        const double half = bulge / (1 + std::sqrt(1 + bulge * bulge));
        Halve(colour, m, x1, y1, mx, my, half, levels - 1);
        Halve(colour, m, mx, my, x2, y2, half, levels - 1);
    }

    void Solid(QRgb colour, const Affine& m, const double* v) {
        if (defer_ != nullptr || skipDeferred_) {
            if (defer_ != nullptr) defer_->push_back({false, colour, m, v, nullptr});
            return;
        }
        // DXF corner order: 1, 2, 4, 3 walks round the outline.
        const QPolygonF outline(
            {m.Map(v[0], v[1]), m.Map(v[3], v[4]), m.Map(v[9], v[10]), m.Map(v[6], v[7])});
        painter_.setPen(QPen(QColor(colour), 0));
        painter_.setBrush(QColor(colour));
        painter_.drawPolygon(outline);
        painter_.setBrush(Qt::NoBrush);
    }

    void Text(QRgb colour, const Affine& m, const double* v, const std::string& text) {
        const double heightPixels = v[3] * m.Stretch();
        if (heightPixels < 1.5 || text.empty()) {
            Dot(colour, m.Map(v[0], v[1]));
            return;
        }
        if (defer_ != nullptr || skipDeferred_) {
            if (defer_ != nullptr) defer_->push_back({true, colour, m, v, &text});
            return;
        }
        if (!fontReady_) {
            font_ = QFont(QStringLiteral("DejaVu Sans"));
            font_.setPixelSize(100);
            font_.setStyleHint(QFont::SansSerif);
            capHeight_ = QFontMetricsF(font_, painter_.device()).capHeight();
            if (capHeight_ <= 0) capHeight_ = 70;
            fontReady_ = true;
        }
        // The text's own frame: its insertion point at the origin, its baseline along +X.
        const double angle = v[4] * kDegree;
        const double unit = v[3] / capHeight_;  // drawing units per font pixel
        const double ca = std::cos(angle) * unit;
        const double sa = std::sin(angle) * unit;
        // Font Y points down; drawing Y up.
        const Affine local{ca, sa, sa, -ca, v[0], v[1]};
        const Affine full = local.Then(m);
        painter_.save();
        painter_.setTransform(QTransform(full.a, full.b, full.c, full.d, full.e, full.f), true);
        painter_.setFont(font_);
        painter_.setPen(QColor(colour));
        const QString all = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
        const QStringList lines = all.split(QLatin1Char('\n'));
        const double lineStep = capHeight_ * 5.0 / 3.0;
        for (qsizetype i = 0; i < lines.size(); ++i)
            painter_.drawText(QPointF(0, static_cast<double>(i) * lineStep), lines[i]);
        painter_.restore();
    }

    void Insert(const DisplayEntity& e, const Affine& m, QRgb colour, int depth) {
        if (e.aux >= drawing_.blocks.size() || depth >= kMaxBlockDepth) return;
        const DisplayBlock& block = drawing_.blocks[e.aux];
        const double* v = drawing_.values.data() + e.first;
        const double c = std::cos(v[5] * kDegree);
        const double s = std::sin(v[5] * kDegree);
        // Block to drawing: move the base to the origin, scale, rotate, move to the insert.
        const Affine toBase{1, 0, 0, 1, -block.baseX, -block.baseY};
        const Affine scaleRotate{c * v[3], s * v[3], -s * v[4], c * v[4], v[0], v[1]};
        const Affine inner = toBase.Then(scaleRotate).Then(m);
        for (const DisplayEntity& child : block.entities) Entity(child, inner, colour, depth + 1);
    }

    const DisplayDrawing& drawing_;
    QPainter& painter_;
    const RenderOptions& options_;
    std::array<QRgb, 256> palette_{};
    QRgb contrast_ = 0;
    Batches& batches_;
    double tolerance_;
    Raster<QRgb>* raster_ = nullptr;
    Raster<std::uint8_t>* cells_ = nullptr;
    bool vector_ = false;
    std::vector<Deferred>* defer_ = nullptr;
    bool skipDeferred_ = false;
    QFont font_;
    double capHeight_ = 0;
    bool fontReady_ = false;
};

double BoxSize(const IndexBox& b) {
    return std::max(b.max_corner().get<0>() - b.min_corner().get<0>(),
                    b.max_corner().get<1>() - b.min_corner().get<1>());
}

QPointF BoxCentre(const IndexBox& b) {
    return {(b.min_corner().get<0>() + b.max_corner().get<0>()) / 2.0,
            (b.min_corner().get<1>() + b.max_corner().get<1>()) / 2.0};
}

// Whether an entity is shown by a coarse picture of cells `cell` wide: anything narrower than
// a cell (a dot either way), and lines and curves narrower than kCoarseCells cells. Texts only
// while too small to be written out; solids and inserts, which the paint engine fills, are
// drawn exactly.
bool InCoarsePicture(const DisplayDrawing& drawing, const IndexValue& v, double cell) {
    const double size = BoxSize(v.first);
    if (size < cell) return true;
    if (size >= kCoarseCells * cell) return false;
    const DisplayEntity& e = drawing.entities[v.second];
    switch (e.kind) {
        case DisplayKind::kLine:
        case DisplayKind::kCircle:
        case DisplayKind::kArc:
        case DisplayKind::kPolyline:
        case DisplayKind::kPoint:
            return true;
        case DisplayKind::kText:
            return drawing.values[e.first + 3] < 1.5 * cell;
        case DisplayKind::kSolid:
        case DisplayKind::kInsert:
            return false;
    }
    return false;
}

// Draws the entities the picture shows into its cells, in file order, so the last entity
// through a cell gives its colour as it would on screen. Two threads share the work, each
// writing its half of the rows.
void DrawCoarsePicture(const DisplayDrawing& drawing, const std::vector<IndexValue>& byId,
                       CoarsePicture& picture, QPainter& painter, const RenderOptions& options) {
    RenderOptions indexed = options;
    indexed.blackAndWhite = false;  // applied when the cells are shown
    const CoarsePicture::Transform t = picture.CellTransform();
    const Affine toCells{t.scale, 0, 0, t.scale, t.dx, t.dy};
    constexpr QRgb kByBlock = 7;
    const double cell = 1.0 / t.scale;
    const auto draw = [&](int firstRow, int lastRow) {
        Batches unused;
        Raster<std::uint8_t> cells = picture.CellRaster(firstRow, lastRow);
        // Cells are no wider than a pixel, so chords straying a little over half a cell stray
        // no further than they do when drawn exactly.
        Painter on(drawing, painter, indexed, unused, kSnappedTolerance);
        on.UseCells(&cells);
        for (const IndexValue& v : byId) {
            const double bottom = toCells.f + toCells.d * v.first.min_corner().get<1>();
            const double top = toCells.f + toCells.d * v.first.max_corner().get<1>();
            if (top < firstRow - 1 || bottom > lastRow + 1) continue;
            if (!InCoarsePicture(drawing, v, cell)) continue;
            const DisplayEntity& e = drawing.entities[v.second];
            if (BoxSize(v.first) >= cell) {
                on.Entity(e, toCells, kByBlock, 0);
                continue;
            }
            const DisplayLayer* layer =
                e.layer < drawing.layers.size() ? &drawing.layers[e.layer] : nullptr;
            if (layer != nullptr && !layer->visible) continue;
            const QPointF centre = BoxCentre(v.first);
            on.Dot(on.Colour(e.colour, layer, kByBlock), toCells.Map(centre.x(), centre.y()));
        }
    };
    const int half = picture.Rows() / 2;
    if (half > 0 && std::thread::hardware_concurrency() >= 2) {
        std::thread worker([&] { draw(half, picture.Rows() - 1); });
        draw(0, half - 1);
        worker.join();
    } else {
        draw(0, picture.Rows() - 1);
    }
}

}  // namespace

struct DrawingRenderer::Index {
    bgi::rtree<IndexValue, bgi::quadratic<16>> tree;
    std::vector<IndexValue> byId;  // the same boxes in file order
    Batches batches;
    std::vector<IndexValue> found;
    CoarsePicture coarse;
};

QPointF ToDevice(const ViewState& view, const QRectF& device, double x, double y) {
    return {device.center().x() + (x - view.centreX) * view.scale,
            device.center().y() - (y - view.centreY) * view.scale};
}

QPointF ToDrawing(const ViewState& view, const QRectF& device, QPointF p) {
    return {view.centreX + (p.x() - device.center().x()) / view.scale,
            view.centreY - (p.y() - device.center().y()) / view.scale};
}

Box2 VisibleBox(const ViewState& view, const QRectF& device) {
    Box2 box;
    const QPointF a = ToDrawing(view, device, device.topLeft());
    const QPointF b = ToDrawing(view, device, device.bottomRight());
    box.Add(a.x(), a.y());
    box.Add(b.x(), b.y());
    return box;
}

ViewState FitBox(const Box2& box, const QRectF& device, double percent) {
    ViewState view;
    if (box.empty) return view;
    view.centreX = (box.minX + box.maxX) / 2;
    view.centreY = (box.minY + box.maxY) / 2;
    const double fraction = std::max(percent, 1.0) / 100.0;
    const double sx = box.Width() > 0 ? device.width() * fraction / box.Width() : 0;
    const double sy = box.Height() > 0 ? device.height() * fraction / box.Height() : 0;
    if (sx > 0 && sy > 0) {
        view.scale = std::min(sx, sy);
    } else if (sx > 0 || sy > 0) {
        view.scale = std::max(sx, sy);
    }
    return view;
}

QColor DrawingRenderer::IndexColour(int index, const QColor& background) {
    const bool light = background.lightnessF() > 0.5;
    if (index == 7 || index == 0 || index == 256) return QColor(light ? Qt::black : Qt::white);
    return QColor(static_cast<QRgb>(0xFF000000u | DxfColourRgb(index)));
}

DrawingRenderer::DrawingRenderer(const DisplayDrawing& drawing)
    : drawing_(drawing), index_(std::make_unique<Index>()) {
    Rebuild();
}

DrawingRenderer::~DrawingRenderer() = default;

void DrawingRenderer::Rebuild() {
    std::vector<IndexValue> values;
    values.reserve(drawing_.entities.size());
    extents_ = Box2();
    for (std::size_t i = 0; i < drawing_.entities.size(); ++i) {
        const Box2 box = drawing_.EntityBox(drawing_.entities[i]);
        if (box.empty) continue;
        extents_.Add(box);
        values.emplace_back(ToIndexBox(box), static_cast<std::uint32_t>(i));
    }
    // The packing constructor builds a balanced tree in one pass.
    index_->tree = decltype(index_->tree)(values.begin(), values.end());
    index_->byId = std::move(values);
    index_->coarse.Clear();
}

RenderStats DrawingRenderer::Render(QPainter& painter, const QRectF& device, const ViewState& view,
                                    const RenderOptions& options) const {
    RenderStats stats;
    painter.save();
    painter.fillRect(device, options.background);
    painter.setClipRect(device);
    const Box2 visible = VisibleBox(view, device);
    std::vector<IndexValue>& found = index_->found;
    found.clear();
    const IndexBox query = ToIndexBox(visible);
    // Entities are drawn in file order, as the file stacks them. A view of much of the drawing
    // takes one pass over the boxes in that order; a closer one asks the tree and sorts.
    if (visible.Width() * visible.Height() * 8 >= extents_.Width() * extents_.Height()) {
        for (const IndexValue& v : index_->byId) {
            if (bg::intersects(v.first, query)) found.push_back(v);
        }
    } else {
        index_->tree.query(bgi::intersects(query), std::back_inserter(found));
        std::sort(found.begin(), found.end(),
                  [](const IndexValue& a, const IndexValue& b) { return a.second < b.second; });
    }
    stats.candidates = found.size();
    const bool smooth = options.antialias && found.size() <= options.antialiasLimit;
    painter.setRenderHint(QPainter::Antialiasing, smooth);
    painter.setRenderHint(QPainter::TextAntialiasing, options.antialias);

    const Affine toDevice{view.scale,
                          0,
                          0,
                          -view.scale,
                          device.center().x() - view.centreX * view.scale,
                          device.center().y() + view.centreY * view.scale};
    Painter draw(drawing_, painter, options, index_->batches,
                 (smooth ? kSmoothTolerance : kSnappedTolerance) * options.pixelSize);
    // Unsmoothed onto an image with nothing between the painter and its pixels: lines go
    // straight into the image.
    auto* image = painter.device()->devType() == QInternal::Image
                      ? static_cast<QImage*>(painter.device())
                      : nullptr;
    std::optional<Raster<QRgb>> raster;
    QRect all;
    if (!smooth && image != nullptr && painter.transform().isIdentity() &&
        (image->format() == QImage::Format_RGB32 || image->format() == QImage::Format_ARGB32 ||
         image->format() == QImage::Format_ARGB32_Premultiplied) &&
        image->devicePixelRatio() == 1.0) {
        all = device.toAlignedRect() & image->rect();
        raster.emplace(ImageRaster(*image, all, all.top(), all.bottom()));
        draw.UseRaster(&*raster);
    }
    draw.UseVectorPaths(image == nullptr && painter.device()->devType() != QInternal::Widget &&
                        painter.device()->devType() != QInternal::Pixmap);

    // Level of detail: the small entities come from the coarse picture of this zoom band
    // (drawn now if it is missing or out of date), the rest are drawn exactly over it.
    const CoarsePicture* coarse = nullptr;
    std::array<QRgb, 256> coarsePalette{};
    if (raster && options.levelOfDetail && !found.empty()) {
        CoarsePicture::Key key;
        key.cell = CoarsePicture::CellFor(1.0 / view.scale);
        key.layers.reserve(drawing_.layers.size());
        for (const DisplayLayer& l : drawing_.layers) key.layers.emplace_back(l.visible, l.colour);
        CoarsePicture& picture = index_->coarse;
        const std::size_t maxCells =
            std::max<std::size_t>(kCoarseCellsPerPixel * static_cast<std::size_t>(all.width()) *
                                      static_cast<std::size_t>(all.height()),
                                  std::size_t{1} << 16);
        if (picture.Holds(key)) {
            coarse = &picture;
        } else if (picture.Reset(extents_, key, maxCells)) {
            DrawCoarsePicture(drawing_, index_->byId, picture, painter, options);
            coarse = &picture;
        }
        if (coarse != nullptr) {
            const double cell = key.cell;
            const auto shown = std::remove_if(found.begin(), found.end(), [&](const IndexValue& v) {
                return InCoarsePicture(drawing_, v, cell);
            });
            stats.coarse = static_cast<std::size_t>(found.end() - shown);
            found.erase(shown, found.end());
            const QRgb ink = DrawingRenderer::IndexColour(7, options.background).rgb();
            for (std::size_t i = 1; i < coarsePalette.size(); ++i)
                coarsePalette[i] =
                    options.blackAndWhite
                        ? ink
                        : DrawingRenderer::IndexColour(static_cast<int>(i), options.background)
                              .rgb();
        }
    }
    const QRgb noBlock = DrawingRenderer::IndexColour(7, options.background).rgb();
    // Draws the entities that reach the rows from `firstRow` to `lastRow`; the thread that
    // keeps the texts and solids for later also passes them on from elsewhere.
    const auto traverse = [&](Painter& on, RenderStats* counts, double firstRow, double lastRow,
                              bool keepsDeferred) {
        for (const IndexValue& item : found) {
            const DisplayEntity& e = drawing_.entities[item.second];
            const IndexBox& b = item.first;
            const double size = BoxSize(b) * view.scale;
            const double top = toDevice.f + toDevice.d * b.max_corner().get<1>();
            const double bottom = toDevice.f + toDevice.d * b.min_corner().get<1>();
            const bool elsewhere = bottom < firstRow - 1 || top > lastRow + 1;
            if (size < options.pixelSize) {
                // Smaller than a pixel: its position is all that can be seen.
                if (counts != nullptr) ++counts->dots;
                if (elsewhere) continue;
                const DisplayLayer* layer =
                    e.layer < drawing_.layers.size() ? &drawing_.layers[e.layer] : nullptr;
                if (layer != nullptr && !layer->visible) continue;
                const QPointF centre = BoxCentre(b);
                on.Dot(on.Colour(e.colour, layer, noBlock), toDevice.Map(centre.x(), centre.y()));
                continue;
            }
            if (counts != nullptr) ++counts->drawn;
            const bool deferrable = e.kind == DisplayKind::kText || e.kind == DisplayKind::kSolid ||
                                    e.kind == DisplayKind::kInsert;
            if (elsewhere && !(keepsDeferred && deferrable)) continue;
            on.Entity(e, toDevice, noBlock, 0);
        }
    };
    const auto showCoarse = [&](int firstRow, int lastRow) {
        if (coarse != nullptr)
            coarse->Show(*image, all, firstRow, lastRow, view, device, coarsePalette);
    };
    constexpr double kAllRows = 1e300;
    if (raster && (found.size() >= kParallelFrom || coarse != nullptr) &&
        std::thread::hardware_concurrency() >= 2) {
        // A busy view on two threads: each draws every entity, clipped to its half of the image.
        QRect top = all;
        top.setHeight(all.height() / 2);
        QRect bottom = all;
        bottom.setTop(top.bottom() + 1);
        Raster<QRgb> upper = ImageRaster(*image, all, top.top(), top.bottom());
        Raster<QRgb> lower = ImageRaster(*image, all, bottom.top(), bottom.bottom());
        Batches unused;
        Painter helper(drawing_, painter, options, unused, kSnappedTolerance * options.pixelSize);
        helper.UseRaster(&lower);
        helper.Defer(nullptr, true);
        std::vector<Deferred> deferred;
        draw.UseRaster(&upper);
        draw.Defer(&deferred, false);
        std::thread worker([&] {
            showCoarse(bottom.top(), bottom.bottom());
            traverse(helper, nullptr, bottom.top(), bottom.bottom(), false);
        });
        showCoarse(top.top(), top.bottom());
        traverse(draw, &stats, top.top(), top.bottom(), true);
        worker.join();
        draw.Defer(nullptr, false);
        for (const Deferred& d : deferred) draw.DrawDeferred(d);
    } else {
        if (raster) showCoarse(all.top(), all.bottom());
        traverse(draw, &stats, -kAllRows, kAllRows, true);
    }
    draw.Flush();
    painter.restore();
    return stats;
}

}  // namespace retracer::view
