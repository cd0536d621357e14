#pragma once

#include <QColor>
#include <QString>
#include <QStringList>

namespace retracer::app {

// What the rest of the application asks of the drawing viewer: the display settings the Options
// dialog edits, the zoom functions the menus and toolbar drive, and the drawing it shows. The
// viewer window implements it; the main frame, the dialogs and the Process Selection window
// talk to the viewer only through it, so they can be tested against a recording fake.
class ViewerControl {
  public:
    virtual ~ViewerControl() = default;

    // Display settings (edited by the Options dialog).
    virtual QColor BackgroundColor() const = 0;
    virtual void SetBackgroundColor(const QColor& colour) = 0;
    virtual double ZoomInPercent() const = 0;  // on-the-spot zoom, left button
    virtual void SetZoomInPercent(double percent) = 0;
    virtual double ZoomOutPercent() const = 0;  // on-the-spot zoom, right button
    virtual void SetZoomOutPercent(double percent) = 0;
    virtual bool DisplayBlackAndWhite() const = 0;
    virtual void SetDisplayBlackAndWhite(bool on) = 0;
    virtual bool PrintBlackAndWhite() const = 0;
    virtual void SetPrintBlackAndWhite(bool on) = 0;
    // Repaints the drawing; false with a message in `errText` when that failed.
    virtual bool Redraw(QString* errText) = 0;

    // 0 = zoom window, 1 = on-the-spot zoom, 2 = pan.
    virtual int ZoomFunction() const = 0;
    virtual void SetZoomFunction(int function) = 0;
    virtual void ZoomExtents() = 0;  // the whole drawing at 99 percent
    virtual void ZoomPrevious() = 0;

    // Shows a drawing file (replacing the one shown), fits it at 98 percent and returns the
    // names of its layers in drawing order, each once; false with a message when it cannot be
    // read. The window caption becomes the path.
    virtual bool OpenDrawing(const QString& path, QStringList* layers, QString* errText) = 0;
    // Writes the drawing as shown to `path`, replacing the file.
    virtual bool SaveDrawing(const QString& path, QString* errText) = 0;
    // Prints the drawing's extents (area 0) or the current view (area 1), fit to the page.
    virtual void PrintDrawing(int area) = 0;
    // Hides or shows the entities of one layer.
    virtual void SetLayerVisible(const QString& layer, bool visible) = 0;
    // The folder for the viewer's scratch files (AppFolder + "TMP" and a separator).
    virtual QString TemporaryFolder() const = 0;
    virtual void SetTemporaryFolder(const QString& folder) = 0;
};

}  // namespace retracer::app
