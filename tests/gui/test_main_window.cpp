// The main frame: menu tree, toolbar, status bar, the zoom-function group, child windows and the
// File menu's worklist commands over scripted file dialogs. The viewer's commands through the
// frame are in test_frame_viewer.cpp.
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLayout>
#include <QMdiArea>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QSettings>
#include <QTabBar>
#include <QTableView>
#include <QToolButton>
#include <QtTest>

#include <algorithm>
#include <cmath>

#include "control_panel_window.h"
#include "drawing/dxf_reader.h"
#include "drill_tools_dialog.h"
#include "file_manager_window.h"
#include "frame_fixture.h"
#include "main_window.h"
#include "options_dialog.h"
#include "popup_menu.h"
#include "twips.h"
#include "worklist/worklist.h"
#include "worklist_grid.h"

using namespace retracer;
using namespace retracer::app;
using namespace retracer::app::testing;

class MainWindowTest : public QObject {
    Q_OBJECT

    // The centres of the circles (the holes) of a drawing, to a hundredth, in order; with a
    // `mirrorLength`, each at that length minus its X.
    static QList<QPointF> HoleCentres(const QString& path, double mirrorLength = -1) {
        Drawing drawing;
        std::string error;
        if (!ReadDxf(path.toStdString(), drawing, error)) qWarning("%s", error.c_str());
        QList<QPointF> centres;
        for (const Entity& entity : drawing.entities) {
            if (const auto* circle = std::get_if<CircleEntity>(&entity.geometry)) {
                const double x =
                    mirrorLength < 0 ? circle->centre.x : mirrorLength - circle->centre.x;
                centres << QPointF(std::round(x * 100) / 100,
                                   std::round(circle->centre.y * 100) / 100);
            }
        }
        std::sort(centres.begin(), centres.end(), [](const QPointF& a, const QPointF& b) {
            return std::pair(a.x(), a.y()) < std::pair(b.x(), b.y());
        });
        return centres;
    }

    static QStringList Visible(const QMenu* menu) {
        QStringList items;
        for (const QAction* action : menu->actions()) {
            if (action->isVisible()) items << (action->isSeparator() ? "-" : action->text());
        }
        return items;
    }

  private slots:
    void menuTreeAndHiddenItems() {
        Frame f;
        QCOMPARE(f.window->windowTitle(), QStringLiteral("Retracer-  Program Code to DXF"));
        QStringList menus;
        for (const QAction* a : f.window->menuBar()->actions()) menus << a->text();
        QCOMPARE(menus, QStringList({"&File", "&Edit", "&View", "Window", "&Help"}));

        auto* file = f.window->findChild<QMenu*>("mFile");
        QCOMPARE(Visible(file), QStringList({"&Import Worklist from CSV", "&Export WorkList to CSV",
                                             "&Open Worklist", "&Save Worklist as...", "-",
                                             "&Open DXF", "Save &DXF as...", "-", "Print &Extents",
                                             "&Print Current View", "-", "&Exit"}));
        // The hidden Drill Tools item is still there and still works.
        QAction* drill = f.window->Action("mfDrt");
        QVERIFY(drill && !drill->isVisible());
        drill->trigger();
        QCOMPARE(f.dialogsRun, QStringList{"Dr"});

        QCOMPARE(Visible(f.window->findChild<QMenu*>("mEdit")),
                 QStringList({"&Layers...", "&Options..."}));
        QCOMPARE(Visible(f.window->findChild<QMenu*>("mView")),
                 QStringList({"Zoom &Extents", "Zoom &Previous", "-", "Zoom &Function"}));
        QCOMPARE(Visible(f.window->findChild<QMenu*>("mVZoomFunction")),
                 QStringList({"&Window", "On The &Spot Zoom", "&Pan"}));
        QCOMPARE(Visible(f.window->findChild<QMenu*>("mHelp")),
                 QStringList({"&About", "&Contents"}));
        // The pop-up menu is not on the menu bar.
        QVERIFY(!menus.contains("PoP"));
        QCOMPARE(Visible(&f.window->Popup().Menu()),
                 QStringList({"&Expand", "&Delete ", "&Move Selected Files To Process List",
                              "&Clear Process List", "-", "Copy", "Paste"}));

        // The Window menu lists the child windows.
        auto* window = f.window->findChild<QMenu*>("mWindow");
        emit window->aboutToShow();
        QCOMPARE(Visible(window), QStringList({"Process Selection", "Control Panel", "Viewer"}));
    }

