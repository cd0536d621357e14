#include "main_window.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QHeaderView>
#include <QMenu>
#include <QScreen>
#include <QSettings>
#include <QTimer>

#include "about_dialog.h"
#include "base/file_lookup.h"
#include "base/prompt.h"
#include "control_panel_window.h"
#include "drill_tools_dialog.h"
#include "file_dialogs.h"
#include "file_manager_window.h"
#include "folder_file_list.h"
#include "job/worklist_commands.h"
#include "job/worklist_run.h"
#include "nesting_window.h"
#include "options_dialog.h"
#include "popup_menu.h"
#include "run_progress.h"
#include "twips.h"
#include "viewer_window.h"
#include "worklist_grid.h"
#include "workspace.h"

namespace retracer::app {
namespace {

// Keeps a child window without a close command open, whatever asks it to close, until the frame
// itself goes.
class KeepOpen : public QObject {
  public:
    KeepOpen(QObject* parent, std::shared_ptr<const bool> frameClosing)
        : QObject(parent), frameClosing_(std::move(frameClosing)) {}

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Close && !*frameClosing_) {
            event->ignore();
            return true;
        }
        return QObject::eventFilter(watched, event);
    }

  private:
    std::shared_ptr<const bool> frameClosing_;
};

// The viewer's questions go through the frame's file dialogs and its message boxes, so the frame
// and its tests have one way of answering them.
class FrameViewerDialogs : public ViewerDialogs {
  public:
    FrameViewerDialogs(FileDialogs& files, Prompt& prompt, std::function<bool(QPrinter&)> setup,
                       std::function<bool()> hasPrinter)
        : files_(files),
          prompt_(prompt),
          setup_(std::move(setup)),
          hasPrinter_(std::move(hasPrinter)),
          platform_(MakeQtViewerDialogs()) {}

    QString OpenFileName(QWidget*, const QString& title, const QString& folder,
                         const QString& filter) override {
        return Choose(false, title, folder, filter);
    }
    QString SaveFileName(QWidget*, const QString& title, const QString& folder,
                         const QString& filter) override {
        return Choose(true, title, folder, filter);
    }
    bool PrintSetup(QWidget* parent, QPrinter& printer) override {
        return setup_ ? setup_(printer) : platform_->PrintSetup(parent, printer);
    }
    bool HasPrinter() override { return hasPrinter_ ? hasPrinter_() : platform_->HasPrinter(); }
    void ShowAlert(QWidget*, const QString& title, const QString& text) override {
        prompt_.Show(title.toStdString(), text.toStdString(), PromptIcon::kInformation);
    }

  private:
    QString Choose(bool save, const QString& title, const QString& folder, const QString& filter) {
        FileDialogRequest request;
        request.save = save;
        request.title = title;
        request.folder = folder;
        request.filter = filter;
        return files_.ChooseFile(request);
    }

    FileDialogs& files_;
    Prompt& prompt_;
    std::function<bool(QPrinter&)> setup_;
    std::function<bool()> hasPrinter_;
    std::unique_ptr<ViewerDialogs> platform_;
};

const QString kListFilter = QStringLiteral("List (*.lst)");
const QString kCsvFilter = QStringLiteral("CSV (*.csv);;All Files (*)");

}  // namespace

