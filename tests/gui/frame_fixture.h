// The real main frame on a scratch workspace, its dialogs scripted: file dialogs answer from a
// queue, modal dialogs are handed to the test, the printer setup is accepted (or not) with a
// chosen orientation and no printer is installed, so prints go to a PDF file.
#pragma once

#include <QMdiArea>
#include <QPageLayout>
#include <QPrinter>
#include <QTableView>
#include <QtTest>
#include <functional>
#include <memory>

#include "control_panel_window.h"
#include "file_manager_window.h"
#include "gui_fixture.h"
#include "main_window.h"
#include "viewer_window.h"
#include "worklist/worklist.h"
#include "worklist_grid.h"

namespace retracer::app::testing {

struct Frame {
    Frame() : workspace(scratch.paths, scratch.prompt, scratch.store) {
        scratch.UseScratchFolders();
        FrameServices services;
        services.fileDialogs = &dialogs;
        services.folderBrowser = &browser;
        services.progress = &progress;
        services.nestingWindow = &nesting;
        services.openUrl = [this](const QUrl& url) {
            opened << url;
            return true;
        };
        services.runDialog = [this](QDialog& dialog) {
            dialogsRun << dialog.objectName();
            return onDialog ? onDialog(dialog) : int(QDialog::Rejected);
        };
        services.printSetup = [this](QPrinter& printer) {
            ++printSetups;
            printer.setPageOrientation(orientation);
            return printSetupAccepted;
        };
        services.hasPrinter = [] { return false; };
        window = std::make_unique<MainWindow>(workspace, services);
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        window->PlaceChildWindows();
    }
    ViewerWindow& Viewer() { return *window->Viewer(); }
    ControlPanelWindow& Panel() { return *window->CPanel(); }
    Worklist& Rows() { return workspace.GetSession().worklist; }
    // A mouse click in a cell of the worklist grid, core numbers.
    void ClickWorklistCell(int row, int column) {
        QTableView* view = window->FileMgr()->PList()->View();
        const QModelIndex cell = view->model()->index(row - 1, column - 1);
        view->scrollTo(cell);
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, view->visualRect(cell).center());
    }
    // Row 1 of the worklist names the sample program EV_PANEL.PGM, as adding it does.
    void AddPanelProgram() {
        QCOMPARE(workspace.AddFiles({"EV_PANEL.PGM"}), 1);
        QCOMPARE(Rows().GetCell(1, WorklistColumn::kLength), std::string("720"));
    }
    void Trigger(const QString& name) {
        QAction* action = window->Action(name);
        QVERIFY2(action != nullptr, qPrintable(name));
        action->trigger();
    }
    // The messages shown so far, as "title: text".
    QStringList Messages() const { return Texts(scratch.prompt.messages); }

    Scratch scratch;
    Workspace workspace;
    ScriptedFileDialogs dialogs;
    ScriptedFolderBrowser browser;
    ScriptedProgress progress;
    RecordingNestingWindow nesting;
    QList<QUrl> opened;
    QStringList dialogsRun;                 // object names of the modal dialogs shown
    std::function<int(QDialog&)> onDialog;  // what the user does in them
    int printSetups = 0;
    bool printSetupAccepted = true;
    QPageLayout::Orientation orientation = QPageLayout::Landscape;
    std::unique_ptr<MainWindow> window;
};

}  // namespace retracer::app::testing
