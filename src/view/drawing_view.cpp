#include "view/drawing_view.h"

#include <QElapsedTimer>
#include <QMouseEvent>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>

namespace retracer::view {
namespace {

// Enough to walk back through a session's views; older ones are dropped.
constexpr std::size_t kMaxPreviousViews = 100;
// A rubber band smaller than this (pixels) was a click, not a window.
constexpr int kMinWindow = 3;
// One notch of a mouse wheel.
constexpr double kWheelStep = 1.25;

bool Finite(const ViewState& v) {
    return std::isfinite(v.centreX) && std::isfinite(v.centreY) && std::isfinite(v.scale) &&
           v.scale > 0;
}

}  // namespace

DrawingView::DrawingView(QWidget* parent)
    : QWidget(parent), renderer_(std::make_unique<DrawingRenderer>(drawing_)) {
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::StrongFocus);
    setCursor(Qt::CrossCursor);
}

DrawingView::~DrawingView() = default;

bool DrawingView::Open(const QString& path, QString* error, double fitPercent) {
    DisplayDrawing read;
    std::string message;
    if (!read.Read(path.toStdString(), DisplayDrawing::ReadMode::kReplace, 0, 0, message)) {
        if (error != nullptr) *error = QString::fromStdString(message);
        return false;
    }
    drawing_ = std::move(read);
    renderer_->Rebuild();
    previous_.clear();
    fitPercent_ = fitPercent;
    if (isVisible() && width() > 0 && height() > 0) {
        ChangeView(FitBox(renderer_->Extents(), Area(), fitPercent), false);
    } else {
        fitPending_ = true;  // fitted when the widget is shown at its size
    }
    Invalidate();
    return true;
}

bool DrawingView::Save(const QString& path, QString* error) const {
    std::string message;
    if (drawing_.Save(path.toStdString(), message)) return true;
    if (error != nullptr) *error = QString::fromStdString(message);
    return false;
}

bool DrawingView::Add(const QString& path, double dx, double dy, QString* error) {
    std::string message;
    if (!drawing_.Read(path.toStdString(), DisplayDrawing::ReadMode::kAdd, dx, dy, message)) {
        if (error != nullptr) *error = QString::fromStdString(message);
        return false;
    }
    renderer_->Rebuild();
    Invalidate();
    return true;
}

bool DrawingView::Transform(const DisplayTransform& transform) {
    if (!drawing_.Transform(transform)) return false;
    renderer_->Rebuild();
    Invalidate();
    return true;
}

int DrawingView::FindLayer(const QString& name) const {
    return drawing_.FindLayer(name.toStdString());
}

bool DrawingView::RenameLayer(int layer, const QString& newName) {
    if (!drawing_.RenameLayer(layer, newName.toStdString())) return false;
    Invalidate();
    return true;
}

QStringList DrawingView::LayerNames() const {
    QStringList names;
    for (const std::string& name : drawing_.LayerNames()) names << QString::fromStdString(name);
    return names;
}

void DrawingView::SetLayerVisible(const QString& layer, bool visible) {
    const std::string name = layer.toStdString();
    bool changed = false;
    for (DisplayLayer& l : drawing_.layers) {
        if (l.name == name && l.visible != visible) {
            l.visible = visible;
            changed = true;
        }
    }
    if (changed) Invalidate();
}

void DrawingView::SetZoomFunction(int function) {
    if (function == zoomFunction_) return;
    zoomFunction_ = function;
    drag_ = Drag::kNone;
    update();
    emit zoomFunctionChanged(function);
}

void DrawingView::SetZoomInPercent(double percent) {
    if (std::isfinite(percent) && percent > 0) zoomInPercent_ = percent;
}

void DrawingView::SetZoomOutPercent(double percent) {
    if (std::isfinite(percent) && percent > 0) zoomOutPercent_ = percent;
}

void DrawingView::SetBackgroundColor(const QColor& colour) {
    if (!colour.isValid()) return;
    options_.background = colour;
    Invalidate();
}

