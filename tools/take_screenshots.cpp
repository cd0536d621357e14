// Takes the pictures of docs/screenshots: the About box, the main window on the sample workspace
// with the sample worklist loaded and one part translated, and the Options dialog. Run under a
// display (Xvfb will do): take_screenshots SAMPLES_DIR APP_FOLDER OUTPUT_DIR.
#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QMdiSubWindow>
#include <QPixmap>
#include <QTimer>

#include <cstdio>

#include "about_dialog.h"
#include "file_dialogs.h"
#include "file_manager_window.h"
#include "main_window.h"
#include "run_progress.h"
#include "settings/app_folder.h"
#include "settings/user_store.h"
#include "base/prompt.h"
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
    // first row previews its part.
    workspace.Process({});
    window.FileMgr()->File1()->setCurrentRow(0);
    workspace.CellClicked(3, 1);
    window.MdiArea()->setActiveSubWindow(window.FileMgrSubWindow());
    QTimer::singleShot(300, &app, &QApplication::quit);
    QApplication::exec();
    ok = Save(window, QDir(out).filePath(QStringLiteral("main-window.png"))) && ok;
    window.OptionsCommand();
    return ok ? 0 : 1;
}
