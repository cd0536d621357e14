#pragma once

#include <QString>
#include <QStringList>
#include <QWidget>

#include <memory>

#include "viewer_control.h"

class QPrinter;

namespace retracer {
class UserSettingsStore;
namespace view {
class DrawingView;
}
}  // namespace retracer

namespace retracer::app {

// The dialogs the viewer's commands show. The window uses Qt's own; tests put in their own
// answers.
class ViewerDialogs {
  public:
    virtual ~ViewerDialogs() = default;
    // The chosen file, or empty when cancelled.
    virtual QString OpenFileName(QWidget* parent, const QString& title, const QString& folder,
                                 const QString& filter) = 0;
    virtual QString SaveFileName(QWidget* parent, const QString& title, const QString& folder,
                                 const QString& filter) = 0;
    // The print setup (orientation above all) for `printer`; false when cancelled.
    virtual bool PrintSetup(QWidget* parent, QPrinter& printer) = 0;
    // Whether a printer is installed; without one, prints go to a PDF file the user names.
    virtual bool HasPrinter() = 0;
    virtual void ShowAlert(QWidget* parent, const QString& title, const QString& text) = 0;
};
std::unique_ptr<ViewerDialogs> MakeQtViewerDialogs();

// The drawing viewer window: one drawing view, the frame's drawing commands and the texts of the
// status panels. Its caption is "Viewer" until a drawing is shown, then the drawing's path.
//
// Every drawing reaches it through OpenInViewer: a job's drawing, a drawing picked in the Process
// Selection window and Open DXF alike. The frame wires its Zoom Extents, Zoom Previous, Open DXF,
// Save DXF as, Print Extents and Print Current View commands to the slots of those names;
// mouseCoordinates to the "X" and "Y" panels; drawingOpened to the Control Panel's layer list;
// drawingMissing to the drawing file list. Inside the frame, the frame's zoom-function command
// sets the function and the frame answers the activation of the viewer's sub-window; as a window
// of its own the viewer answers its activation itself (Activated).
class ViewerWindow : public QWidget, public ViewerControl {
    Q_OBJECT

  public:
    // `store` keeps InitDir (section "Defaults" of the application "Retracer"); it must outlive
    // the window. Without one, values live as long as the window.
    explicit ViewerWindow(UserSettingsStore* store = nullptr, QWidget* parent = nullptr);
    ~ViewerWindow() override;

    void SetDialogs(std::unique_ptr<ViewerDialogs> dialogs);
    view::DrawingView* View() const { return view_; }

    // ViewerControl.
    QColor BackgroundColor() const override;
    void SetBackgroundColor(const QColor& colour) override;
    double ZoomInPercent() const override;
    void SetZoomInPercent(double percent) override;
    double ZoomOutPercent() const override;
    void SetZoomOutPercent(double percent) override;
    bool DisplayBlackAndWhite() const override;
    void SetDisplayBlackAndWhite(bool on) override;
    bool PrintBlackAndWhite() const override;
    void SetPrintBlackAndWhite(bool on) override;
    bool Redraw(QString* errText) override;
    int ZoomFunction() const override;
    bool OpenDrawing(const QString& path, QStringList* layers, QString* errText) override;
    bool SaveDrawing(const QString& path, QString* errText) override;
    void PrintDrawing(int area) override;
    void SetLayerVisible(const QString& layer, bool visible) override;

    // The temporary-file folder (AppFolder + "TMP"), kept for the Options dialog to show.
    void SetTemporaryFolder(const QString& folder) override { temporaryFolder_ = folder; }
    QString TemporaryFolder() const override { return temporaryFolder_; }

    // "Zoom Window ", "Zoom Spot ", "Pan " for functions 0..2, a single blank otherwise.
    static QString ZoomStateText(int function);
    // "Spot Zoom (L/R): 50% / 50% ".
    QString ZoomPercentText() const;
    // "X: 12.5" for a drawing coordinate (a single, in the general number form).
    static QString CoordinateText(const QString& axis, double value);

  public slots:
    void SetZoomFunction(int function) override;
    void ZoomExtents() override;
    void ZoomPrevious() override;
    // Shows a drawing file: a file that is not there is reported ("File Not Found") and the
    // drawing list is told (drawingMissing); one that cannot be read is reported and the drawing
    // shown stays; otherwise it is shown fitted at 98 percent, the caption becomes its path and
    // drawingOpened hands on its layers. True when the drawing is shown.
    bool OpenInViewer(const QString& path);
    // Open DXF: a file chosen in InitDir (whose folder becomes InitDir) goes to OpenInViewer.
    void OpenDxfCommand();
    void SaveDxfAsCommand();
    void PrintExtents();
    void PrintCurrentView();
    // The window became the active one: back to window zoom, and the "ZoomPct" text goes out.
    void Activated();

  signals:
    void mouseCoordinates(const QString& xText, const QString& yText);
    void zoomFunctionChanged(int function, const QString& zoomStateText);
    void activated(const QString& zoomPercentText);
    void drawingOpened(const QString& path, const QStringList& layers);
    // A drawing asked for is not there (any more): the list it was picked from is out of date.
    void drawingMissing(const QString& path);

  protected:
    bool event(QEvent* event) override;

  private:
    QString InitDir() const;

    view::DrawingView* view_;
    std::unique_ptr<UserSettingsStore> ownStore_;
    UserSettingsStore* store_;
    std::unique_ptr<ViewerDialogs> dialogs_;
    QString temporaryFolder_;
};

}  // namespace retracer::app
