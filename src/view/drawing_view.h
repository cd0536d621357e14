#pragma once

#include <QColor>
#include <QImage>
#include <QPoint>
#include <QString>
#include <QStringList>
#include <QWidget>

#include <memory>
#include <vector>

#include "view/drawing_renderer.h"

class QPagedPaintDevice;

namespace retracer::view {

// A widget showing one drawing, with the mouse interaction of a CAD viewer:
// - zoom function 0 (zoom window): the left button drags a rubber band whose area is zoomed to;
// - zoom function 1 (on the spot): a left click zooms in, a right click out, by the configured
//   percentages, centring the clicked point;
// - zoom function 2 (pan): the left button drags the drawing;
// - in functions 0 and 2 the right button (and any button but the middle) shows the extents;
// - in every function the middle button drags the drawing and the wheel zooms about the cursor.
// Every change of view can be taken back with ZoomPrevious. The picture is kept between paints
// and drawn again only when the view, the drawing or a display setting changes.
class DrawingView : public QWidget {
    Q_OBJECT

  public:
    explicit DrawingView(QWidget* parent = nullptr);
    ~DrawingView() override;

    // Reads a DXF file in place of the drawing shown and fits it at `fitPercent`. On failure the
    // drawing shown stays and `error` says why.
    bool Open(const QString& path, QString* error, double fitPercent = 98);
    bool Save(const QString& path, QString* error) const;
    // Adds a DXF file's drawing moved by (dx, dy) to the drawing shown; the view stays.
    bool Add(const QString& path, double dx, double dy, QString* error);
    bool Transform(const DisplayTransform& transform);
    // The number, from 1, of the first layer named `name` ignoring case; 0 when none is.
    int FindLayer(const QString& name) const;
    // Renames layer number `layer`; a layer of the new name takes its entities.
    bool RenameLayer(int layer, const QString& newName);
    const DisplayDrawing& Drawing() const { return drawing_; }
    // Layer names in drawing order, each once.
    QStringList LayerNames() const;
    void SetLayerVisible(const QString& layer, bool visible);

    int ZoomFunction() const { return zoomFunction_; }
    void SetZoomFunction(int function);
    double ZoomInPercent() const { return zoomInPercent_; }
    void SetZoomInPercent(double percent);
    double ZoomOutPercent() const { return zoomOutPercent_; }
    void SetZoomOutPercent(double percent);
    QColor BackgroundColor() const { return options_.background; }
    void SetBackgroundColor(const QColor& colour);
    bool DisplayBlackAndWhite() const { return options_.blackAndWhite; }
    void SetDisplayBlackAndWhite(bool on);
    bool PrintBlackAndWhite() const { return printBlackAndWhite_; }
    void SetPrintBlackAndWhite(bool on) { printBlackAndWhite_ = on; }

    ViewState View() const { return view_; }
    void SetView(const ViewState& view);  // remembered for ZoomPrevious
    std::size_t PreviousViews() const { return previous_.size(); }
    QPointF ScreenToDrawing(QPointF widgetPoint) const;
    QPointF DrawingToScreen(double x, double y) const;

    // Draws the drawing's extents (area 0) or what the widget shows (area 1), fitted to the
    // page, in the print colours (white paper).
    void PrintTo(QPagedPaintDevice& device, int area) const;
    // The time the last full paint took to render, in milliseconds.
    double LastRenderMilliseconds() const { return lastRenderMs_; }
    RenderStats LastRenderStats() const { return lastStats_; }

  public slots:
    void ZoomExtents(double percent = 99);
    void ZoomPrevious();
    // Zooms in (factor above 1) or out about a widget point that keeps its place.
    void ZoomAbout(QPointF widgetPoint, double factor);
    // The on-the-spot zoom at a widget point: in by ZoomInPercent, or out by ZoomOutPercent.
    void SpotZoom(QPointF widgetPoint, bool zoomIn);
    // Shows the drawing area under a widget rectangle.
    void ZoomWindow(const QRectF& widgetRect);
    // Forces the next paint to draw the picture again; false (with a message) when the drawing
    // could not be drawn.
    bool Redraw(QString* error);

  signals:
    // The drawing point under the mouse.
    void mouseMovedTo(double x, double y);
    void viewChanged();
    void zoomFunctionChanged(int function);

  protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

  private:
    enum class Drag { kNone, kWindow, kPan };
    void Remember();
    void ChangeView(const ViewState& view, bool remember);
    ViewState ViewAbout(QPointF widgetPoint, double factor) const;
    void Invalidate();
    void FitIfPending();
    QRectF Area() const { return QRectF(rect()); }

    DisplayDrawing drawing_;
    std::unique_ptr<DrawingRenderer> renderer_;
    RenderOptions options_;
    bool printBlackAndWhite_ = false;
    int zoomFunction_ = 0;
    double zoomInPercent_ = 50;
    double zoomOutPercent_ = 50;
    ViewState view_;
    std::vector<ViewState> previous_;
    bool fitPending_ = false;
    double fitPercent_ = 98;
    bool lastWasWheel_ = false;

    Drag drag_ = Drag::kNone;
    QPoint dragStart_;
    QPoint dragNow_;
    ViewState dragView_;

    QImage picture_;
    ViewState pictureView_;
    bool pictureValid_ = false;
    double lastRenderMs_ = 0;
    RenderStats lastStats_;
};

}  // namespace retracer::view