MainWindow::MainWindow(Workspace& workspace, FrameServices services, QWidget* parent)
    : QMainWindow(parent), workspace_(workspace), services_(std::move(services)) {
    setObjectName(QStringLiteral("mdiMain"));
    setWindowTitle(QStringLiteral("Retracer-  Program Code to DXF"));
    setAccessibleName(windowTitle());
    setWindowIcon(QIcon(QStringLiteral(":/icons/retracer.svg")));
    if (services_.fileDialogs == nullptr) {
        ownDialogs_ = std::make_unique<QtFileDialogs>(this);
        services_.fileDialogs = ownDialogs_.get();
    }
    if (services_.folderBrowser == nullptr) {
        ownBrowser_ = std::make_unique<QtFolderBrowser>(this);
        services_.folderBrowser = ownBrowser_.get();
    }
    if (services_.progress == nullptr) {
        ownProgress_ = std::make_unique<ProgressDialogRun>(this);
        services_.progress = ownProgress_.get();
    }
    if (!services_.openUrl)
        services_.openUrl = [](const QUrl& url) { return QDesktopServices::openUrl(url); };
    if (services_.nestingWindow == nullptr) {
        ownNestingWindow_ =
            std::make_unique<DesktopNestingWindow>(DesktopNestingWindow::ForThisDesktop());
        services_.nestingWindow = ownNestingWindow_.get();
    }
    workspace_.SetProgress(services_.progress);
    workspace_.SetNestingWindow(services_.nestingWindow);

    mdiArea_ = new QMdiArea(this);
    mdiArea_->setObjectName(QStringLiteral("mdiArea"));
    setCentralWidget(mdiArea_);

    // Start-up, after the About box and the folders: toolbar, commands, then the three windows.
    BuildMenus();
    BuildToolbar();
    BuildStatusBar();
    EnableViewerCommands();

    fileMgr_ = new FileManagerWindow(workspace_, *popup_, *services_.folderBrowser);
    fileMgrSub_ = AddChild(fileMgr_, true);
    fileMgr_->Load();
    Session& session = workspace_.GetSession();
    cPanel_ = new ControlPanel(session.panel, session.worklist, session.settings.options,
                               workspace_.SettingsFile());
    cPanelSub_ = AddChild(cPanel_, false);
    viewer_ = new ViewerWindow(&session.userStore);
    viewer_->SetDialogs(std::make_unique<FrameViewerDialogs>(
        *services_.fileDialogs, session.prompt, services_.printSetup, services_.hasPrinter));
    viewerSub_ = AddChild(viewer_, false);
    // The viewer's scratch folder ends in a separator, as folders handed to it always did.
    viewer_->SetTemporaryFolder(
        QDir::toNativeSeparators(QString::fromStdString(PathText(session.paths.tmpFolder))) +
        QDir::separator());

    connect(fileMgr_, &FileManagerWindow::tabStripRequested, cPanel_,
            &ControlPanel::SetTabStripVisible);
    connect(fileMgr_, &FileManagerWindow::tabRequested, cPanel_, &ControlPanel::SetTab);
    connect(fileMgr_, &FileManagerWindow::tabReapplyRequested, cPanel_,
            &ControlPanel::ShowSelectedTab);
    // Every drawing reaches the viewer the one way: a job's, one picked in the drawing list
    // and one chosen with Open DXF.
    connect(fileMgr_, &FileManagerWindow::drawingClicked, this, &MainWindow::OpenInViewer);
    connect(&workspace_, &Workspace::drawingMade, this, &MainWindow::OpenInViewer);
    connect(viewer_, &ViewerWindow::drawingOpened, this,
            [this](const QString& path, const QStringList& layers) {
                viewerSub_->setWindowTitle(QDir::toNativeSeparators(path));
                workspace_.ShowLayers(layers);
            });
    connect(viewer_, &ViewerWindow::drawingMissing, fileMgr_->File2(), &FolderFileList::Refresh);
    connect(viewer_, &ViewerWindow::mouseCoordinates, this,
            [this](const QString& xText, const QString& yText) {
                SetPanelText(QStringLiteral("X"), xText);
                SetPanelText(QStringLiteral("Y"), yText);
            });
    connect(&workspace_, &Workspace::currentRowChanged, cPanel_, &ControlPanel::SetCurrentRow);
    connect(cPanel_, &ControlPanel::retranslateRequested, &workspace_,
            &Workspace::RetranslateCurrentRow);
    connect(cPanel_, &ControlPanel::layerVisibilityChanged, this,
            [this](const QString& layer, bool visible) {
                ViewerCommands().SetLayerVisible(layer, visible);
            });
    connect(mdiArea_, &QMdiArea::subWindowActivated, this, [this](QMdiSubWindow* active) {
        // Every activation of the viewer goes back to window zoom. The frame alone answers it:
        // the viewer inside the workspace does not.
        if (active != nullptr && active == viewerSub_) {
            ChooseZoomFunction(0);
            ShowZoomPercents();
        }
    });
    // Wide enough for the Control Panel's options beside its whole tab strip, where the screen
    // allows; the remembered size wins.
    QSize size(1360, 860);
    if (const QScreen* shown = screen()) size = size.boundedTo(shown->availableGeometry().size());
    resize(size);
    RestoreSettings();
}

MainWindow::~MainWindow() {
    workspace_.SetProgress(nullptr);
    workspace_.SetNestingWindow(nullptr);
}