    void toolbarEntries_data() {
        QTest::addColumn<int>("index");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("tooltip");
        QTest::addColumn<bool>("groupOfOne");
        const struct {
            const char* key;
            const char* tooltip;
            bool group;
        } rows[] = {
            {"btnSep1", "", false},
            {"btnPrint", "Print the current view, fit to page", false},
            {"btnOpen", "Open Worklist", false},
            {"btnSep2", "", false},
            {"btnZoomPrevious", "Go back to the previous view", false},
            {"btnZoomExtents", "Zoom to the full drawing extents", false},
            {"btnSep3", "", false},
            {"btnKeyZoom", "Zoom in on a window", true},
            {"btnKeyStatzoom",
             "Stationary zoom. Click the left and right buttons to zoom in and out", true},
            {"btnPan", "Pan", true},
            {"btnSep4", "", false},
            {"btnSep5", "", false},
            {"btnLayers", "View and edit layer settings", false},
            {"btnSep6", "", false},
            {"btnHelp", "Help", false},
        };
        int i = 0;
        for (const auto& r : rows) {
            QTest::newRow(r.key) << i++ << QString(r.key) << QString(r.tooltip) << r.group;
        }
    }
    void toolbarEntries() {
        QFETCH(int, index);
        QFETCH(QString, key);
        QFETCH(QString, tooltip);
        QFETCH(bool, groupOfOne);
        Frame f;
        const QList<QAction*> actions = f.window->Toolbar()->actions();
        QCOMPARE(actions.size(), 15);
        QAction* action = actions[index];
        QCOMPARE(action->objectName(), key);
        QCOMPARE(action->isSeparator(), tooltip.isEmpty());
        if (action->isSeparator()) return;
        QCOMPARE(action->toolTip(), tooltip);
        QVERIFY(action->isEnabled());
        QCOMPARE(action->isCheckable(), groupOfOne);
        QVERIFY2(!action->icon().isNull(), "every button has a picture");
        QWidget* button = f.window->Toolbar()->widgetForAction(action);
        QCOMPARE(button->accessibleDescription(), tooltip);
        QCOMPARE(button->accessibleName(), action->text());
    }

    void zoomFunctionStaysInStep_data() {
        QTest::addColumn<QString>("command");
        QTest::addColumn<int>("function");
        QTest::addColumn<QString>("status");
        QTest::newRow("menu window") << "mVZFunction0" << 0 << "Zoom Window ";
        QTest::newRow("menu spot") << "mVZFunction1" << 1 << "Zoom Spot ";
        QTest::newRow("menu pan") << "mVZFunction2" << 2 << "Pan ";
        QTest::newRow("button window") << "btnKeyZoom" << 0 << "Zoom Window ";
        QTest::newRow("button spot") << "btnKeyStatzoom" << 1 << "Zoom Spot ";
        QTest::newRow("button pan") << "btnPan" << 2 << "Pan ";
    }
    void zoomFunctionStaysInStep() {
        QFETCH(QString, command);
        QFETCH(int, function);
        QFETCH(QString, status);
        Frame f;
        f.window->MdiArea()->setActiveSubWindow(f.window->FileMgrSubWindow());
        QVERIFY(f.window->MdiArea()->activeSubWindow() != nullptr);
        // Start from another function so that every part has to move.
        f.window->ChooseZoomFunction((function + 1) % 3);
        f.Trigger(command);
        static const char* const buttons[] = {"btnKeyZoom", "btnKeyStatzoom", "btnPan"};
        for (int i = 0; i < 3; ++i) {
            QCOMPARE(f.window->Action(QString("mVZFunction%1").arg(i))->isChecked(), i == function);
            QCOMPARE(f.window->Action(buttons[i])->isChecked(), i == function);
        }
        QCOMPARE(f.window->PanelText("ZoomState"), status);
        QCOMPARE(f.Viewer().ZoomFunction(), function);
    }

