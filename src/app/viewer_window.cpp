#include "viewer_window.h"

#include <QDir>
#include <QEvent>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMessageBox>
#include <QPageSetupDialog>
#include <QPrinter>
#include <QPrinterInfo>
#include <QVBoxLayout>

#include <cstdio>

#include "file_dialogs.h"
#include "options_dialog.h"
#include "settings/user_store.h"
#include "view/drawing_view.h"

namespace retracer::app {
namespace {

constexpr char kApp[] = "Retracer";
constexpr char kDefaults[] = "Defaults";
constexpr char kInitDir[] = "InitDir";
const QString kDxfFilter = QStringLiteral("DXF (*.dxf)");

class QtViewerDialogs : public ViewerDialogs {
  public:
    QString OpenFileName(QWidget* parent, const QString& title, const QString& folder,
                         const QString& filter) override {
        return QFileDialog::getOpenFileName(parent, title, folder, WithUpperCasePatterns(filter));
    }
    QString SaveFileName(QWidget* parent, const QString& title, const QString& folder,
                         const QString& filter) override {
        return QFileDialog::getSaveFileName(parent, title, folder, WithUpperCasePatterns(filter));
    }
    bool PrintSetup(QWidget* parent, QPrinter& printer) override {
        QPageSetupDialog dialog(&printer, parent);
        return dialog.exec() == QDialog::Accepted;
    }
    bool HasPrinter() override { return !QPrinterInfo::availablePrinterNames().isEmpty(); }
    void ShowAlert(QWidget* parent, const QString& title, const QString& text) override {
        QMessageBox::information(parent, title, text);
    }
};

// Folders stored by other parts may end in a backslash; on this platform a folder that does
// not exist (the default "C:\" among them) gives the home folder.
QString UsableFolder(const QString& stored) {
    QString folder = stored;
    folder.replace(QLatin1Char('\\'), QLatin1Char('/'));
    while (folder.size() > 1 && folder.endsWith(QLatin1Char('/'))) folder.chop(1);
    return QFileInfo(folder).isDir() ? folder : QDir::homePath();
}

// Moves `from` over `to` in one step (same folder).
bool ReplaceFile(const QString& from, const QString& to) {
    return std::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) == 0;
}

// The busy pointer from construction to Release or the end of the scope.
class Hourglass {
  public:
    Hourglass() { QGuiApplication::setOverrideCursor(Qt::WaitCursor); }
    ~Hourglass() { Release(); }
    Hourglass(const Hourglass&) = delete;
    Hourglass& operator=(const Hourglass&) = delete;
    void Release() {
        if (held_) QGuiApplication::restoreOverrideCursor();
        held_ = false;
    }

  private:
    bool held_ = true;
};

}  // namespace

std::unique_ptr<ViewerDialogs> MakeQtViewerDialogs() {
    return std::make_unique<QtViewerDialogs>();
}