void DrawingView::SetDisplayBlackAndWhite(bool on) {
    options_.blackAndWhite = on;
    Invalidate();
}

void DrawingView::SetView(const ViewState& view) {
    ChangeView(view, true);
}

QPointF DrawingView::ScreenToDrawing(QPointF p) const {
    return ToDrawing(view_, Area(), p);
}

QPointF DrawingView::DrawingToScreen(double x, double y) const {
    return ToDevice(view_, Area(), x, y);
}

void DrawingView::Remember() {
    if (!previous_.empty() && previous_.back() == view_) return;
    previous_.push_back(view_);
    if (previous_.size() > kMaxPreviousViews) previous_.erase(previous_.begin());
}

void DrawingView::ChangeView(const ViewState& view, bool remember) {
    if (!Finite(view)) return;
    if (remember) Remember();
    lastWasWheel_ = false;
    fitPending_ = false;
    view_ = view;
    Invalidate();
    emit viewChanged();
}

void DrawingView::Invalidate() {
    pictureValid_ = false;
    update();
}

void DrawingView::ZoomExtents(double percent) {
    ChangeView(FitBox(renderer_->Extents(), Area(), percent), true);
}

void DrawingView::ZoomPrevious() {
    if (previous_.empty()) return;
    const ViewState back = previous_.back();
    previous_.pop_back();
    ChangeView(back, false);
}

ViewState DrawingView::ViewAbout(QPointF p, double factor) const {
    // The drawing point under p stays under p.
    const QPointF fixed = ScreenToDrawing(p);
    ViewState next = view_;
    next.scale *= factor;
    next.centreX = fixed.x() - (p.x() - Area().center().x()) / next.scale;
    next.centreY = fixed.y() + (p.y() - Area().center().y()) / next.scale;
    return next;
}

void DrawingView::ZoomAbout(QPointF p, double factor) {
    if (factor > 0) ChangeView(ViewAbout(p, factor), true);
}

void DrawingView::SpotZoom(QPointF p, bool zoomIn) {
    const QPointF at = ScreenToDrawing(p);
    ViewState next = view_;
    next.centreX = at.x();
    next.centreY = at.y();
    if (zoomIn) {
        next.scale *= 1 + zoomInPercent_ / 100.0;
    } else {
        next.scale /= 1 + zoomOutPercent_ / 100.0;
    }
    ChangeView(next, true);
}

void DrawingView::ZoomWindow(const QRectF& widgetRect) {
    const QRectF r = widgetRect.normalized();
    if (r.width() < kMinWindow || r.height() < kMinWindow) return;
    Box2 box;
    const QPointF a = ScreenToDrawing(r.topLeft());
    const QPointF b = ScreenToDrawing(r.bottomRight());
    box.Add(a.x(), a.y());
    box.Add(b.x(), b.y());
    ChangeView(FitBox(box, Area(), 100), true);
}

bool DrawingView::Redraw(QString* error) {
    if (!Finite(view_)) {
        if (error != nullptr) *error = QStringLiteral("The view cannot be drawn.");
        return false;
    }
    Invalidate();
    return true;
}

void DrawingView::PrintTo(QPagedPaintDevice& device, int area) const {
    QPainter painter(&device);
    if (!painter.isActive()) return;
    const QRectF page(QPointF(0, 0), QSizeF(device.width(), device.height()));
    const Box2 box = area == 0 ? renderer_->Extents() : VisibleBox(view_, Area());
    RenderOptions print = options_;
    print.background = Qt::white;
    print.blackAndWhite = printBlackAndWhite_;
    print.antialias = true;
    print.antialiasLimit = static_cast<std::size_t>(-1);
    print.pixelSize = std::max(1.0, device.logicalDpiX() / 254.0);
    renderer_->Render(painter, page, FitBox(box, page, 100), print);
}

