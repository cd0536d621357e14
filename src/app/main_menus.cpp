// The frame's menu tree, toolbar and status bar.
#include <QMenuBar>
#include <QStatusBar>
#include <QToolButton>

#include "accessible.h"
#include "main_window.h"
#include "popup_menu.h"
#include "viewer_window.h"

namespace retracer::app {
namespace {

QAction* AddItem(QMenu* menu, const char* name, const QString& caption) {
    QAction* action = menu->addAction(caption);
    action->setObjectName(QLatin1String(name));
    return action;
}

QAction* AddSeparator(QMenu* menu, const char* name, bool visible = true) {
    QAction* action = menu->addSeparator();
    action->setObjectName(QLatin1String(name));
    action->setVisible(visible);
    return action;
}

QMenu* AddMenu(QMenuBar* bar, const char* name, const QString& caption) {
    QMenu* menu = bar->addMenu(caption);
    menu->setObjectName(QLatin1String(name));
    menu->menuAction()->setObjectName(QLatin1String(name));
    return menu;
}

struct ToolbarEntry {
    const char* key;
    int style;  // 0 button, 2 one of the zoom-function group, 3 separator
    const char* theme;
    const char* fallback;
    const char* caption;
    const char* tooltip;
};

// The fifteen entries in order; the pictures are the desktop theme's, with our own as fallback.
constexpr ToolbarEntry kToolbar[] = {
    {"btnSep1", 3, "", "", "", ""},
    {"btnPrint", 0, "document-print", "print", "Print Extents",
     "Print the current view, fit to page"},
    {"btnOpen", 0, "document-open", "open", "Open Worklist", "Open Worklist"},
    {"btnSep2", 3, "", "", "", ""},
    {"btnZoomPrevious", 0, "zoom-previous", "zoom-previous", "Zoom Previous",
     "Go back to the previous view"},
    {"btnZoomExtents", 0, "zoom-fit-best", "zoom-extents", "Zoom Extents",
     "Zoom to the full drawing extents"},
    {"btnSep3", 3, "", "", "", ""},
    {"btnKeyZoom", 2, "zoom-in", "zoom-window", "Zoom Window", "Zoom in on a window"},
    {"btnKeyStatzoom", 2, "zoom-original", "zoom-spot", "On The Spot Zoom",
     "Stationary zoom. Click the left and right buttons to zoom in and out"},
    {"btnPan", 2, "transform-move", "pan", "Pan", "Pan"},
    {"btnSep4", 3, "", "", "", ""},
    {"btnSep5", 3, "", "", "", ""},
    {"btnLayers", 0, "view-list-details", "layers", "Layers", "View and edit layer settings"},
    {"btnSep6", 3, "", "", "", ""},
    {"btnHelp", 0, "help-contents", "help", "Help", "Help"},
};

}  // namespace

void MainWindow::BuildMenus() {
    QMenuBar* bar = menuBar();

    QMenu* file = AddMenu(bar, "mFile", QStringLiteral("&File"));
    connect(AddItem(file, "mfImpCSV", QStringLiteral("&Import Worklist from CSV")),
            &QAction::triggered, this, &MainWindow::ImportCsvCommand);
    connect(AddItem(file, "mfExpCSV", QStringLiteral("&Export WorkList to CSV")),
            &QAction::triggered, this, &MainWindow::ExportCsvCommand);
    AddSeparator(file, "mFSep", false);
    connect(AddItem(file, "mFLDLst", QStringLiteral("&Open Worklist")), &QAction::triggered, this,
            &MainWindow::OpenWorklistCommand);
    connect(AddItem(file, "mFSaveLst", QStringLiteral("&Save Worklist as...")), &QAction::triggered,
            this, &MainWindow::SaveWorklistCommand);
    AddSeparator(file, "mFSep00");
    connect(AddItem(file, "mFOpen", QStringLiteral("&Open DXF")), &QAction::triggered, this,
            [this] { viewer_->OpenDxfCommand(); });
    connect(AddItem(file, "mFSaveAsNewDXF", QStringLiteral("Save &DXF as...")), &QAction::triggered,
            this, [this] { viewer_->SaveDxfAsCommand(); });
    AddSeparator(file, "mFSep0", false);
    QAction* drillTools = AddItem(file, "mfDrt", QStringLiteral("Drill Tools"));
    drillTools->setVisible(false);
    connect(drillTools, &QAction::triggered, this, &MainWindow::DrillToolsCommand);
    AddSeparator(file, "mFSep1");
    connect(AddItem(file, "mFPrintExtents", QStringLiteral("Print &Extents")), &QAction::triggered,
            this, [this] { viewer_->PrintExtents(); });
    connect(AddItem(file, "mFPrintCurrentView", QStringLiteral("&Print Current View")),
            &QAction::triggered, this, [this] { viewer_->PrintCurrentView(); });
    AddSeparator(file, "mFSep2");
    connect(AddItem(file, "mFClose", QStringLiteral("&Exit")), &QAction::triggered, this,
            &QWidget::close);

    QMenu* edit = AddMenu(bar, "mEdit", QStringLiteral("&Edit"));
    AddItem(edit, "mELayers", QStringLiteral("&Layers..."));  // no action
    connect(AddItem(edit, "mEOptions", QStringLiteral("&Options...")), &QAction::triggered, this,
            &MainWindow::OptionsCommand);

    QMenu* view = AddMenu(bar, "mView", QStringLiteral("&View"));
    connect(AddItem(view, "mVZoomExtents", QStringLiteral("Zoom &Extents")), &QAction::triggered,
            this, [this] { viewer_->ZoomExtents(); });
    connect(AddItem(view, "mVZoomPrevious", QStringLiteral("Zoom &Previous")), &QAction::triggered,
            this, [this] { viewer_->ZoomPrevious(); });
    AddSeparator(view, "mVSep0");
    QMenu* function = view->addMenu(QStringLiteral("Zoom &Function"));
    function->setObjectName(QStringLiteral("mVZoomFunction"));
    function->menuAction()->setObjectName(QStringLiteral("mVZoomFunction"));
    zoomMenuGroup_ = new QActionGroup(this);
    zoomMenuGroup_->setExclusionPolicy(QActionGroup::ExclusionPolicy::ExclusiveOptional);
    const QString functions[] = {QStringLiteral("&Window"), QStringLiteral("On The &Spot Zoom"),
                                 QStringLiteral("&Pan")};
    for (int i = 0; i < 3; ++i) {
        QAction* item = function->addAction(functions[i]);
        item->setObjectName(QStringLiteral("mVZFunction%1").arg(i));
        item->setCheckable(true);
        zoomMenuGroup_->addAction(item);
        connect(item, &QAction::triggered, this, [this, i] { ChooseZoomFunction(i); });
    }

    QMenu* window = AddMenu(bar, "mWindow", QStringLiteral("Window"));
    connect(window, &QMenu::aboutToShow, this, [this, window] { FillWindowMenu(window); });
    FillWindowMenu(window);

    QMenu* help = AddMenu(bar, "mHelp", QStringLiteral("&Help"));
    connect(AddItem(help, "mHAbout", QStringLiteral("&About")), &QAction::triggered, this,
            &MainWindow::AboutCommand);
    connect(AddItem(help, "mHContents", QStringLiteral("&Contents")), &QAction::triggered, this,
            &MainWindow::HelpContentsCommand);

    for (QAction* action : findChildren<QAction*>()) {
        if (!action->isSeparator()) action->setStatusTip(QString(action->text()).remove('&'));
    }
    popup_ = new PopupMenu(this);
}

void MainWindow::FillWindowMenu(QMenu* menu) {
    menu->clear();
    for (QMdiSubWindow* sub : mdiArea_->subWindowList()) {
        QAction* item = menu->addAction(sub->windowTitle());
        item->setCheckable(true);
        item->setChecked(sub == mdiArea_->activeSubWindow());
        connect(item, &QAction::triggered, this,
                [this, sub] { mdiArea_->setActiveSubWindow(sub); });
    }
}

void MainWindow::BuildToolbar() {
    toolbar_ = addToolBar(QStringLiteral("Toolbar"));
    toolbar_->setObjectName(QStringLiteral("Toolbar1"));
    toolbar_->setIconSize(QSize(20, 20));
    zoomButtonGroup_ = new QActionGroup(this);
    zoomButtonGroup_->setExclusionPolicy(QActionGroup::ExclusionPolicy::ExclusiveOptional);
    for (const ToolbarEntry& entry : kToolbar) {
        QAction* action = nullptr;
        if (entry.style == 3) {
            action = toolbar_->addSeparator();
        } else {
            const QIcon fallback(
                QStringLiteral(":/icons/%1.svg").arg(QLatin1String(entry.fallback)));
            action = toolbar_->addAction(QIcon::fromTheme(QLatin1String(entry.theme), fallback),
                                         QLatin1String(entry.caption));
            action->setToolTip(QLatin1String(entry.tooltip));
            action->setEnabled(true);
            if (entry.style == 2) {
                action->setCheckable(true);
                zoomButtonGroup_->addAction(action);
            }
            if (QWidget* button = toolbar_->widgetForAction(action)) {
                Describe(button, entry.key, QLatin1String(entry.caption),
                         QLatin1String(entry.tooltip));
            }
        }
        action->setObjectName(QLatin1String(entry.key));
    }
    // A click runs the button's command; the toolbar state is refreshed after every click.
    connect(toolbar_, &QToolBar::actionTriggered, this, [this](QAction* action) {
        RunToolbarButton(action->objectName());
        SetToolbarState();
    });
}

void MainWindow::RunToolbarButton(const QString& key) {
    if (key == QLatin1String("btnPrint")) {
        viewer_->PrintExtents();  // the extents, whatever the tooltip says
    } else if (key == QLatin1String("btnOpen")) {
        OpenWorklistCommand();
    } else if (key == QLatin1String("btnZoomPrevious")) {
        viewer_->ZoomPrevious();
    } else if (key == QLatin1String("btnZoomExtents")) {
        viewer_->ZoomExtents();
    } else if (key == QLatin1String("btnKeyZoom")) {
        ChooseZoomFunction(0);
    } else if (key == QLatin1String("btnKeyStatzoom")) {
        ChooseZoomFunction(1);
    } else if (key == QLatin1String("btnPan")) {
        ChooseZoomFunction(2);
    } else if (key == QLatin1String("btnHelp")) {
        HelpContentsCommand();
    }
}

void MainWindow::SetToolbarState() {
    for (const char* key : {"btnPrint", "btnZoomPrevious", "btnZoomExtents", "btnKeyZoom",
                            "btnKeyStatzoom", "btnPan", "btnLayers"}) {
        if (QAction* action = Action(QLatin1String(key))) action->setEnabled(true);
    }
}

void MainWindow::EnableViewerCommands() {
    for (const char* name :
         {"mELayers", "mEOptions", "mFPrintCurrentView", "mFPrintExtents", "mFSaveAsNewDXF",
          "mVZoomExtents", "mVZoomPrevious", "mVZoomFunction"}) {
        if (QAction* action = Action(QLatin1String(name))) action->setEnabled(true);
    }
    SetToolbarState();
}

void MainWindow::BuildStatusBar() {
    QStatusBar* bar = statusBar();
    bar->setObjectName(QStringLiteral("SB"));
    const struct {
        const char* key;
        const char* text;
        const char* name;
        int stretch;
    } panels[] = {
        {"", "Ready", "Status", 1},      {"ZoomState", "", "Zoom function", 0},
        {"X", "X:", "X coordinate", 0},  {"Y", "Y:", "Y coordinate", 0},
        {"ZoomPct", "", "Spot zoom", 0},
    };
    for (const auto& panel : panels) {
        auto* label = new QLabel(QLatin1String(panel.text), bar);
        label->setObjectName(QLatin1String(*panel.key ? panel.key : "SBCaption"));
        label->setAccessibleName(QLatin1String(panel.name));
        label->setFrameShape(QFrame::Panel);
        label->setFrameShadow(QFrame::Sunken);
        label->setMinimumWidth(*panel.key == 'Z' ? 110 : 90);
        bar->addPermanentWidget(label, panel.stretch);
        panels_.insert(QLatin1String(panel.key), label);
    }
}

}  // namespace retracer::app
