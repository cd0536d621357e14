#pragma once

#include <QColor>
#include <QPointF>
#include <QRectF>

#include <cstddef>
#include <memory>
#include <vector>

#include "drawing/display_drawing.h"

class QPainter;

namespace retracer::view {

// Which part of the drawing a device shows: the drawing point at the centre of the device and
// the device pixels per drawing unit. Drawing Y points up, device Y down.
struct ViewState {
    double centreX = 0;
    double centreY = 0;
    double scale = 1;
    friend bool operator==(const ViewState&, const ViewState&) = default;
};

QPointF ToDevice(const ViewState& view, const QRectF& device, double x, double y);
QPointF ToDrawing(const ViewState& view, const QRectF& device, QPointF devicePoint);
// The drawing area a device shows.
Box2 VisibleBox(const ViewState& view, const QRectF& device);
// The view showing `box` in the middle of `device`, filling `percent` percent of its width or
// height, whichever is tighter. An empty box (or a single point) keeps a scale of one pixel per
// unit around its centre.
ViewState FitBox(const Box2& box, const QRectF& device, double percent);

struct RenderOptions {
    QColor background = Qt::black;
    bool blackAndWhite = false;  // every entity in the colour that stands out from the background
    // Smooth edges; a drawing with very many visible entities is drawn without them, so that a
    // redraw stays fast.
    bool antialias = true;
    std::size_t antialiasLimit = 20000;
    // The smallest detail worth drawing, in device units: a pixel on screen; on paper, where a
    // device unit is far finer, about a tenth of a millimetre. Entities smaller than this are
    // dots and curves are cut into chords that stray a fraction of it.
    double pixelSize = 1.0;
    // Level of detail: an unsmoothed view on a 32-bit image shows the lines and curves under
    // 16 to 32 pixels wide from a coarse picture drawn once per zoom band (see CoarsePicture),
    // within a pixel of where they are drawn exactly; wider entities are still drawn exactly.
    bool levelOfDetail = true;
};

// What one render did, for tests and the benchmark.
struct RenderStats {
    std::size_t candidates = 0;  // entities the spatial index found in view
    std::size_t drawn = 0;       // drawn in full
    std::size_t dots = 0;        // smaller than a pixel, drawn as a dot
    std::size_t coarse = 0;      // shown by the coarse picture
};

// Draws a DisplayDrawing with QPainter on any device (screen, image, PDF, SVG, printer). It
// keeps a spatial index of the entities' boxes, so a zoomed-in view only visits what it shows,
// and draws entities smaller than a pixel as dots. Busy views on a 32-bit image are written
// straight into its pixels, by two threads, and show small entities from a coarse picture. The
// drawing must outlive the renderer; after the drawing changes, call Rebuild. Render keeps scratch
// memory between calls: one call at a time.
class DrawingRenderer {
  public:
    explicit DrawingRenderer(const DisplayDrawing& drawing);
    ~DrawingRenderer();
    DrawingRenderer(const DrawingRenderer&) = delete;
    DrawingRenderer& operator=(const DrawingRenderer&) = delete;

    void Rebuild();
    const Box2& Extents() const { return extents_; }

    RenderStats Render(QPainter& painter, const QRectF& device, const ViewState& view,
                       const RenderOptions& options) const;

    // The colour an entity of DXF colour index `index` is drawn in on `background`: colour 7 is
    // black on a light background and white on a dark one.
    static QColor IndexColour(int index, const QColor& background);

  private:
    struct Index;
    const DisplayDrawing& drawing_;
    std::unique_ptr<Index> index_;
    Box2 extents_;
};

}  // namespace retracer::view
