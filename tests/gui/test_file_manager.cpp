// The Process Selection window: folder boxes and their lists, the live folder browser, the
// refresh of the lists, the program files' pop-up menu, Clear Destination Folder, adding files
// and the Process button's runs with progress and Cancel.
#include <QtTest>

#include "file_manager_window.h"
#include "gui_fixture.h"
#include "popup_menu.h"
#include "worklist/worklist.h"
#include "worklist_grid.h"

using namespace retracer;
using namespace retracer::app;
using namespace retracer::app::testing;

class FileManagerTest : public QObject {
    Q_OBJECT

    struct Window {
        explicit Window(bool scratchFolders = true)
            : workspace(scratch.paths, scratch.prompt, scratch.store) {
            if (scratchFolders) scratch.UseScratchFolders();
            parent.resize(300, 900);
            window = new FileManagerWindow(workspace, popup, browser, &parent);
            window->resize(300, 900);
            workspace.SetProgress(&progress);
            window->Load();
            parent.show();
        }
        // Shows the program files' menu and picks the item `choose` (nullptr: closes it).
        QStringList File1Menu(QAction* choose) {
            QStringList shown;
            popup.SetRunner([&](QMenu& menu, const QPoint&) {
                for (QAction* a : menu.actions()) {
                    if (a->isVisible()) shown << (a->isSeparator() ? "-" : a->text());
                }
                if (choose != nullptr) choose->trigger();
            });
            window->File1Menu(QPoint());
            return shown;
        }
        void Select(const QStringList& names) {
            window->File1()->clearSelection();
            for (int i = 0; i < window->File1()->count(); ++i) {
                QListWidgetItem* item = window->File1()->item(i);
                item->setSelected(names.contains(item->text()));
            }
        }
        Worklist& Rows() { return workspace.GetSession().worklist; }

        Scratch scratch;
        Workspace workspace;
        QWidget parent;
        PopupMenu popup{&parent};
        ScriptedFolderBrowser browser;
        ScriptedProgress progress;
        FileManagerWindow* window;
    };

  private slots:
    void foldersDecideWhatTheListsShow_data() {
        QTest::addColumn<QString>("source");
        QTest::addColumn<bool>("listed");
        QTest::newRow("empty") << "" << false;
        QTest::newRow("missing") << "nowhere" << false;
        QTest::newRow("a file, not a folder") << "progs/EV_DOOR.PGM" << false;
        QTest::newRow("the program folder") << "progs" << true;
    }
    void foldersDecideWhatTheListsShow() {
        QFETCH(QString, source);
        QFETCH(bool, listed);
        Window w(false);
        // Nothing set at start: both lists hidden, "Invalid Path" in their place.
        QVERIFY(w.window->File1()->isHidden() && w.window->File2()->isHidden());
        QVERIFY(!w.window->File1InvalidLabel()->isHidden());
        QCOMPARE(w.window->File1InvalidLabel()->text(), QString("Invalid Path"));
        QVERIFY(!w.window->File2InvalidLabel()->isHidden());

        w.window->SPath()->setText(source.isEmpty() ? source : w.scratch.Path(source));
        QCOMPARE(w.window->File1()->isHidden(), !listed);
        QCOMPARE(w.window->File1InvalidLabel()->isHidden(), listed);
        if (listed) {
            QVERIFY(w.window->File1()->Names().contains("EV_DOOR.PGM"));
            QVERIFY(w.window->File1()->Names().contains("Sample.lst"));  // every file
        }
        // The destination list shows drawings only, whatever the letter case.
        QFile::copy(w.scratch.Path("progs/EV_DOOR.PGM"), w.scratch.Path("dxf/a.dxf"));
        QFile::copy(w.scratch.Path("progs/EV_DOOR.PGM"), w.scratch.Path("dxf/B.DXF"));
        QFile::copy(w.scratch.Path("progs/EV_DOOR.PGM"), w.scratch.Path("dxf/Batch.lst"));
        w.window->DPath()->setText(w.scratch.Path("dxf"));
        QCOMPARE(w.window->File2()->Names(), QStringList({"a.dxf", "B.DXF"}));
        QVERIFY(w.window->File2InvalidLabel()->isHidden());
    }

