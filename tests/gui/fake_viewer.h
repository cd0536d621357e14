#pragma once

#include <QStringList>

#include "viewer_control.h"

// A viewer that keeps its settings and counts its redraws; a redraw fails while `redrawError`
// is set.
class FakeViewer : public retracer::app::ViewerControl {
  public:
    QColor background = Qt::black;
    double zoomIn = 125;
    double zoomOut = 50;
    bool displayBlack = false;
    bool printBlack = false;
    int redraws = 0;
    QString redrawError;
    QString temporaryFolder;

    QColor BackgroundColor() const override { return background; }
    void SetBackgroundColor(const QColor& colour) override { background = colour; }
    double ZoomInPercent() const override { return zoomIn; }
    void SetZoomInPercent(double percent) override { zoomIn = percent; }
    double ZoomOutPercent() const override { return zoomOut; }
    void SetZoomOutPercent(double percent) override { zoomOut = percent; }
    bool DisplayBlackAndWhite() const override { return displayBlack; }
    void SetDisplayBlackAndWhite(bool on) override { displayBlack = on; }
    bool PrintBlackAndWhite() const override { return printBlack; }
    void SetPrintBlackAndWhite(bool on) override { printBlack = on; }
    bool Redraw(QString* errText) override {
        ++redraws;
        if (redrawError.isEmpty()) return true;
        *errText = redrawError;
        return false;
    }

    int ZoomFunction() const override { return 0; }
    void SetZoomFunction(int) override {}
    void ZoomExtents() override {}
    void ZoomPrevious() override {}
    bool OpenDrawing(const QString&, QStringList*, QString*) override { return false; }
    bool SaveDrawing(const QString&, QString*) override { return false; }
    void PrintDrawing(int) override {}
    void SetLayerVisible(const QString&, bool) override {}
    QString TemporaryFolder() const override { return temporaryFolder; }
    void SetTemporaryFolder(const QString& folder) override { temporaryFolder = folder; }
};