    void zoomFunctionEdgeCases() {
        Frame f;
        // No active child window: nothing changes.
        f.window->MdiArea()->setActiveSubWindow(f.window->FileMgrSubWindow());
        f.window->ChooseZoomFunction(1);
        f.window->MdiArea()->setActiveSubWindow(nullptr);
        QVERIFY(f.window->MdiArea()->activeSubWindow() == nullptr);
        f.window->ChooseZoomFunction(2);
        QVERIFY(!f.window->Action("mVZFunction2")->isChecked());
        QVERIFY(f.window->Action("mVZFunction1")->isChecked());
        QCOMPARE(f.window->PanelText("ZoomState"), QString("Zoom Spot "));
        QCOMPARE(f.Viewer().ZoomFunction(), 1);
        // An unknown function writes one blank and presses no button.
        f.window->MdiArea()->setActiveSubWindow(f.window->FileMgrSubWindow());
        f.window->ChooseZoomFunction(1);
        f.window->ChooseZoomFunction(7);
        QCOMPARE(f.window->PanelText("ZoomState"), QString(" "));
        QVERIFY(!f.window->Action("btnKeyStatzoom")->isChecked());
        QVERIFY(!f.window->Action("mVZFunction1")->isChecked());

        // Activating the viewer returns to window zoom and shows the spot zoom percentages.
        f.Viewer().SetZoomInPercent(40);
        f.Viewer().SetZoomOutPercent(62.5);
        f.window->MdiArea()->setActiveSubWindow(f.window->ViewerSubWindow());
        QCOMPARE(f.window->PanelText("ZoomState"), QString("Zoom Window "));
        QVERIFY(f.window->Action("btnKeyZoom")->isChecked());
        QCOMPARE(f.window->PanelText("ZoomPct"), QString("Spot Zoom (L/R): 40% / 62.5% "));
    }

    void statusBarPanels() {
        Frame f;
        // The viewer opens last and is active: its activation chose window zoom.
        QCOMPARE(f.window->MdiArea()->activeSubWindow(), f.window->ViewerSubWindow());
        QCOMPARE(f.window->PanelText("ZoomState"), QString("Zoom Window "));
        QCOMPARE(f.window->PanelText("ZoomPct"), QString("Spot Zoom (L/R): 50% / 50% "));
        QCOMPARE(f.window->PanelText("X"), QString("X:"));
        QCOMPARE(f.window->PanelText("Y"), QString("Y:"));
        QVERIFY(!f.window->PanelText("").isEmpty());
        f.window->SetPanelText("X", "X: 12.5");
        QCOMPARE(f.window->PanelText("X"), QString("X: 12.5"));
    }

    void worklistCsvThroughTheMenu() {
        Frame f;
        Worklist& w = f.workspace.GetSession().worklist;
        w.SetCell(1, WorklistColumn::kNorm, "1");
        w.SetCell(1, WorklistColumn::kFilename, "EV_PANEL.PGM");
        w.SetCell(3, WorklistColumn::kNorm, "2");  // row 2 empty: not exported
        w.SetCell(3, WorklistColumn::kJob, "Kitchen");

        // Cancelled: no file, nothing remembered.
        f.Trigger("mfExpCSV");
        QCOMPARE(f.dialogs.requests.last().title, QString("Export Worklist to CSV File"));
        QCOMPARE(f.dialogs.requests.last().proposedName, QString("*.CSV"));
        QCOMPARE(f.scratch.store.Get("Retracer", "Defaults", "CSVDir", "none"), "none");

        const QString csv = f.scratch.Path("dxf/jobs.csv");
        f.dialogs.answers.enqueue(csv);
        f.Trigger("mfExpCSV");
        QFile file(csv);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(),
                 QByteArray("1,,EV_PANEL.PGM,,,,,,,,,,,,\r\n2,,,Kitchen,,,,,,,,,,,\r\n"));
        QCOMPARE(QString::fromStdString(f.scratch.store.Get("Retracer", "Defaults", "CSVDir", "")),
                 QDir::toNativeSeparators(f.scratch.Path("dxf")) + QDir::separator());
        // The next export proposes the name chosen before.
        f.Trigger("mfExpCSV");
        QCOMPARE(f.dialogs.requests.last().proposedName, QString("jobs.CSV"));