    void listsFollowTheirFolders() {
        Window w;
        const int before = w.window->File1()->count();
        QVERIFY(before > 0);
        // Another program copies a file in: it shows within about a second.
        QFile::copy(w.scratch.Path("progs/EV_DOOR.PGM"), w.scratch.Path("progs/NEW.PGM"));
        QTRY_COMPARE_WITH_TIMEOUT(w.window->File1()->count(), before + 1, 2500);
        // The timer alone does it too (where the watcher hears nothing).
        QFile::copy(w.scratch.Path("progs/EV_DOOR.PGM"), w.scratch.Path("dxf/X.DXF"));
        QTRY_COMPARE_WITH_TIMEOUT(w.window->File2()->count(), 1, 2500);
        QCOMPARE(w.window->RefreshTimer()->interval(), 1000);
        QVERIFY(w.window->RefreshTimer()->isActive());
        // The selection survives a refresh.
        w.Select({"NEW.PGM"});
        QFile::remove(w.scratch.Path("progs/EV_DOOR.PGM"));
        w.window->RefreshLists();
        QCOMPARE(w.window->File1()->SelectedNames(), QStringList{"NEW.PGM"});
    }

    void folderBrowserFollowsLiveAndRestoresOnCancel_data() {
        QTest::addColumn<bool>("accept");
        QTest::newRow("OK") << true;
        QTest::newRow("Cancel") << false;
    }
    void folderBrowserFollowsLiveAndRestoresOnCancel() {
        QFETCH(bool, accept);
        Window w;
        const QString before = w.window->SPath()->text();
        const QString sep = QDir::separator();
        w.browser.path = {w.scratch.Path("dxf"), w.scratch.Path("app")};
        w.browser.accept = accept;
        QStringList live;
        w.browser.onEachStep = [&] { live << w.window->SPath()->text(); };
        w.window->BrowseFolder(1);
        QCOMPARE(w.browser.seen,
                 QStringList({"Path Browser", "Select source path for Program files.", before}));
        // Every move shows at once, with a trailing separator.
        QCOMPARE(live, QStringList({QDir::toNativeSeparators(w.scratch.Path("dxf")) + sep,
                                    QDir::toNativeSeparators(w.scratch.Path("app")) + sep}));
        const QString after = accept ? live.last() : before;
        QCOMPARE(w.window->SPath()->text(), after);
        QCOMPARE(w.window->SPath()->toolTip(), after);
        // The settings file receives the box's text either way.
        QVERIFY2(w.scratch.ReadSettings().contains("SourceDir=" + after),
                 qPrintable(w.scratch.ReadSettings()));
        QCOMPARE(w.workspace.SourceFolder(), after);
    }

    void programFilesMenu() {
        Window w;
        // The menu as the program files list shows it.
        QCOMPARE(w.File1Menu(nullptr), QStringList({"&Expand", "&Delete Selected Files",
                                                    "&Move Selected Files To Process List"}));
        // Expand makes the list nearly the window's height; the next time the item restores it.
        w.File1Menu(w.popup.Expand());
        QVERIFY(w.window->File1()->height() > w.window->height() / 2);
        QCOMPARE(w.File1Menu(nullptr).first(), QString("&Restore"));
        w.File1Menu(w.popup.Expand());
        QCOMPARE(w.window->File1()->height(), w.window->height() / 4);

        // Delete asks first and deletes only on Yes.
        w.Select({"ISO_DOOR.CNC"});
        w.scratch.prompt.answers = {false, true};
        w.File1Menu(w.popup.Delete());
        QVERIFY(QFile::exists(w.scratch.Path("progs/ISO_DOOR.CNC")));
        w.File1Menu(w.popup.Delete());
        QVERIFY(!QFile::exists(w.scratch.Path("progs/ISO_DOOR.CNC")));
        QVERIFY(!w.window->File1()->Names().contains("ISO_DOOR.CNC"));
        QCOMPARE(Texts(w.scratch.prompt.messages),
                 QStringList(2, "Query: Delete selected Program files?"));

        // Move to the worklist adds the recognised programs; the text file is left out.
        w.Select({"EV_DOOR.PGM", "expressions.txt", "ISO_PANEL.CNC"});
        w.File1Menu(w.popup.ToProcess());
        QCOMPARE(w.Rows().GetCell(1, WorklistColumn::kFilename), std::string("EV_DOOR.PGM"));
        QCOMPARE(w.Rows().GetCell(2, WorklistColumn::kFilename), std::string("ISO_PANEL.CNC"));
        QCOMPARE(w.Rows().GetCell(3, WorklistColumn::kFilename), std::string());
        QCOMPARE(w.Rows().GetCell(1, WorklistColumn::kNorm), std::string("1"));
    }