ViewerWindow::ViewerWindow(UserSettingsStore* store, QWidget* parent)
    : QWidget(parent),
      view_(new view::DrawingView(this)),
      ownStore_(store == nullptr ? std::make_unique<MemoryUserSettingsStore>() : nullptr),
      store_(store == nullptr ? ownStore_.get() : store),
      dialogs_(MakeQtViewerDialogs()) {
    setObjectName(QStringLiteral("Viewer"));
    setWindowTitle(QStringLiteral("Viewer"));
    view_->setObjectName(QStringLiteral("DXF1"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(view_);
    connect(view_, &view::DrawingView::mouseMovedTo, this, [this](double x, double y) {
        emit mouseCoordinates(CoordinateText(QStringLiteral("X"), x),
                              CoordinateText(QStringLiteral("Y"), y));
    });
    connect(view_, &view::DrawingView::zoomFunctionChanged, this,
            [this](int function) { emit zoomFunctionChanged(function, ZoomStateText(function)); });
    resize(640, 480);
}

ViewerWindow::~ViewerWindow() = default;

void ViewerWindow::SetDialogs(std::unique_ptr<ViewerDialogs> dialogs) {
    if (dialogs != nullptr) dialogs_ = std::move(dialogs);
}

QColor ViewerWindow::BackgroundColor() const {
    return view_->BackgroundColor();
}
void ViewerWindow::SetBackgroundColor(const QColor& colour) {
    view_->SetBackgroundColor(colour);
}
double ViewerWindow::ZoomInPercent() const {
    return view_->ZoomInPercent();
}
void ViewerWindow::SetZoomInPercent(double percent) {
    view_->SetZoomInPercent(percent);
}
double ViewerWindow::ZoomOutPercent() const {
    return view_->ZoomOutPercent();
}
void ViewerWindow::SetZoomOutPercent(double percent) {
    view_->SetZoomOutPercent(percent);
}
bool ViewerWindow::DisplayBlackAndWhite() const {
    return view_->DisplayBlackAndWhite();
}
void ViewerWindow::SetDisplayBlackAndWhite(bool on) {
    view_->SetDisplayBlackAndWhite(on);
}
bool ViewerWindow::PrintBlackAndWhite() const {
    return view_->PrintBlackAndWhite();
}
void ViewerWindow::SetPrintBlackAndWhite(bool on) {
    view_->SetPrintBlackAndWhite(on);
}
bool ViewerWindow::Redraw(QString* errText) {
    return view_->Redraw(errText);
}
int ViewerWindow::ZoomFunction() const {
    return view_->ZoomFunction();
}
void ViewerWindow::SetLayerVisible(const QString& layer, bool visible) {
    view_->SetLayerVisible(layer, visible);
}

QString ViewerWindow::ZoomStateText(int function) {
    switch (function) {
        case 0:
            return QStringLiteral("Zoom Window ");
        case 1:
            return QStringLiteral("Zoom Spot ");
        case 2:
            return QStringLiteral("Pan ");
        default:
            return QStringLiteral(" ");
    }
}

QString ViewerWindow::ZoomPercentText() const {
    return SpotZoomStatusText(ZoomInPercent(), ZoomOutPercent());
}

QString ViewerWindow::CoordinateText(const QString& axis, double value) {
    return axis + QStringLiteral(": ") + QString::number(static_cast<float>(value), 'g', 7);
}

void ViewerWindow::SetZoomFunction(int function) {
    // The view only reports a change; the frame must hear every command, a repeated one too.
    const bool same = function == view_->ZoomFunction();
    view_->SetZoomFunction(function);
    if (same) emit zoomFunctionChanged(function, ZoomStateText(function));
}

void ViewerWindow::ZoomExtents() {
    view_->ZoomExtents(99);
}
void ViewerWindow::ZoomPrevious() {
    view_->ZoomPrevious();
}

void ViewerWindow::Activated() {
    SetZoomFunction(0);
    emit activated(ZoomPercentText());
}

bool ViewerWindow::event(QEvent* event) {
    // Only as a window of its own: in the frame's workspace the frame answers the activation of
    // the sub-window around the viewer.
    if (event->type() == QEvent::WindowActivate && isWindow()) Activated();
    return QWidget::event(event);
}

bool ViewerWindow::OpenDrawing(const QString& path, QStringList* layers, QString* errText) {
    if (!view_->Open(path, errText, 98)) return false;
    setWindowTitle(path);
    if (layers != nullptr) *layers = view_->LayerNames();
    return true;
}

bool ViewerWindow::SaveDrawing(const QString& path, QString* errText) {
    return view_->Save(path, errText);
}

QString ViewerWindow::InitDir() const {
    return QString::fromStdString(store_->Get(kApp, kDefaults, kInitDir, "C:\\"));
}

bool ViewerWindow::OpenInViewer(const QString& path) {
    Hourglass hourglass;  // while the drawing is read; gone before any message shows
    if (!QFileInfo(path).isFile()) {
        hourglass.Release();
        dialogs_->ShowAlert(this, QStringLiteral("Alert!"),
                            QStringLiteral("File Not Found") + QLatin1Char('\r') + path);
        emit drawingMissing(path);
        return false;
    }
    QStringList layers;
    QString error;
    if (!OpenDrawing(path, &layers, &error)) {
        hourglass.Release();
        // A drawing that cannot be read must not look like one that was opened.
        dialogs_->ShowAlert(this, QStringLiteral("Alert!"), path + QLatin1Char('\r') + error);
        return false;
    }
    emit drawingOpened(path, layers);
    return true;
}

void ViewerWindow::OpenDxfCommand() {
    const QString path = dialogs_->OpenFileName(this, QStringLiteral("Open DXF File"),
                                                UsableFolder(InitDir()), kDxfFilter);
    if (path.isEmpty()) return;  // cancelled: InitDir stays
    store_->Save(kApp, kDefaults, kInitDir,
                 FolderPart(QDir::toNativeSeparators(path).toStdString()));
    OpenInViewer(path);
}

void ViewerWindow::SaveDxfAsCommand() {
    QString path = dialogs_->SaveFileName(this, QStringLiteral("Save DXF File"),
                                          UsableFolder(InitDir()), kDxfFilter);
    if (path.isEmpty()) return;
    if (QFileInfo(path).suffix().isEmpty()) path += QStringLiteral(".DXF");
    QString error;
    // A save that failed is said so: the user would otherwise believe the drawing kept.
    if (!SaveDrawing(path, &error)) dialogs_->ShowAlert(this, QStringLiteral("Alert!"), error);
}

void ViewerWindow::PrintDrawing(int area) {
    QPrinter printer(QPrinter::HighResolution);
    const bool hasPrinter = dialogs_->HasPrinter();
    if (hasPrinter) {
        printer.setPrinterName(QPrinterInfo::defaultPrinter().printerName());
    } else {
        printer.setOutputFormat(QPrinter::PdfFormat);
    }
    const Box2 box = area == 0 ? view_->Drawing().Extents()
                               : view::VisibleBox(view_->View(), QRectF(view_->rect()));
    printer.setPageOrientation(box.Width() > box.Height() ? QPageLayout::Landscape
                                                          : QPageLayout::Portrait);
    if (!dialogs_->PrintSetup(this, printer)) return;
    QString pdf;
    if (!hasPrinter) {
        pdf = dialogs_->SaveFileName(this, QStringLiteral("Print to PDF File"),
                                     UsableFolder(InitDir()), QStringLiteral("PDF (*.pdf)"));
        if (pdf.isEmpty()) return;
        if (QFileInfo(pdf).suffix().isEmpty()) pdf += QStringLiteral(".pdf");
        // The page goes to a file beside the target first, so a failed print leaves an older
        // file of that name whole.
        printer.setOutputFileName(pdf + QStringLiteral(".part"));
    }
    printer.setDocName(windowTitle());
    view_->PrintTo(printer, area);
    if (!pdf.isEmpty()) {
        const QString part = printer.outputFileName();
        if (!QFileInfo(part).isFile() || !ReplaceFile(part, pdf)) {
            QFile::remove(part);
            dialogs_->ShowAlert(this, QStringLiteral("Alert!"),
                                QStringLiteral("The PDF file could not be written:\r") + pdf);
        }
    }
}

void ViewerWindow::PrintExtents() {
    PrintDrawing(0);
}
void ViewerWindow::PrintCurrentView() {
    PrintDrawing(1);
}

}  // namespace retracer::app