        // Import over ten filled rows: the file's two lines replace rows 1 and 2, the rest stay.
        // The material choices are read again first (the nesting application's table appeared).
        for (int r = 1; r <= 10; ++r)
            w.SetCell(r, WorklistColumn::kJob, "old " + std::to_string(r));
        const MaterialDelegate& materials = *f.window->FileMgr()->PList()->Materials();
        f.scratch.store.Save("Cutplan", "Paths", "Executable",
                             f.scratch.Path("cutplan.exe").toStdString());
        const auto writeMaterials = [&](const QByteArray& table) {
            QFile mat(f.scratch.Path("Mat.dat"));
            QVERIFY(mat.open(QIODevice::WriteOnly));
            mat.write(table);
        };
        writeMaterials("1,Oak,18\n");
        QVERIFY(materials.Choices().isEmpty());
        f.dialogs.answers.enqueue(csv);
        f.Trigger("mfImpCSV");
        QCOMPARE(f.dialogs.requests.last().title, QString("Import Worklist from CSV"));
        QCOMPARE(f.dialogs.requests.last().proposedName, QString("*.CSV"));
        QCOMPARE(w.GetCell(1, WorklistColumn::kJob), std::string());
        QCOMPARE(w.GetCell(2, WorklistColumn::kJob), std::string("Kitchen"));
        QCOMPARE(w.GetCell(2, WorklistColumn::kNorm), std::string("2"));
        QCOMPARE(w.GetCell(3, WorklistColumn::kJob), std::string("old 3"));
        QCOMPARE(materials.Choices(), QStringList{"Oak"});