    void clearDestinationFolder_data() {
        QTest::addColumn<int>("drawings");
        QTest::addColumn<bool>("answer");
        QTest::addColumn<int>("left");
        QTest::newRow("Yes deletes every file") << 2 << true << 0;
        QTest::newRow("No keeps them") << 2 << false << 3;
        QTest::newRow("no drawings: nothing asked") << 0 << true << 1;
    }
    void clearDestinationFolder() {
        QFETCH(int, drawings);
        QFETCH(bool, answer);
        QFETCH(int, left);
        Window w;
        for (int i = 0; i < drawings; ++i) {
            QFile::copy(w.scratch.Path("progs/EV_DOOR.PGM"),
                        w.scratch.Path(QString("dxf/%1.DXF").arg(i)));
        }
        QFile::copy(w.scratch.Path("progs/EV_DOOR.PGM"), w.scratch.Path("dxf/Batch.lst"));
        w.window->File2()->Refresh();
        w.scratch.prompt.answers = {answer};
        w.window->ClearButton()->click();
        QCOMPARE(QDir(w.scratch.Path("dxf")).entryList(QDir::Files).size(), left);
        QCOMPARE(w.scratch.prompt.messages.size(), std::size_t(drawings > 0 ? 1 : 0));
        if (drawings > 0) {
            const QString folder = QDir::toNativeSeparators(w.scratch.Path("dxf"));
            QCOMPARE(Texts(w.scratch.prompt.messages).first(),
                     "Retracer: Delete all files in destination folder?  " + folder +
                         QDir::separator() + "*.*");
        }
        QCOMPARE(w.window->File2()->count(), answer ? 0 : drawings);
    }

    void addFileButtonFillsRowsAfterTheLastJob() {
        Window w;
        w.Rows().SetCell(1, WorklistColumn::kFilename, "A.PGM");
        w.Rows().SetCell(2, WorklistColumn::kFilename, "B.PGM");
        w.Rows().SetCell(4, WorklistColumn::kFilename, "D.PGM");  // row 3 empty: filled next
        w.Rows().SetCell(4, WorklistColumn::kJob, "kept");
        w.Select({"EV_PANEL.PGM", "ISO_DOOR.CNC"});
        w.window->AddFileButton()->click();
        QCOMPARE(w.Rows().GetCell(3, WorklistColumn::kFilename), std::string("EV_PANEL.PGM"));
        QCOMPARE(w.Rows().GetCell(4, WorklistColumn::kFilename), std::string("ISO_DOOR.CNC"));
        QCOMPARE(w.Rows().GetCell(4, WorklistColumn::kJob), std::string("kept"));
        QVERIFY(!w.Rows().GetCell(3, WorklistColumn::kLength).empty());
        // Two files make a run with progress.
        QCOMPARE(w.progress.steps.size(), 2);
        QCOMPARE(w.progress.ended, 1);

        // Cancel stops adding before the next file.
        w.progress.cancelAt = 1;
        w.Select({"EV_DOOR.PGM", "ISO_PANEL.CNC"});
        w.window->AddFileButton()->click();
        QCOMPARE(w.Rows().GetCell(5, WorklistColumn::kFilename), std::string("EV_DOOR.PGM"));
        QCOMPARE(w.Rows().GetCell(6, WorklistColumn::kFilename), std::string());
    }

