// The worklist grid: preview clicks, the pop-up menu's commands, copy and paste through the
// clipboard, the material choices and the tip.
#include <QClipboard>
#include <QComboBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QMenu>
#include <QSignalSpy>
#include <QTableView>
#include <QTemporaryDir>
#include <QToolTip>
#include <QtTest>

#include <fstream>

#include "base/prompt.h"
#include "job/control_panel_lists.h"
#include "popup_menu.h"
#include "settings/user_store.h"
#include "worklist/worklist.h"
#include "worklist_grid.h"
#include "worklist_table_model.h"

using retracer::ControlPanelLists;
using retracer::MemoryUserSettingsStore;
using retracer::RecordingPrompt;
using retracer::Worklist;
using retracer::app::PopupMenu;
using retracer::app::WorklistGrid;
namespace Column = retracer::WorklistColumn;

class WorklistGridTest : public QObject {
    Q_OBJECT

    Worklist worklist_;
    ControlPanelLists panel_;
    RecordingPrompt prompt_;
    MemoryUserSettingsStore store_;
    QWidget menuHost_;
    PopupMenu popup_{&menuHost_};

    // The block of `rows` by `columns` selected, core numbers, the first cell current.
    static void Select(WorklistGrid& grid, int firstColumn, int firstRow, int lastColumn,
                       int lastRow) {
        QTableView* view = grid.View();
        const QModelIndex from = view->model()->index(firstRow - 1, firstColumn - 1);
        view->selectionModel()->setCurrentIndex(from, QItemSelectionModel::NoUpdate);
        view->selectionModel()->select(
            QItemSelection(from, view->model()->index(lastRow - 1, lastColumn - 1)),
            QItemSelectionModel::ClearAndSelect);
    }

    QString Cell(int row, int column) const {
        return QString::fromStdString(worklist_.GetCell(row, column));
    }

  private slots:
    void init() {
        worklist_.Clear();
        prompt_ = RecordingPrompt();
        QGuiApplication::clipboard()->clear();
    }

    void showsTheWorklistWithItsCaptionsAndFollowsTheCore() {
        WorklistGrid grid(worklist_, panel_, prompt_, store_, popup_);
        QAbstractItemModel* model = grid.View()->model();
        QCOMPARE(model->rowCount(), 500);
        QCOMPARE(model->columnCount(), 15);
        QCOMPARE(model->headerData(7, Qt::Horizontal).toString(), QStringLiteral("Material"));
        QCOMPARE(model->headerData(14, Qt::Horizontal).toString(),
                 QStringLiteral("Output Filename"));

        QSignalSpy changed(model, &QAbstractItemModel::dataChanged);
        worklist_.SetCell(3, Column::kJob, "Smith");
        QCOMPARE(changed.count(), 1);
        QCOMPARE(model->index(2, 3).data().toString(), QStringLiteral("Smith"));

        // Notes of "R Variables" are that cell's tip, one description a line; other cells have
        // none.
        worklist_.SetCell(3, Column::kRVariables, "R5=1\xC2\xA6R6=2");
        worklist_.SetCellNote(3, Column::kRVariables,
                              "Shelf\xC2\xA6"
                              "Door\xC2\xA6");
        QCOMPARE(model->index(2, 13).data(Qt::ToolTipRole).toString(),
                 QStringLiteral("Shelf\nDoor"));
        QVERIFY(model->index(2, 3).data(Qt::ToolTipRole).isNull());

        // Typing into a cell writes the worklist.
        QVERIFY(model->setData(model->index(4, 0), QStringLiteral("2")));
        QCOMPARE(Cell(5, Column::kNorm), QStringLiteral("2"));
    }