QMdiSubWindow* MainWindow::AddChild(QWidget* widget, bool closable) {
    QMdiSubWindow* sub = mdiArea_->addSubWindow(widget);
    sub->setObjectName(widget->objectName() + QStringLiteral("Window"));
    sub->setWindowTitle(widget->windowTitle());
    sub->setAccessibleName(widget->windowTitle());
    if (!closable) {
        sub->setWindowFlags(Qt::SubWindow | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                            Qt::WindowMinMaxButtonsHint);
        if (QMenu* menu = sub->systemMenu()) {
            for (QAction* action : menu->actions()) {
                if (action->shortcut() == QKeySequence::Close ||
                    QString(action->text()).remove('&').startsWith(QLatin1String("Close"))) {
                    menu->removeAction(action);
                }
            }
        }
        sub->installEventFilter(new KeepOpen(sub, frameClosing_));
    }
    widget->show();
    return sub;
}

ViewerControl& MainWindow::ViewerCommands() const {
    return *viewer_;
}

QAction* MainWindow::Action(const QString& name) const {
    return findChild<QAction*>(name);
}

QString MainWindow::PanelText(const QString& key) const {
    const QLabel* label = panels_.value(key);
    return label != nullptr ? label->text() : QString();
}

void MainWindow::SetPanelText(const QString& key, const QString& text) {
    if (QLabel* label = panels_.value(key)) label->setText(text);
}

void MainWindow::PlaceChildWindows() {
    const int scaleWidth = mdiArea_->viewport()->width();
    const int scaleHeight = mdiArea_->viewport()->height();
    const int fileMgrWidth = TwipsToPixelsX(*this, 4000);
    const int cPanelHeight = TwipsToPixelsY(*this, 3600);
    for (QMdiSubWindow* sub : {fileMgrSub_, cPanelSub_, viewerSub_}) sub->showNormal();
    fileMgrSub_->setGeometry(0, 0, fileMgrWidth, scaleHeight);
    cPanelSub_->setGeometry(fileMgrWidth, 0, scaleWidth - fileMgrWidth, cPanelHeight);
    viewerSub_->setGeometry(fileMgrWidth, cPanelHeight, scaleWidth - fileMgrWidth,
                            scaleHeight - cPanelHeight);
    placed_ = true;
}

void MainWindow::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (!placed_) {
        // The frame's client size is known once the window is laid out.
        QTimer::singleShot(0, this, [this] {
            if (!placed_) PlaceChildWindows();
        });
    }
}

void MainWindow::closeEvent(QCloseEvent* event) {
    SaveSettings();
    *frameClosing_ = true;
    QMainWindow::closeEvent(event);
}

void MainWindow::ChooseZoomFunction(int index) {
    if (mdiArea_->activeSubWindow() == nullptr) return;
    static const char* const kButtons[] = {"btnKeyZoom", "btnKeyStatzoom", "btnPan"};
    static const char* const kTexts[] = {"Zoom Window ", "Zoom Spot ", "Pan "};
    const bool known = index >= 0 && index <= 2;
    for (int i = 0; i < 3; ++i) {
        Action(QStringLiteral("mVZFunction%1").arg(i))->setChecked(i == index);
        Action(QLatin1String(kButtons[i]))->setChecked(i == index);
    }
    ViewerCommands().SetZoomFunction(index);
    SetPanelText(QStringLiteral("ZoomState"),
                 known ? QLatin1String(kTexts[index]) : QStringLiteral(" "));
}

void MainWindow::ShowZoomPercents() {
    const ViewerControl& viewer = ViewerCommands();
    SetPanelText(QStringLiteral("ZoomPct"),
                 SpotZoomStatusText(viewer.ZoomInPercent(), viewer.ZoomOutPercent()));
}

bool MainWindow::OpenInViewer(const QString& path) {
    return viewer_->OpenInViewer(path);
}

QString MainWindow::DialogFolder(const char* key) const {
    // The remembered folder when it still exists here, else the user's home.
    const QString folder =
        QString::fromStdString(RememberedFolder(workspace_.GetSession().userStore, key));
    return QFileInfo(folder).isDir() ? folder : QDir::homePath();
}

void MainWindow::OpenWorklistCommand() {
    FileDialogRequest request;
    request.title = QStringLiteral("Open Worklist");
    request.folder = DialogFolder("ListDir");
    request.filter = kListFilter;
    request.defaultSuffix = QStringLiteral("lst");
    const QString file = services_.fileDialogs->ChooseFile(request);
    if (!file.isEmpty() && workspace_.OpenWorklist(file)) fileMgr_->PList()->ApplyColumnWidths();
}