    void processRunsTheWorklistWithProgressAndCancel() {
        Window w;
        const char* files[] = {"EV_PANEL.PGM", "ISO_PANEL.CNC", "EV_DOOR.PGM"};
        for (int r = 1; r <= 3; ++r) {
            w.Rows().SetCell(r, WorklistColumn::kNorm, "1");
            w.Rows().SetCell(r, WorklistColumn::kFilename, files[r - 1]);
            w.Rows().SetCell(r, WorklistColumn::kPath, w.scratch.Path("progs").toStdString());
        }
        // A second press while the run goes on is refused; Cancel while the second row is
        // translated stops the run before the third.
        w.progress.cancelAt = 2;
        bool secondRan = true;
        QSignalSpy drawings(&w.workspace, &Workspace::drawingMade);
        w.progress.duringStep = [&] {
            if (w.progress.dones.size() == 1) {
                secondRan = w.workspace.Process({});
                QVERIFY(!w.window->ProcessButton()->isEnabled());
            }
        };
        w.window->ProcessButton()->click();
        QVERIFY(!secondRan);
        QCOMPARE(w.progress.titles, QStringList{"Processing the worklist"});
        QCOMPARE(w.progress.totals, QList<int>{3});
        QCOMPARE(w.progress.stepTotals, QList<int>({3, 3}));
        QCOMPARE(w.progress.dones, QList<int>({0, 1}));
        QVERIFY(w.progress.steps[1].contains("Row 2: ISO_PANEL.CNC"));
        QCOMPARE(w.progress.ended, 1);
        QCOMPARE(QDir(w.scratch.Path("dxf")).entryList({"*.DXF"}, QDir::Files),
                 QStringList({"EV_PANEL.DXF", "ISO_PANEL.DXF"}));
        QVERIFY(w.window->ProcessButton()->isEnabled());
        // The destination list shows the new drawings, the viewer is told of the last one.
        QCOMPARE(w.window->File2()->count(), 2);
        QCOMPARE(drawings.count(), 1);
        QVERIFY(drawings.first().first().toString().endsWith("ISO_PANEL.DXF"));

        // Without Cancel the whole worklist runs, and its last step says so.
        w.progress.cancelAt = -1;
        w.progress.duringStep = nullptr;
        w.progress.dones.clear();
        w.progress.steps.clear();
        w.window->ProcessButton()->click();
        QCOMPARE(QDir(w.scratch.Path("dxf")).entryList({"*.DXF"}, QDir::Files).size(), 3);
        QCOMPARE(w.progress.dones, QList<int>({0, 1, 2, 3}));
        QCOMPARE(w.progress.steps.last(), QString("Translated 3 of 3"));
        QCOMPARE(w.progress.ended, 2);
    }

    // Program files translated from the list (a double-click, or Process with an empty
    // worklist) show progress when there are several, and Cancel stops before the next file.
    void selectedFilesRunWithProgressAndCancel() {
        Window w;
        QSignalSpy drawings(&w.workspace, &Workspace::drawingMade);
        w.Select({"EV_PANEL.PGM"});
        QListWidgetItem* item = w.window->File1()->selectedItems().first();
        emit w.window->File1()->itemClicked(item);  // recognises only, and arms the next run
        emit w.window->File1()->itemDoubleClicked(item);
        QCOMPARE(drawings.count(), 1);
        QVERIFY(w.progress.titles.isEmpty());  // one file: no progress
        QVERIFY(w.progress.steps.isEmpty());

        // Several files double-clicked: a run with progress, its drawing the last file's.
        w.Select({"EV_DOOR.PGM", "EV_PANEL.PGM"});
        emit w.window->File1()->itemDoubleClicked(w.window->File1()->selectedItems().first());
        QCOMPARE(w.progress.titles, QStringList{"Translating program files"});
        QCOMPARE(w.progress.dones, QList<int>({0, 1, 2}));
        QCOMPARE(w.progress.steps.last(), QString("Translated 2 of 2"));
        QCOMPARE(drawings.count(), 2);

        // Process with an empty worklist saves each file; Cancel during the first stops the
        // run before the second.
        w.progress.cancelAt = 1;
        w.progress.steps.clear();
        QVERIFY(w.workspace.Process({"ISO_DOOR.CNC", "EV_DOOR.PGM", "ISO_PANEL.CNC"}));
        QCOMPARE(w.progress.totals.last(), 3);
        QCOMPARE(w.progress.steps.size(), 1);
        QVERIFY(w.progress.steps.first().startsWith("Translating 1 of 3\nISO_DOOR.CNC"));
        QCOMPARE(w.progress.ended, 2);
        QCOMPARE(QDir(w.scratch.Path("dxf")).entryList({"*.DXF"}, QDir::Files),
                 QStringList{"ISO_DOOR.DXF"});
        // The cancelled run leaves the next one free to go.
        w.progress.cancelAt = -1;
        QVERIFY(w.workspace.Process({"EV_DOOR.PGM"}));
        QCOMPARE(QDir(w.scratch.Path("dxf")).entryList({"*.DXF"}, QDir::Files),
                 QStringList({"EV_DOOR.DXF", "ISO_DOOR.DXF"}));
    }

