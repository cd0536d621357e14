#pragma once

#include <QActionGroup>
#include <QHash>
#include <QLabel>
#include <QMainWindow>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QToolBar>
#include <QUrl>
#include <functional>
#include <memory>

class QDialog;
class QPrinter;
class QSettings;

namespace retracer {
class NestingWindow;
}

namespace retracer::app {

class ControlPanelWindow;
class FileDialogs;
class FileManagerWindow;
class FolderBrowser;
class PopupMenu;
class RunProgressView;
class ViewerControl;
class ViewerWindow;
class Workspace;

using ControlPanel = ControlPanelWindow;

// What the frame asks of the desktop; null members get the real thing, tests pass fakes.
struct FrameServices {
    FileDialogs* fileDialogs = nullptr;
    FolderBrowser* folderBrowser = nullptr;
    RunProgressView* progress = nullptr;
    NestingWindow* nestingWindow = nullptr;  // null: wmctrl on an X11 desktop
    QSettings* windowSettings = nullptr;     // null: window geometry is not remembered
    std::function<bool(const QUrl&)> openUrl;
    QString manualPath;  // the user manual's index.html; empty: looked up beside the program
    // Runs a modal dialog (Options, Drill Tools) and returns its result; empty: exec().
    std::function<int(QDialog&)> runDialog;
    // The printer setup before a print (the orientation above all); false when cancelled.
    // Empty: the platform's page setup dialog.
    std::function<bool(QPrinter&)> printSetup;
    // Whether a printer is installed (without one a print goes to a PDF file the user names).
    // Empty: the system is asked.
    std::function<bool()> hasPrinter;
};

// The main frame `mdiMain`: menus, toolbar, status bar and the three child windows.
class MainWindow : public QMainWindow {
    Q_OBJECT

  public:
    MainWindow(Workspace& workspace, FrameServices services = {}, QWidget* parent = nullptr);
    ~MainWindow() override;

    QMdiArea* MdiArea() const { return mdiArea_; }
    FileManagerWindow* FileMgr() const { return fileMgr_; }
    ControlPanel* CPanel() const { return cPanel_; }
    ViewerWindow* Viewer() const { return viewer_; }
    ViewerControl& ViewerCommands() const;
    QMdiSubWindow* FileMgrSubWindow() const { return fileMgrSub_; }
    QMdiSubWindow* CPanelSubWindow() const { return cPanelSub_; }
    QMdiSubWindow* ViewerSubWindow() const { return viewerSub_; }
    QToolBar* Toolbar() const { return toolbar_; }
    PopupMenu& Popup() const { return *popup_; }

    // A menu item or toolbar button by its name (mFOpen, btnPan, ...).
    QAction* Action(const QString& name) const;
    // Text of a status bar panel by key ("ZoomState", "X", "Y", "ZoomPct"; "" the first one).
    QString PanelText(const QString& key) const;
    void SetPanelText(const QString& key, const QString& text);

    // Places the three child windows side by side as at start-up, in the frame's current size.
    void PlaceChildWindows();

  public slots:
    // The zoom-function command (0 window, 1 on the spot, 2 pan): menu check mark, pressed
    // toolbar button, the viewer's function and the status text, all in step.
    void ChooseZoomFunction(int index);
    // "Spot Zoom (L/R): in% / out% " from the viewer's settings (the viewer's activation and
    // the Options dialog's OK write it).
    void ShowZoomPercents();
    // Shows a drawing in the viewer and its layers in the Control Panel; a file that is not
    // there is reported and the drawing file list refreshed. True when the drawing is shown.
    bool OpenInViewer(const QString& path);

    void OpenWorklistCommand();
    void SaveWorklistCommand();
    void ImportCsvCommand();
    void ExportCsvCommand();
    void HelpContentsCommand();
    void AboutCommand();
    // Edit > Options...: the viewer's settings; OK writes the "ZoomPct" status text.
    void OptionsCommand();
    // The drill tool table, from the hidden File menu item and the Options dialog.
    void DrillToolsCommand();

  protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

  private:
    void BuildMenus();
    void BuildToolbar();
    void BuildStatusBar();
    void EnableViewerCommands();
    void SetToolbarState();
    void RunToolbarButton(const QString& key);
    QMdiSubWindow* AddChild(QWidget* widget, bool closable);
    void FillWindowMenu(QMenu* menu);
    QString DialogFolder(const char* key) const;
    void RestoreSettings();
    void SaveSettings();
    QString ManualPath() const;
    int RunDialog(QDialog& dialog);

    Workspace& workspace_;
    FrameServices services_;
    std::unique_ptr<FileDialogs> ownDialogs_;
    std::unique_ptr<FolderBrowser> ownBrowser_;
    std::unique_ptr<RunProgressView> ownProgress_;
    std::unique_ptr<NestingWindow> ownNestingWindow_;

    QMdiArea* mdiArea_;
    QToolBar* toolbar_ = nullptr;
    PopupMenu* popup_ = nullptr;
    QActionGroup* zoomMenuGroup_ = nullptr;
    QActionGroup* zoomButtonGroup_ = nullptr;
    QHash<QString, QLabel*> panels_;
    FileManagerWindow* fileMgr_ = nullptr;
    ControlPanel* cPanel_ = nullptr;
    ViewerWindow* viewer_ = nullptr;
    QMdiSubWindow* fileMgrSub_ = nullptr;
    QMdiSubWindow* cPanelSub_ = nullptr;
    QMdiSubWindow* viewerSub_ = nullptr;
    bool placed_ = false;
    std::shared_ptr<bool> frameClosing_ = std::make_shared<bool>(false);
    QString lastCsvName_ = QStringLiteral("*.csv");
};

}  // namespace retracer::app