void MainWindow::SaveWorklistCommand() {
    FileDialogRequest request;
    request.save = true;
    request.title = QStringLiteral("Save Worklist");
    request.folder = DialogFolder("ListDir");
    request.filter = kListFilter;
    request.defaultSuffix = QStringLiteral("LST");
    const QString file = services_.fileDialogs->ChooseFile(request);
    if (!file.isEmpty()) workspace_.SaveWorklistAs(file);
}

void MainWindow::ImportCsvCommand() {
    FileDialogRequest request;
    request.title = QStringLiteral("Import Worklist from CSV");
    request.folder = DialogFolder("CSVDir");
    request.proposedName = QString::fromStdString(ProposedCsvName("*.csv"));
    request.filter = kCsvFilter;
    request.defaultSuffix = QStringLiteral("csv");
    const QString file = services_.fileDialogs->ChooseFile(request);
    if (file.isEmpty()) return;
    lastCsvName_ = QFileInfo(file).fileName();
    workspace_.ImportCsv(file);
}

void MainWindow::ExportCsvCommand() {
    FileDialogRequest request;
    request.save = true;
    request.title = QStringLiteral("Export Worklist to CSV File");
    request.folder = DialogFolder("CSVDir");
    request.proposedName = QString::fromStdString(ProposedCsvName(lastCsvName_.toStdString()));
    request.filter = kCsvFilter;
    request.defaultSuffix = QStringLiteral("csv");
    const QString file = services_.fileDialogs->ChooseFile(request);
    if (file.isEmpty()) return;
    lastCsvName_ = QFileInfo(file).fileName();
    workspace_.ExportCsv(file);
}

QString MainWindow::ManualPath() const {
    if (!services_.manualPath.isEmpty()) return services_.manualPath;
    // Beside the program in a build (app/manual), under share/doc when installed.
    const QDir exe(QCoreApplication::applicationDirPath());
    for (const QString& candidate :
         {exe.filePath(QStringLiteral("manual/index.html")),
          exe.filePath(QStringLiteral("../share/doc/retracer/manual/index.html"))}) {
        if (QFileInfo::exists(candidate)) return QFileInfo(candidate).canonicalFilePath();
    }
    return {};
}

void MainWindow::HelpContentsCommand() {
    const QString manual = ManualPath();
    if (!QFileInfo::exists(manual) || !services_.openUrl(QUrl::fromLocalFile(manual))) {
        workspace_.GetSession().prompt.Show("Retracer", "The user manual could not be opened.",
                                            PromptIcon::kInformation);
    }
}

void MainWindow::AboutCommand() {
    AboutDialog about(this);
    about.exec();
}

int MainWindow::RunDialog(QDialog& dialog) {
    return services_.runDialog ? services_.runDialog(dialog) : dialog.exec();
}

void MainWindow::OptionsCommand() {
    Session& session = workspace_.GetSession();
    OptionsDialog options(ViewerCommands(), session.userStore, session.prompt, {}, this);
    connect(&options, &OptionsDialog::zoomStatusChanged, this,
            [this](const QString& text) { SetPanelText(QStringLiteral("ZoomPct"), text); });
    connect(&options, &OptionsDialog::drillToolsRequested, this, &MainWindow::DrillToolsCommand);
    RunDialog(options);
}

void MainWindow::DrillToolsCommand() {
    Session& session = workspace_.GetSession();
    DrillToolsDialog tools(session.paths.appFolder / "Tool.Par", session.tools, session.prompt,
                           this);
    RunDialog(tools);
}

void MainWindow::RestoreSettings() {
    QSettings* settings = services_.windowSettings;
    if (settings == nullptr) return;
    restoreGeometry(settings->value(QStringLiteral("Frame/geometry")).toByteArray());
    fileMgr_->PList()->View()->horizontalHeader()->restoreState(
        settings->value(QStringLiteral("Frame/worklistColumns")).toByteArray());
}

void MainWindow::SaveSettings() {
    QSettings* settings = services_.windowSettings;
    if (settings == nullptr) return;
    settings->setValue(QStringLiteral("Frame/geometry"), saveGeometry());
    settings->setValue(QStringLiteral("Frame/worklistColumns"),
                       fileMgr_->PList()->View()->horizontalHeader()->saveState());
}

}  // namespace retracer::app