    void processButtonKeepsTheFocusThroughARun() {
        Window w;
        w.Rows().SetCell(1, WorklistColumn::kNorm, "1");
        w.Rows().SetCell(1, WorklistColumn::kFilename, "EV_DOOR.PGM");
        w.Rows().SetCell(1, WorklistColumn::kPath, w.scratch.Path("progs").toStdString());
        w.parent.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&w.parent));
        QPushButton* process = w.window->ProcessButton();
        process->setFocus();
        QTRY_VERIFY(process->hasFocus());
        QTest::keyClick(process, Qt::Key_Space);
        QCOMPARE(w.progress.ended, 1);  // the run took place, with the button refused
        QVERIFY(process->isEnabled());
        QVERIFY(process->hasFocus());
    }

    void resizeRulesAndTabOrder() {
        Window w;
        w.window->resize(300, 800);
        const int h = w.window->height();
        const auto y = [&](int twips) { return twips * w.window->logicalDpiY() / 1440; };
        QCOMPARE(w.window->File1()->y(), y(360));
        QCOMPARE(w.window->File1()->height(), h / 4);
        QCOMPARE(w.window->PList()->height(), h / 4);
        QCOMPARE(w.window->PList()->width(),
                 w.window->width() - 180 * w.window->logicalDpiX() / 1440);
        QCOMPARE(w.window->File2()->height(), h / 4);
        // Top to bottom, each below the one before.
        const QWidget* column[] = {w.window->File1(),      w.window->AddFileButton(),
                                   w.window->PList(),      w.window->ProcessButton(),
                                   w.window->DPath(),      w.window->File2(),
                                   w.window->ClearButton()};
        for (std::size_t i = 1; i < std::size(column); ++i) {
            QVERIFY2(column[i]->y() >= column[i - 1]->y() + column[i - 1]->height(),
                     qPrintable(column[i]->objectName()));
        }
        // A right click on the drawing list fills the window with it; the next puts it back.
        const QRect drawings = w.window->File2()->geometry();
        w.window->File2Toggle();
        QCOMPARE(w.window->File2()->geometry(), QRect(drawings.x(), 0, drawings.width(), h));
        w.window->File2Toggle();
        QCOMPARE(w.window->File2()->geometry(), drawings);

        // The keyboard walks the window in the same order.
        QStringList order;
        QWidget* next = w.window->SPath();
        do {
            if (next->focusPolicy() & Qt::TabFocus) order << next->objectName();
            next = next->nextInFocusChain();
        } while (next != w.window->SPath() && order.size() < 12);
        QCOMPARE(order.mid(0, 10), QStringList({"SPath", "PBrwseS", "File1", "AddFile", "PListView",
                                                "Proc", "DPath", "PBrwseD", "File2", "Clear"}));
    }

    void progressDialogCancels() {
        QWidget parent;
        ProgressDialogRun run(&parent);
        QVERIFY(!run.Cancelled());  // no run, nothing to cancel
        run.Begin("Processing the worklist", 3);
        auto* dialog = parent.findChild<QProgressDialog*>("RunProgress");
        QVERIFY(dialog != nullptr);
        QVERIFY(!run.Cancelled());
        run.Show("Row 1: A.PGM", 0, 4);
        QCOMPARE(dialog->labelText(), QString("Row 1: A.PGM"));
        QCOMPARE(dialog->value(), 0);
        QCOMPARE(dialog->maximum(), 4);
        // A Cancel still waiting among the window events is heard at the next question.
        QMetaObject::invokeMethod(dialog, &QProgressDialog::cancel, Qt::QueuedConnection);
        QVERIFY(!dialog->wasCanceled());
        QVERIFY(run.Cancelled());
        run.End();
        QVERIFY(parent.findChild<QProgressDialog*>("RunProgress") == nullptr);
        QVERIFY(QApplication::overrideCursor() == nullptr);
        QVERIFY(!run.Cancelled());
    }

    void worklistCellClicksPreviewTheRow() {
        Window w;
        w.Rows().SetCell(1, WorklistColumn::kFilename, "EV_PANEL.PGM");
        w.Rows().SetCell(1, WorklistColumn::kPath, w.scratch.Path("progs").toStdString());
        WorklistGrid* grid = w.window->PList();
        QSignalSpy drawings(&w.workspace, &Workspace::drawingMade);
        QSignalSpy strip(w.window, &FileManagerWindow::tabStripRequested);
        QSignalSpy rows(&w.workspace, &Workspace::currentRowChanged);
        grid->ClickCell(2, 1);  // "Mir": the mirrored preview
        QCOMPARE(drawings.count(), 1);
        QVERIFY(drawings.last().first().toString().endsWith("Temp.DXF"));
        QCOMPARE(w.workspace.CurrentRow(), 1);
        QCOMPARE(rows.last().first().toInt(), 1);
        QCOMPARE(strip.count(), 1);
        grid->ClickCell(2, 1);  // the same cell again: nothing
        QCOMPARE(drawings.count(), 1);
        emit grid->focusLost();  // until the grid has lost the focus
        grid->ClickCell(2, 1);
        QCOMPARE(drawings.count(), 2);
        grid->ClickCell(5, 1);  // "Room": remembered, no preview
        QCOMPARE(drawings.count(), 2);
        grid->ClickCell(1, 1);
        QCOMPARE(drawings.count(), 3);
        QVERIFY(QFile::exists(drawings.last().first().toString()));
        // A column header leaves no current job.
        grid->ClickCell(3, 0);
        QCOMPARE(drawings.count(), 3);
        QCOMPARE(w.workspace.CurrentRow(), 0);
        QCOMPARE(rows.last().first().toInt(), 0);
    }

    void worklistTipShowsTheFirstFourTimesOnly() {
        Window w;
        QStringList tips;
        for (int i = 0; i < 6; ++i) tips << w.window->PList()->TipText();
        const QString tip = "Work List of files to Process. *** Right Click for Menu.";
        QCOMPARE(tips, QStringList({tip, tip, tip, tip, "", ""}));
    }

    void worklistMenuExpandsTheGridAndLeavesTheFilesMenuWhole() {
        Window w;
        WorklistGrid* grid = w.window->PList();
        const QRect placed = grid->geometry();
        const auto chooseExpand = [&] {
            w.popup.SetRunner([&](QMenu&, const QPoint&) { w.popup.Expand()->trigger(); });
            grid->ShowMenu(QPoint());
        };
        chooseExpand();
        QVERIFY(w.window->GridExpanded());
        QCOMPARE(grid->geometry().top(), 0);
        QCOMPARE(grid->height(), w.window->height());
        // A resize keeps it expanded; the next Expand item reads Restore and puts it back.
        w.window->resize(320, 900);
        QCOMPARE(grid->height(), w.window->height());
        grid->PrepareMenu();
        QCOMPARE(w.popup.Expand()->text(), QString("&Restore"));
        chooseExpand();
        QVERIFY(!w.window->GridExpanded());
        QCOMPARE(grid->geometry().top(), placed.top());
        QCOMPARE(grid->height(), placed.height());

        // The grid's menu hides "Move Selected Files To Process List"; the files' menu shows
        // it again, with its own delete caption.
        QCOMPARE(w.File1Menu(nullptr), QStringList({"&Expand", "&Delete Selected Files",
                                                    "&Move Selected Files To Process List"}));
    }

    void programFileClicksRecogniseOrTranslate() {
        Window w;
        QSignalSpy strip(w.window, &FileManagerWindow::tabStripRequested);
        QSignalSpy drawings(&w.workspace, &Workspace::drawingMade);
        // TranslateOnSelect is off: a click only recognises, a double-click translates.
        w.Select({"EV_PANEL.PGM"});
        emit w.window->File1()->itemClicked(w.window->File1()->selectedItems().first());
        QCOMPARE(strip.count(), 1);
        QCOMPARE(strip.first().first().toBool(), true);
        QCOMPARE(drawings.count(), 0);
        QVERIFY(w.workspace.GetSession().header.dialect == Dialect::kGenesisEv);
        emit w.window->File1()->itemDoubleClicked(w.window->File1()->selectedItems().first());
        QCOMPARE(drawings.count(), 1);
        // Two files selected: a click does nothing.
        w.Select({"EV_PANEL.PGM", "EV_DOOR.PGM"});
        emit w.window->File1()->itemClicked(w.window->File1()->selectedItems().first());
        QCOMPARE(strip.count(), 1);

        // A drawing click asks the panel for its layer list and the viewer for the file.
        QSignalSpy tab(w.window, &FileManagerWindow::tabRequested);
        QSignalSpy clicked(w.window, &FileManagerWindow::drawingClicked);
        QFile::copy(w.scratch.Path("progs/EV_DOOR.PGM"), w.scratch.Path("dxf/A.DXF"));
        w.window->File2()->Refresh();
        emit w.window->File2()->itemClicked(w.window->File2()->item(0));
        QCOMPARE(tab.first().first().toString(), QString("L"));
        QCOMPARE(strip.last().first().toBool(), false);
        QCOMPARE(clicked.first().first().toString(), QDir(w.scratch.Path("dxf")).filePath("A.DXF"));
    }
};

QTEST_MAIN(FileManagerTest)
#include "test_file_manager.moc"
