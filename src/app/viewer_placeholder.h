#pragma once

#include <QLabel>
#include <QStringList>
#include <QWidget>

#include "viewer_control.h"

namespace retracer::app {

// Stands in for the drawing viewer until the real one is plugged in: it keeps the display
// settings, shows the path of the drawing it was given and records every command it receives, so
// the frame's menus and toolbar can be checked against it.
class ViewerPlaceholder : public QWidget, public ViewerControl {
    Q_OBJECT

  public:
    explicit ViewerPlaceholder(QWidget* parent = nullptr);

    QColor BackgroundColor() const override { return background_; }
    void SetBackgroundColor(const QColor& colour) override;
    double ZoomInPercent() const override { return zoomIn_; }
    void SetZoomInPercent(double percent) override { zoomIn_ = percent; }
    double ZoomOutPercent() const override { return zoomOut_; }
    void SetZoomOutPercent(double percent) override { zoomOut_ = percent; }
    bool DisplayBlackAndWhite() const override { return displayBw_; }
    void SetDisplayBlackAndWhite(bool on) override { displayBw_ = on; }
    bool PrintBlackAndWhite() const override { return printBw_; }
    void SetPrintBlackAndWhite(bool on) override { printBw_ = on; }
    bool Redraw(QString* errText) override;

    int ZoomFunction() const override { return zoomFunction_; }
    void SetZoomFunction(int function) override;
    void ZoomExtents() override { calls_ << QStringLiteral("ZoomExtents"); }
    void ZoomPrevious() override { calls_ << QStringLiteral("ZoomPrevious"); }

    bool OpenDrawing(const QString& path, QStringList* layers, QString* errText) override;
    bool SaveDrawing(const QString& path, QString* errText) override;
    void PrintDrawing(int area) override;
    void SetLayerVisible(const QString& layer, bool visible) override;

    // Every command in the order received, e.g. "SetZoomFunction 2", "OpenDrawing /x/A.DXF".
    const QStringList& Calls() const { return calls_; }
    void ClearCalls() { calls_.clear(); }

  private:
    QLabel* shown_;
    QColor background_ = Qt::black;
    double zoomIn_ = 50;
    double zoomOut_ = 50;
    bool displayBw_ = false;
    bool printBw_ = false;
    int zoomFunction_ = 0;
    QStringList calls_;
};

}  // namespace retracer::app
