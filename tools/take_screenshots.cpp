// Takes the pictures of docs/screenshots: the About box, the main window on the sample workspace
// with the sample worklist loaded and one part translated in the viewer, the viewer showing a
// drawing of the destination folder with one layer hidden and zoomed in, and the Options dialog.
// Run under a display (Xvfb will do): take_screenshots SAMPLES_DIR APP_FOLDER OUTPUT_DIR.
#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QMdiSubWindow>
#include <QMouseEvent>
#include <QPixmap>
#include <QTableView>
#include <QTimer>

#include <cstdio>

#include "about_dialog.h"
#include "base/prompt.h"
#include "control_panel_window.h"
#include "file_dialogs.h"
#include "file_manager_window.h"
#include "folder_file_list.h"
#include "main_window.h"
#include "run_progress.h"
#include "settings/app_folder.h"
#include "settings/user_store.h"
#include "view/drawing_view.h"
#include "viewer_window.h"
#include "workspace.h"

namespace {

// Hands the sample worklist to the Open Worklist command.
class OneFile : public retracer::app::FileDialogs {
  public:
    explicit OneFile(QString file) : file_(std::move(file)) {}
    QString ChooseFile(const retracer::app::FileDialogRequest&) override { return file_; }

  private:
    QString file_;
};

// Lets the window settle (layouts, the viewer's fit) for `ms` milliseconds.
void Settle(int ms) {
    QTimer::singleShot(ms, qApp, &QApplication::quit);
    QApplication::exec();
}

// The mouse resting over the drawing point (x, y), as the status bar shows it.
void HoverOver(retracer::view::DrawingView& view, double x, double y) {
    const QPointF at = view.DrawingToScreen(x, y);
    QMouseEvent move(QEvent::MouseMove, at, view.mapToGlobal(at), Qt::NoButton, Qt::NoButton,
                     Qt::NoModifier);
    QApplication::sendEvent(&view, &move);
}

bool Save(QWidget& widget, const QString& path) {
    QApplication::processEvents();
    const bool saved = widget.grab().save(path);
    std::printf("%s %s\n", saved ? "wrote" : "could not write", qPrintable(path));
    return saved;
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Retracer"));
    if (argc != 4) {
        std::fprintf(stderr, "usage: take_screenshots SAMPLES_DIR APP_FOLDER OUTPUT_DIR\n");
        return 2;
    }
    const QDir samples(QString::fromLocal8Bit(argv[1]));
    const QString out = QString::fromLocal8Bit(argv[3]);
    QDir().mkpath(out);

    retracer::app::AboutDialog about;
    about.show();
    bool ok = Save(about, QDir(out).filePath(QStringLiteral("about.png")));
    about.close();

    const retracer::AppPaths paths = retracer::ResolveAppPaths(argv[2], nullptr);
    retracer::CreateScratchFolders(paths);
    retracer::MemoryUserSettingsStore store;
    retracer::RecordingPrompt prompt;  // takes the safe answer to every question
    retracer::app::Workspace workspace(paths, prompt, store);
    OneFile worklist(samples.filePath(QStringLiteral("Sample.lst")));
    retracer::app::FrameServices services;
    services.fileDialogs = &worklist;
    // The Options dialog is pictured instead of waiting for the user.
    services.runDialog = [&](QDialog& dialog) {
        dialog.show();
        ok = Save(dialog, QDir(out).filePath(QStringLiteral("options.png"))) && ok;
        return int(QDialog::Rejected);
    };
    retracer::app::MainWindow window(workspace, services);
    window.resize(1360, 860);
    window.show();
    QApplication::processEvents();
    window.PlaceChildWindows();
    window.OpenWorklistCommand();
    // The worklist processed into the destination folder, then a click in "Filename" of the
    // first row previews its part; the mouse rests over the part's middle.
    workspace.Process({});
    retracer::app::FolderFileList* programs = window.FileMgr()->File1();
    const auto panelProgram = programs->findItems(QStringLiteral("EV_PANEL.PGM"), Qt::MatchExactly);
    if (!panelProgram.isEmpty()) programs->setCurrentItem(panelProgram.first());
    workspace.CellClicked(3, 1);
    window.MdiArea()->setActiveSubWindow(window.FileMgrSubWindow());
    Settle(300);
    retracer::view::DrawingView& view = *window.Viewer()->View();
    const retracer::Box2 part = view.Drawing().Extents();
    HoverOver(view, (part.minX + part.maxX) / 2, (part.minY + part.maxY) / 2);
    ok = Save(window, QDir(out).filePath(QStringLiteral("main-window.png"))) && ok;

    // A drawing of the destination folder: its layers on the Control Panel, the holes of one
    // drill hidden, the view zoomed in on the spot.
    retracer::app::FolderFileList* drawings = window.FileMgr()->File2();
    const auto mirrored =
        drawings->findItems(QStringLiteral("EV_PANEL.0001.M.DXF"), Qt::MatchExactly);
    if (!mirrored.isEmpty()) {
        drawings->setCurrentItem(mirrored.first());
        emit drawings->itemClicked(mirrored.first());
    }
    QAbstractItemModel* layers = window.CPanel()->LayerList()->model();
    for (int row = 0; row < layers->rowCount(); ++row) {
        if (layers->index(row, 0).data().toString().startsWith(QLatin1String("VBORE"))) {
            layers->setData(layers->index(row, 0), Qt::Unchecked, Qt::CheckStateRole);
            break;
        }
    }
    window.MdiArea()->setActiveSubWindow(window.ViewerSubWindow());
    window.Action(QStringLiteral("btnKeyStatzoom"))->trigger();
    const retracer::Box2 shown = view.Drawing().Extents();
    const double spotX = shown.minX + shown.Width() * 0.3;
    const double spotY = shown.minY + shown.Height() * 0.3;
    view.SpotZoom(view.DrawingToScreen(spotX, spotY), true);
    Settle(300);
    HoverOver(view, spotX, spotY);
    ok = Save(window, QDir(out).filePath(QStringLiteral("viewer-layers.png"))) && ok;
    window.OptionsCommand();
    return ok ? 0 : 1;
}