        // A pattern or a missing file ends the import before anything is remembered or read.
        f.scratch.store.Save("Retracer", "Defaults", "CSVDir", "kept");
        writeMaterials("1,Birch,16\n");
        for (const QString& answer : {f.scratch.Path("dxf/*.csv"), f.scratch.Path("none.csv")}) {
            f.dialogs.answers.enqueue(answer);
            f.Trigger("mfImpCSV");
        }
        QCOMPARE(f.scratch.store.Get("Retracer", "Defaults", "CSVDir", ""), "kept");
        QCOMPARE(materials.Choices(), QStringList{"Oak"});
        QCOMPARE(w.GetCell(2, WorklistColumn::kJob), std::string("Kitchen"));
    }

    void worklistFilesThroughTheMenuAndToolbar() {
        Frame f;
        Worklist& w = f.workspace.GetSession().worklist;
        w.SetCell(4, WorklistColumn::kFilename, "ISO_DOOR.CNC");
        w.SetCell(4, WorklistColumn::kRVariables, "R1=5");
        w.SetCellNote(4, WorklistColumn::kRVariables, "hinge offset");
        const QString list = f.scratch.Path("dxf/jobs.lst");
        f.dialogs.answers.enqueue(list);
        f.Trigger("mFSaveLst");
        QCOMPARE(f.dialogs.requests.last().title, QString("Save Worklist"));
        QVERIFY(f.dialogs.requests.last().save);
        QVERIFY(QFile::exists(list));

        w.Clear();
        f.dialogs.answers.enqueue(list);
        f.Trigger("btnOpen");  // the toolbar's Open is Open Worklist
        QCOMPARE(f.dialogs.requests.last().title, QString("Open Worklist"));
        QCOMPARE(w.GetCell(4, WorklistColumn::kFilename), std::string("ISO_DOOR.CNC"));
        QCOMPARE(w.GetCellNote(4, WorklistColumn::kRVariables), std::string("hinge offset"));
        // The dialog starts in the remembered folder next time.
        f.Trigger("mFLDLst");
        QCOMPARE(f.dialogs.requests.last().folder,
                 QDir::fromNativeSeparators(QString::fromStdString(
                     f.scratch.store.Get("Retracer", "Defaults", "ListDir", ""))));
    }

    void childWindowsPlacedAndKept() {
        Frame f;
        const int fileMgrWidth = TwipsToPixelsX(*f.window, 4000);
        const int cPanelHeight = TwipsToPixelsY(*f.window, 3600);
        const QSize area = f.window->MdiArea()->viewport()->size();
        QCOMPARE(f.window->FileMgrSubWindow()->geometry(),
                 QRect(0, 0, fileMgrWidth, area.height()));
        QCOMPARE(f.window->CPanelSubWindow()->geometry(),
                 QRect(fileMgrWidth, 0, area.width() - fileMgrWidth, cPanelHeight));
        QCOMPARE(f.window->ViewerSubWindow()->geometry(),
                 QRect(fileMgrWidth, cPanelHeight, area.width() - fileMgrWidth,
                       area.height() - cPanelHeight));
        QCOMPARE(f.window->CPanelSubWindow()->windowTitle(), QString("Control Panel"));
        QCOMPARE(f.window->ViewerSubWindow()->windowTitle(), QString("Viewer"));

        // The Control Panel and the viewer cannot be closed; Process Selection can.
        for (QMdiSubWindow* sub : {f.window->CPanelSubWindow(), f.window->ViewerSubWindow()}) {
            QVERIFY(!(sub->windowFlags() & Qt::WindowCloseButtonHint));
            for (const QAction* a : sub->systemMenu()->actions()) {
                QVERIFY(!a->text().remove('&').startsWith("Close"));
            }
            sub->close();
            QVERIFY(sub->isVisible());
        }
        f.window->FileMgrSubWindow()->close();
        QVERIFY(!f.window->FileMgrSubWindow()->isVisible());
    }

    void helpContentsOpensTheManual_data() {
        QTest::addColumn<QString>("command");
        QTest::addColumn<bool>("present");
        QTest::newRow("menu, manual there") << "mHContents" << true;
        QTest::newRow("button, manual there") << "btnHelp" << true;
        QTest::newRow("manual missing") << "mHContents" << false;
    }
    void helpContentsOpensTheManual() {
        QFETCH(QString, command);
        QFETCH(bool, present);
        Scratch scratch;
        Workspace workspace(scratch.paths, scratch.prompt, scratch.store);
        ScriptedProgress progress;
        QList<QUrl> opened;
        FrameServices services;
        services.progress = &progress;
        services.openUrl = [&](const QUrl& url) {
            opened << url;
            return true;
        };
        services.manualPath = scratch.Path("manual/index.html");
        if (present) {
            QDir().mkpath(scratch.Path("manual"));
            QFile page(services.manualPath);
            QVERIFY(page.open(QIODevice::WriteOnly));
        }
        MainWindow window(workspace, services);
        window.Action(command)->trigger();
        QCOMPARE(opened,
                 present ? QList<QUrl>{QUrl::fromLocalFile(services.manualPath)} : QList<QUrl>());
        QCOMPARE(scratch.prompt.messages.size(), std::size_t(present ? 0 : 1));
    }

    void mirClickInTheGridPreviewsTheMirroredPart() {
        Frame f;
        f.AddPanelProgram();
        QSignalSpy drawings(&f.workspace, &Workspace::drawingMade);
        f.ClickWorklistCell(1, WorklistColumn::kNorm);
        QCOMPARE(drawings.count(), 1);
        const QString preview = drawings.last().first().toString();
        const QList<QPointF> normal = HoleCentres(preview);
        QVERIFY(normal.size() > 3);

        f.ClickWorklistCell(1, WorklistColumn::kMir);
        QCOMPARE(drawings.count(), 2);
        QCOMPARE(f.Viewer().windowTitle(), preview);
        // Every hole at length minus its X, the same Y.
        QCOMPARE(HoleCentres(preview, 720), normal);
        // A second click on the same cell does nothing.
        f.ClickWorklistCell(1, WorklistColumn::kMir);
        QCOMPARE(drawings.count(), 2);

        // The Control Panel shows the row: its tabs, its program's lines and data, the
        // drawing's layers, the row's size; its edits go to row 1.
        ControlPanelWindow& panel = f.Panel();
        QVERIFY(panel.TabStrip()->isVisible());
        QVERIFY(panel.ProgramDataFrame()->isVisible());
        QCOMPARE(panel.CurrentRow(), 1);
        QVERIFY(panel.PrgList()->model()->rowCount() > 10);
        QCOMPARE(panel.PrgList()->model()->index(1, 0).data().toString(),
                 QString("$=Cabinet side left, 32 mm system"));
        QVERIFY(panel.LayerList()->model()->rowCount() > 2);
        QCOMPARE(panel.DimList()->model()->index(0, 1).data().toString().trimmed(), "720");
        QVERIFY(!panel.CommentLabel()->text().isEmpty());
    }

    void controlPanelEditsTranslateTheCurrentRowAgain() {
        Frame f;
        f.AddPanelProgram();
        QSignalSpy drawings(&f.workspace, &Workspace::drawingMade);
        // No current job yet: an edit changes the list only.
        QAbstractItemModel* dims = f.Panel().DimList()->model();
        QVERIFY(dims->setData(dims->index(0, 1), "700"));
        QCOMPARE(drawings.count(), 0);
        QCOMPARE(f.Rows().GetCell(1, WorklistColumn::kLength), std::string("720"));

        f.ClickWorklistCell(1, WorklistColumn::kMir);
        QCOMPARE(drawings.count(), 1);
        QVERIFY(dims->setData(dims->index(0, 1), "700"));
        QCOMPARE(f.Rows().GetCell(1, WorklistColumn::kLength), std::string("700"));
        QCOMPARE(drawings.count(), 2);
        // The new length holds in the drawing: the mirrored holes are now measured from 700.
        const QList<QPointF> mirrored = HoleCentres(drawings.last().first().toString());
        f.ClickWorklistCell(1, WorklistColumn::kNorm);
        QCOMPARE(drawings.count(), 3);
        QCOMPARE(HoleCentres(drawings.last().first().toString(), 700), mirrored);

        // A click on a program file ends the current job: edits no longer reach the worklist.
        FolderFileList* files = f.window->FileMgr()->File1();
        files->setCurrentItem(files->findItems("EV_DOOR.PGM", Qt::MatchExactly).first());
        emit files->itemClicked(files->currentItem());
        QCOMPARE(f.Panel().CurrentRow(), 0);
        QVERIFY(dims->setData(dims->index(0, 1), "650"));
        QCOMPARE(f.Rows().GetCell(1, WorklistColumn::kLength), std::string("700"));
    }

    void optionBoxesWriteTheSettingsAndTheRunsFollowThem() {
        Frame f;
        QSignalSpy drawings(&f.workspace, &Workspace::drawingMade);
        FolderFileList* files = f.window->FileMgr()->File1();
        const auto clickProgram = [&] {
            files->setCurrentItem(files->findItems("EV_DOOR.PGM", Qt::MatchExactly).first());
            emit files->itemClicked(files->currentItem());
        };
        clickProgram();  // TranslateOnSelect off: recognised only
        QCOMPARE(drawings.count(), 0);

        QCheckBox* tos = f.Panel().OptionBox(&TranslationOptions::translateOnSelect);
        QTest::mouseClick(tos, Qt::LeftButton);
        QVERIFY(f.scratch.ReadSettings().contains("TranslateOnSelect=1"));
        clickProgram();
        QCOMPARE(drawings.count(), 1);
        QTest::mouseClick(tos, Qt::LeftButton);
        QVERIFY(f.scratch.ReadSettings().contains("TranslateOnSelect=0"));
        clickProgram();
        QCOMPARE(drawings.count(), 1);
    }

    // A run that writes Batch.lst brings the nesting application to the front through the
    // desktop's window; a run without it leaves the desktop alone.
    void batchListRunsRaiseTheNestingWindow_data() {
        QTest::addColumn<bool>("batchList");
        QTest::newRow("Batch.lst written") << true;
        QTest::newRow("no Batch.lst") << false;
    }
    void batchListRunsRaiseTheNestingWindow() {
        QFETCH(bool, batchList);
        Frame f;
        f.AddPanelProgram();
        f.workspace.GetSession().settings.options.generateBatchLst = batchList;
        f.window->FileMgr()->ProcessButton()->click();
        QCOMPARE(QFileInfo::exists(f.scratch.Path("dxf/Batch.lst")), batchList);
        QCOMPARE(f.nesting.raised, batchList ? QStringList{"Cutplan"} : QStringList());
    }

    void drawingClickShowsItsLayersWithoutProgramData() {
        Frame f;
        f.AddPanelProgram();
        f.progress.cancelAt = -1;
        f.window->FileMgr()->ProcessButton()->click();
        FolderFileList* drawings = f.window->FileMgr()->File2();
        QTRY_COMPARE(drawings->count(), 1);
        QSignalSpy shown(&f.Viewer(), &ViewerWindow::drawingOpened);
        emit drawings->itemClicked(drawings->item(0));
        ControlPanelWindow& panel = f.Panel();
        QVERIFY(!panel.TabStrip()->isVisible());
        QVERIFY(!panel.ProgramDataFrame()->isVisible());
        QVERIFY(panel.LayerList()->isVisible());
        QVERIFY(!panel.PrgList()->isVisible());
        // The options stay together at the top.
        const auto* options = panel.findChild<QGroupBox*>("Frame1");
        panel.layout()->activate();
        QCOMPARE(options->height(), options->sizeHint().height());
        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown.last().first().toString(), drawings->PathOf("EV_PANEL.DXF"));

        // A program file brings the tabs and the program data back.
        FolderFileList* files = f.window->FileMgr()->File1();
        files->setCurrentItem(files->item(0));
        emit files->itemClicked(files->currentItem());
        QVERIFY(panel.TabStrip()->isVisible());
        QVERIFY(panel.ProgramDataFrame()->isVisible());
    }

    void optionsDialogWritesTheZoomStatusAndOpensTheDrillTools_data() {
        QTest::addColumn<bool>("ok");
        QTest::addColumn<QString>("status");
        QTest::newRow("OK") << true << "Spot Zoom (L/R): 75% / 40% ";
        QTest::newRow("Cancel") << false << "Spot Zoom (L/R): 50% / 50% ";
    }
    void optionsDialogWritesTheZoomStatusAndOpensTheDrillTools() {
        QFETCH(bool, ok);
        QFETCH(QString, status);
        Frame f;
        f.onDialog = [&](QDialog& dialog) {
            if (auto* options = qobject_cast<OptionsDialog*>(&dialog)) {
                options->ZoomInBox()->setEditText("75");
                options->ZoomOutBox()->setEditText("40");
                options->findChild<QPushButton*>("cmdDrillTools")->click();
                if (ok) options->OkButton()->click();
            } else if (auto* tools = qobject_cast<DrillToolsDialog*>(&dialog)) {
                tools->SetCell(5, 3, "8");
                if (ok) tools->accept();
            }
            return dialog.result();
        };
        f.Trigger("mEOptions");
        QCOMPARE(f.dialogsRun, QStringList({"frmOptions", "Dr"}));
        QCOMPARE(f.window->PanelText("ZoomPct"), status);
        QCOMPARE(f.Viewer().ZoomInPercent(), ok ? 75.0 : 50.0);
        // The drill tool table the translators read follows the dialog's OK.
        QCOMPARE(f.workspace.GetSession().tools.Find(5)->dia, ok ? 8.0f : 0.0f);
        QCOMPARE(QFile::exists(f.scratch.Path("app/Tool.Par")), ok);
    }

    void worklistMenuExpandsOverTheFrame() {
        Frame f;
        QMdiSubWindow* sub = f.window->FileMgrSubWindow();
        WorklistGrid* grid = f.window->FileMgr()->PList();
        const int designWidth = sub->width();
        f.window->Popup().SetRunner(
            [&](QMenu&, const QPoint&) { f.window->Popup().Expand()->trigger(); });
        grid->ShowMenu(QPoint());
        QCOMPARE(sub->width(), f.window->MdiArea()->viewport()->width());
        QCOMPARE(grid->height(), f.window->FileMgr()->height());
        grid->ShowMenu(QPoint());
        QCOMPARE(sub->width(), designWidth);
        QCOMPARE(grid->height(), f.window->FileMgr()->height() / 4);
    }

    void childWindowsShowTheirControlsWhole_data() {
        QTest::addColumn<int>("frameWidth");
        QTest::addColumn<int>("optionRows");
        QTest::newRow("usual frame: options in five rows") << 1360 << 5;
        QTest::newRow("wide frame: options in three rows") << 1900 << 3;
    }
    void childWindowsShowTheirControlsWhole() {
        QFETCH(int, frameWidth);
        QFETCH(int, optionRows);
        Frame f;
        f.window->resize(frameWidth, 860);
        QTRY_COMPARE(f.window->width(), frameWidth);
        f.window->PlaceChildWindows();
        QCoreApplication::processEvents();
        // The Control Panel is only 3600 twips high: every option box keeps its height, the tab
        // strip shows every tab.
        ControlPanelWindow& panel = f.Panel();
        QSet<int> rows;
        for (QCheckBox* box : panel.findChildren<QCheckBox*>()) {
            QVERIFY2(box->height() >= box->sizeHint().height(), qPrintable(box->objectName()));
            QVERIFY2(box->width() >= box->sizeHint().width(), qPrintable(box->objectName()));
            rows << box->y();
        }
        QCOMPARE(rows.size(), optionRows);
        QVERIFY(panel.TabStrip()->width() >= panel.TabStrip()->sizeHint().width());
        const QRect frame = panel.ProgramDataFrame()->geometry();
        QVERIFY(frame.bottom() < panel.height());
        QVERIFY(panel.DimensionsLabel()->geometry().bottom() < frame.height());
        // The worklist's column captions are whole.
        QHeaderView* header = f.window->FileMgr()->PList()->View()->horizontalHeader();
        for (int section = 0; section < header->count(); ++section) {
            QVERIFY2(header->sectionSize(section) >= header->sectionSizeHint(section),
                     qPrintable(header->model()->headerData(section, Qt::Horizontal).toString()));
        }
    }

    void frameGeometryIsRemembered() {
        QTemporaryDir dir;
        QSettings settings(dir.filePath("window.ini"), QSettings::IniFormat);
        Scratch scratch;
        Workspace workspace(scratch.paths, scratch.prompt, scratch.store);
        ScriptedProgress progress;
        FrameServices services;
        services.windowSettings = &settings;
        services.progress = &progress;
        {
            MainWindow window(workspace, services);
            window.show();
            window.resize(900, 640);
            window.FileMgr()->PList()->View()->setColumnWidth(2, 211);
            window.close();
        }
        MainWindow again(workspace, services);
        QCOMPARE(again.size(), QSize(900, 640));
        QCOMPARE(again.FileMgr()->PList()->View()->columnWidth(2), 211);
    }
};

QTEST_MAIN(MainWindowTest)
#include "test_main_window.moc"