    void mouseClicksAndFocusLossAreReported() {
        QWidget window;
        auto* grid = new WorklistGrid(worklist_, panel_, prompt_, store_, popup_, &window);
        auto* other = new QLineEdit(&window);
        grid->setGeometry(0, 0, 700, 300);
        other->setGeometry(0, 310, 100, 20);
        window.resize(700, 340);
        window.show();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        QSignalSpy clicks(grid, &WorklistGrid::cellClicked);
        QSignalSpy focusLost(grid, &WorklistGrid::focusLost);
        QTableView* view = grid->View();
        // Every click is reported in the worklist's numbers ("Mir" of row 3), also the same
        // cell twice: whether it previews is not the grid's to decide.
        const QPoint mir = view->visualRect(view->model()->index(2, 1)).center();
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, mir);
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, mir);
        QCOMPARE(clicks.count(), 2);
        QCOMPARE(clicks[0], (QList<QVariant>{2, 3}));
        QCOMPARE(focusLost.count(), 0);

        // A column header is row 0.
        QHeaderView* header = view->horizontalHeader();
        const QPoint filename(header->sectionViewportPosition(2) + 5, header->height() / 2);
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, filename);
        QCOMPARE(clicks.count(), 3);
        QCOMPARE(clicks[2], (QList<QVariant>{3, 0}));

        // Another control of the window takes the focus.
        other->setFocus(Qt::MouseFocusReason);
        QTRY_VERIFY(other->hasFocus());
        QCOMPARE(focusLost.count(), 1);
    }

    void deleteSelectedRowsAsksAndDeletesOnYesOnly_data() {
        QTest::addColumn<bool>("answer");
        QTest::addColumn<QStringList>("files");  // rows 1.. after the command
        QTest::newRow("yes") << true << QStringList{"A", "C", "E"};
        QTest::newRow("no") << false << QStringList{"A", "B", "C", "D", "E"};
    }

    void deleteSelectedRowsAsksAndDeletesOnYesOnly() {
        QFETCH(bool, answer);
        QFETCH(QStringList, files);
        int row = 0;
        for (const char* name : {"A", "B", "C", "D", "E"}) {
            worklist_.SetCell(++row, Column::kFilename, name);
        }
        std::string entry = "#12=500|Shelf";
        panel_.AddRVar(entry);
        panel_.LayerList().Add("BORDER");
        prompt_.answers = {answer};
        WorklistGrid grid(worklist_, panel_, prompt_, store_, popup_);
        QTableView* view = grid.View();
        Select(grid, 3, 2, 5, 2);
        view->selectionModel()->select(view->model()->index(3, 0), QItemSelectionModel::Select);

        QCOMPARE(grid.DeleteSelectedRows(), answer);
        QCOMPARE(prompt_.messages.size(), std::size_t{1});
        QCOMPARE(prompt_.messages[0].title, std::string("Query"));
        QCOMPARE(prompt_.messages[0].text, std::string("Delete selected entries in Worklist?"));
        QVERIFY(prompt_.messages[0].question);
        QStringList got;
        for (int r = 1; r <= files.size(); ++r) got << Cell(r, Column::kFilename);
        QCOMPARE(got, files);
        QCOMPARE(Cell(files.size() + 1, Column::kFilename), QString());
        // The lists showing the deleted jobs go with them.
        QCOMPARE(panel_.RVarList().Text(1, 1).empty(), answer);
        QCOMPARE(panel_.LayerList().Count(), answer ? 0 : 1);
        QVERIFY(!view->selectionModel()->hasSelection());
    }

    void clearProcessListAsksFirst() {
        worklist_.SetCell(1, Column::kFilename, "A");
        WorklistGrid grid(worklist_, panel_, prompt_, store_, popup_);
        prompt_.answers = {false, true};
        QVERIFY(!grid.ClearProcessList());
        QCOMPARE(Cell(1, Column::kFilename), QStringLiteral("A"));
        QVERIFY(grid.ClearProcessList());
        QCOMPARE(Cell(1, Column::kFilename), QString());
        QCOMPARE(prompt_.messages.back().text, std::string("Delete all entries in Worklist?"));
    }

    void copyPutsTheBlockOnTheClipboardAsTabSeparatedLines() {
        worklist_.SetCell(2, Column::kJob, "J2");
        worklist_.SetCell(2, Column::kRoom, "R2");
        worklist_.SetCell(3, Column::kJob, "J3");
        WorklistGrid grid(worklist_, panel_, prompt_, store_, popup_);
        Select(grid, Column::kJob, 2, Column::kRoom, 3);
        grid.CopySelection();
        QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("J2\tR2\nJ3\t"));
    }

    void pasteFillsTheFirstValueDownTheSelectedRows_data() {
        QTest::addColumn<QString>("clipboard");
        QTest::addColumn<QRect>("block");  // left column, top row, right column, bottom row;
                                           // an empty rect: no selection, active cell at top left
        QTest::addColumn<QStringList>("jobs");  // "Job" of rows 1..6 afterwards
        QTest::addColumn<QStringList>("rooms");
        QTest::newRow("one value down four rows")
            << "Smith" << QRect(QPoint(4, 2), QPoint(4, 5))
            << QStringList{"j1", "Smith", "Smith", "Smith", "Smith", "j6"}
            << QStringList{"r1", "r2", "r3", "r4", "r5", "r6"};
        QTest::newRow("a single cell: only the paste")
            << "Jones\tKitchen\nLee\tBath" << QRect(QPoint(4, 3), QPoint(4, 3))
            << QStringList{"j1", "j2", "Jones", "Lee", "j5", "j6"}
            << QStringList{"r1", "r2", "Kitchen", "Bath", "r5", "r6"};
        QTest::newRow("no selection: only the active cell, nothing below it")
            << "Ng" << QRect(QPoint(4, 2), QSize(0, 0))
            << QStringList{"j1", "Ng", "j3", "j4", "j5", "j6"}
            << QStringList{"r1", "r2", "r3", "r4", "r5", "r6"};
        QTest::newRow("a block of two columns fills its first column")
            << "Ash\tHall" << QRect(QPoint(4, 4), QPoint(5, 6))
            << QStringList{"j1", "j2", "j3", "Ash", "Ash", "Ash"}
            << QStringList{"r1", "r2", "r3", "Hall", "r5", "r6"};
    }

    void pasteFillsTheFirstValueDownTheSelectedRows() {
        QFETCH(QString, clipboard);
        QFETCH(QRect, block);
        QFETCH(QStringList, jobs);
        QFETCH(QStringList, rooms);
        for (int r = 1; r <= 6; ++r) {
            worklist_.SetCell(r, Column::kJob, "j" + std::to_string(r));
            worklist_.SetCell(r, Column::kRoom, "r" + std::to_string(r));
        }
        WorklistGrid grid(worklist_, panel_, prompt_, store_, popup_);
        if (block.isEmpty()) {
            grid.View()->setCurrentIndex(
                grid.View()->model()->index(block.top() - 1, block.left() - 1));
            grid.View()->clearSelection();
        } else {
            Select(grid, block.left(), block.top(), block.right(), block.bottom());
        }
        QGuiApplication::clipboard()->setText(clipboard);
        grid.PasteClipboard();
        QStringList gotJobs, gotRooms;
        for (int r = 1; r <= 6; ++r) {
            gotJobs << Cell(r, Column::kJob);
            gotRooms << Cell(r, Column::kRoom);
        }
        QCOMPARE(gotJobs, jobs);
        QCOMPARE(gotRooms, rooms);
    }

    void materialIsAChoiceThatTakesTypedNames() {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        {
            std::ofstream table((dir.path() + "/Mat.dat").toStdString());
            table << "1,Oak,18\n2,Birch,16\n3,Oak,19\n4,,5\n";
        }
        store_.Save("Cutplan", "Paths", "Executable", (dir.path() + "/cutplan.exe").toStdString());
        WorklistGrid grid(worklist_, panel_, prompt_, store_, popup_);
        QCOMPARE(grid.Materials()->Choices(), (QStringList{"Oak", "Birch"}));

        grid.show();
        QTableView* view = grid.View();
        const QModelIndex cell = view->model()->index(0, Column::kMaterial - 1);
        view->setCurrentIndex(cell);
        view->edit(cell);
        auto* box = view->findChild<QComboBox*>();
        QVERIFY(box != nullptr);
        QVERIFY(box->isEditable());
        QCOMPARE(box->count(), 2);
        box->setCurrentIndex(1);
        emit grid.Materials()->commitData(box);
        QCOMPARE(Cell(1, Column::kMaterial), QStringLiteral("Birch"));
        box->setEditText(QStringLiteral("Walnut veneer"));
        emit grid.Materials()->commitData(box);
        QCOMPARE(Cell(1, Column::kMaterial), QStringLiteral("Walnut veneer"));
    }

    void popupMenuShowsTheGridsItemsAndRunsTheChosenOne_data() {
        QTest::addColumn<int>("gridHeight");  // in a host 400 high
        QTest::addColumn<QString>("item");    // object name of the item chosen
        QTest::addColumn<QString>("expandCaption");
        QTest::addColumn<QString>("effect");
        QTest::newRow("a low grid expands, reading the materials first") << 200 << "MnuExp"
                                                                         << "&Expand"
                                                                         << "expand Oak";
        QTest::newRow("a tall grid restores") << 201 << "MnuExp"
                                              << "&Restore"
                                              << "restore Oak";
        QTest::newRow("delete asks first") << 100 << "MnuDel"
                                           << "&Expand"
                                           << "Delete selected entries in Worklist?";
        QTest::newRow("clear asks first") << 100 << "MnuClrProc"
                                          << "&Expand"
                                          << "Delete all entries in Worklist?";
        QTest::newRow("copy") << 100 << "MnuCopy"
                              << "&Expand"
                              << "clipboard J1";
        QTest::newRow("nothing chosen") << 100 << ""
                                        << "&Expand"
                                        << "";
    }

    void popupMenuShowsTheGridsItemsAndRunsTheChosenOne() {
        QFETCH(int, gridHeight);
        QFETCH(QString, item);
        QFETCH(QString, expandCaption);
        QFETCH(QString, effect);
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        store_.Save("Cutplan", "Paths", "Executable", (dir.path() + "/cutplan.exe").toStdString());
        QWidget host;
        host.resize(600, 400);
        auto* grid = new WorklistGrid(worklist_, panel_, prompt_, store_, popup_, &host);
        grid->setGeometry(0, 0, 600, gridHeight);
        worklist_.SetCell(1, Column::kJob, "J1");
        Select(*grid, Column::kJob, 1, Column::kJob, 1);
        // The material table appears only now: only the menu's Expand can have read it.
        std::ofstream((dir.path() + "/Mat.dat").toStdString()) << "1,Oak,18\n";

        QStringList shown;
        popup_.SetRunner([&](QMenu& menu, const QPoint&) {
            for (QAction* action : menu.actions()) {
                if (action->isVisible()) shown << (action->isSeparator() ? "-" : action->text());
            }
            if (!item.isEmpty()) menu.findChild<QAction*>(item)->trigger();
        });
        QSignalSpy expand(grid, &WorklistGrid::expandRequested);
        grid->ShowMenu(QPoint());

        QCOMPARE(shown, (QStringList{expandCaption, "&Delete Selected Rows", "&Clear Process List",
                                     "-", "Copy", "Paste"}));
        QStringList effects;
        for (const QList<QVariant>& call : expand) {
            effects << (call[0].toBool() ? "expand " : "restore ") +
                           grid->Materials()->Choices().join(",");
        }
        for (const auto& message : prompt_.messages)
            effects << QString::fromStdString(message.text);
        if (!QGuiApplication::clipboard()->text().isEmpty()) {
            effects << "clipboard " + QGuiApplication::clipboard()->text();
        }
        QCOMPARE(effects.join("; "), effect);
        // Nothing was deleted: the questions took their safe answer.
        QCOMPARE(Cell(1, Column::kJob), QStringLiteral("J1"));
    }

    void tipIsTheCellsNoteOrElseTheSources() {
        worklist_.SetCell(2, Column::kRVariables, "R5=1");
        worklist_.SetCellNote(2, Column::kRVariables, "Shelf");
        QWidget window;
        auto* grid = new WorklistGrid(worklist_, panel_, prompt_, store_, popup_, &window);
        grid->setGeometry(0, 0, 700, 300);
        window.resize(700, 300);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QTableView* view = grid->View();
        int asked = 0;
        grid->SetTipSource([&] { return QStringLiteral("tip %1").arg(++asked); });
        const auto tipAt = [&](int row, int column) {
            view->scrollTo(view->model()->index(row - 1, column - 1));
            const QPoint pos = view->visualRect(view->model()->index(row - 1, column - 1)).center();
            QHelpEvent help(QEvent::ToolTip, pos, view->viewport()->mapToGlobal(pos));
            QCoreApplication::sendEvent(view->viewport(), &help);
            return QToolTip::isVisible() ? QToolTip::text() : QString();
        };
        QCOMPARE(tipAt(2, Column::kJob), QStringLiteral("tip 1"));
        QCOMPARE(tipAt(2, Column::kRVariables), QStringLiteral("Shelf"));
        QCOMPARE(asked, 1);
        // An empty tip takes the tip shown away.
        grid->SetTipSource([] { return QString(); });
        tipAt(3, Column::kJob);
        QTRY_VERIFY(!QToolTip::isVisible());
    }
};

QTEST_MAIN(WorklistGridTest)
#include "test_worklist_grid.moc"