void DrawingView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const bool panning = drag_ == Drag::kPan;
    if (!pictureValid_ && !panning) {
        if (picture_.size() != size() * devicePixelRatioF()) {
            picture_ = QImage(size() * devicePixelRatioF(), QImage::Format_RGB32);
            picture_.setDevicePixelRatio(devicePixelRatioF());
        }
        QElapsedTimer timer;
        timer.start();
        QPainter onPicture(&picture_);
        lastStats_ = renderer_->Render(onPicture, Area(), view_, options_);
        onPicture.end();
        lastRenderMs_ = static_cast<double>(timer.nsecsElapsed()) / 1e6;
        pictureView_ = view_;
        pictureValid_ = true;
    }
    if (panning && pictureView_.scale == view_.scale) {
        // While dragging, the picture moves with the mouse and is drawn again on release.
        const QPointF shift =
            ToDevice(view_, Area(), pictureView_.centreX, pictureView_.centreY) - Area().center();
        painter.fillRect(rect(), options_.background);
        painter.drawImage(shift, picture_);
    } else {
        painter.drawImage(QPointF(0, 0), picture_);
    }
    if (drag_ == Drag::kWindow) {
        const QColor ink = DrawingRenderer::IndexColour(7, options_.background);
        painter.setPen(QPen(ink, 0, Qt::DashLine));
        painter.drawRect(QRect(dragStart_, dragNow_).normalized());
    }
}

void DrawingView::FitIfPending() {
    if (fitPending_ && isVisible() && width() > 0 && height() > 0) {
        ChangeView(FitBox(renderer_->Extents(), Area(), fitPercent_), false);
    }
}

void DrawingView::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    FitIfPending();
    Invalidate();
}

void DrawingView::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    FitIfPending();
}

void DrawingView::mousePressEvent(QMouseEvent* event) {
    const QPoint at = event->position().toPoint();
    if (event->button() == Qt::MiddleButton) {
        drag_ = Drag::kPan;
        dragStart_ = dragNow_ = at;
        dragView_ = view_;
        return;
    }
    switch (zoomFunction_) {
        case 1:
            if (event->button() == Qt::LeftButton || event->button() == Qt::RightButton)
                SpotZoom(at, event->button() == Qt::LeftButton);
            break;
        case 0:
        case 2:
            if (event->button() == Qt::LeftButton) {
                drag_ = zoomFunction_ == 0 ? Drag::kWindow : Drag::kPan;
                dragStart_ = dragNow_ = at;
                dragView_ = view_;
            } else {
                ZoomExtents();
            }
            break;
        default:
            break;
    }
}

void DrawingView::mouseMoveEvent(QMouseEvent* event) {
    const QPoint at = event->position().toPoint();
    if (drag_ != Drag::kNone) {
        dragNow_ = at;
        if (drag_ == Drag::kPan) {
            view_ = dragView_;
            view_.centreX -= (dragNow_.x() - dragStart_.x()) / view_.scale;
            view_.centreY += (dragNow_.y() - dragStart_.y()) / view_.scale;
        }
        update();
    }
    const QPointF p = ScreenToDrawing(at);
    emit mouseMovedTo(p.x(), p.y());
}

void DrawingView::mouseReleaseEvent(QMouseEvent* event) {
    const bool left = event->button() == Qt::LeftButton;
    const bool middle = event->button() == Qt::MiddleButton;
    if (drag_ == Drag::kWindow && left) {
        drag_ = Drag::kNone;
        ZoomWindow(QRectF(dragStart_, event->position().toPoint()));
        update();
    } else if (drag_ == Drag::kPan && (left || middle)) {
        drag_ = Drag::kNone;
        const ViewState moved = view_;
        view_ = dragView_;
        if (!(moved == dragView_)) ChangeView(moved, true);
        Invalidate();
    }
}

void DrawingView::wheelEvent(QWheelEvent* event) {
    const double notches = event->angleDelta().y() / 120.0;
    if (notches == 0) return;
    // A run of wheel steps is one change for ZoomPrevious.
    if (!lastWasWheel_) Remember();
    ChangeView(ViewAbout(event->position(), std::pow(kWheelStep, notches)), false);
    lastWasWheel_ = true;
    event->accept();
}

}  // namespace retracer::view
