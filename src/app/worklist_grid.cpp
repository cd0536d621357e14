#include "worklist_grid.h"

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QHeaderView>
#include <QHelpEvent>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QTableView>
#include <QToolTip>
#include <QVBoxLayout>

#include <algorithm>
#include <limits>
#include <set>

#include "base/prompt.h"
#include "job/control_panel_lists.h"
#include "job/worklist_editor.h"
#include "popup_menu.h"
#include "text_grid_model.h"
#include "worklist/materials.h"
#include "worklist/worklist.h"
#include "worklist_table_model.h"

namespace retracer::app {
namespace {

bool Within(const QWidget* widget, const QWidget* ancestor) {
    return widget != nullptr && (widget == ancestor || ancestor->isAncestorOf(widget));
}

// The block the selection covers, core numbers; all 0 without a selection.
CellBlock SelectedBlock(const QItemSelectionModel& selection) {
    CellBlock block;
    const QModelIndexList cells = selection.selectedIndexes();
    if (cells.isEmpty()) return block;
    int firstColumn = std::numeric_limits<int>::max();
    int firstRow = std::numeric_limits<int>::max();
    int lastRow = 0;
    for (const QModelIndex& cell : cells) {
        firstColumn = std::min(firstColumn, cell.column() + 1);
        firstRow = std::min(firstRow, cell.row() + 1);
        lastRow = std::max(lastRow, cell.row() + 1);
    }
    return {firstColumn, firstRow, lastRow};
}

}  // namespace

QWidget* MaterialDelegate::createEditor(QWidget* parent, const QStyleOptionViewItem&,
                                        const QModelIndex&) const {
    auto* box = new QComboBox(parent);
    box->setEditable(true);
    box->setInsertPolicy(QComboBox::NoInsert);  // a typed name stays a name of this cell only
    box->addItems(choices_);
    box->setAccessibleName(QStringLiteral("Material"));
    return box;
}

void MaterialDelegate::setEditorData(QWidget* editor, const QModelIndex& index) const {
    auto* box = static_cast<QComboBox*>(editor);
    box->setCurrentText(index.data(Qt::EditRole).toString());
}

void MaterialDelegate::setModelData(QWidget* editor, QAbstractItemModel* model,
                                    const QModelIndex& index) const {
    model->setData(index, static_cast<QComboBox*>(editor)->currentText(), Qt::EditRole);
}

WorklistGrid::WorklistGrid(Worklist& worklist, ControlPanelLists& panel, Prompt& prompt,
                           const UserSettingsStore& store, PopupMenu& popup, QWidget* parent)
    : QWidget(parent),
      worklist_(worklist),
      panel_(panel),
      prompt_(prompt),
      store_(store),
      popup_(popup) {
    setObjectName(QStringLiteral("PList"));
    model_ = new WorklistTableModel(worklist_, this);
    view_ = new QTableView(this);
    view_->setObjectName(QStringLiteral("PListView"));
    view_->setModel(model_);
    view_->setAccessibleName(QStringLiteral("Work List"));
    view_->setAccessibleDescription(ToQString(kWorklistTip));
    view_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    view_->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                           QAbstractItemView::AnyKeyPressed);
    view_->setContextMenuPolicy(Qt::CustomContextMenu);
    view_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    view_->verticalHeader()->setDefaultSectionSize(view_->fontMetrics().height() + 6);
    materials_ = new MaterialDelegate(this);
    view_->setItemDelegateForColumn(WorklistColumn::kMaterial - 1, materials_);
    view_->viewport()->installEventFilter(this);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(view_);

    connect(view_, &QTableView::clicked, this,
            [this](const QModelIndex& cell) { ClickCell(cell.column() + 1, cell.row() + 1); });
    connect(view_->verticalHeader(), &QHeaderView::sectionClicked, this,
            [this](int section) { ClickCell(0, section + 1); });
    connect(view_->horizontalHeader(), &QHeaderView::sectionClicked, this,
            [this](int section) { ClickCell(section + 1, 0); });
    connect(view_->horizontalHeader(), &QHeaderView::sectionResized, this,
            [this](int section, int, int size) {
                const int perChar = std::max(1, view_->fontMetrics().averageCharWidth());
                worklist_.SetColumnWidth(section + 1, static_cast<double>(size) / perChar);
            });
    // Losing the focus to another control of the same window; a message box or a pop-up menu
    // does not count, so the cell clicked last stays the same while one is shown.
    connect(qApp, &QApplication::focusChanged, this, [this](QWidget* old, QWidget* now) {
        if (Within(old, view_) && now != nullptr && !Within(now, view_) &&
            now->window() == view_->window()) {
            emit focusLost();
        }
    });
    connect(view_, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& pos) { ShowMenu(view_->viewport()->mapToGlobal(pos)); });
    // Copy and Paste of the pop-up menu act at once; the program files list hides them.
    connect(&popup_, &PopupMenu::copyRequested, this, &WorklistGrid::CopySelection);
    connect(&popup_, &PopupMenu::pasteRequested, this, &WorklistGrid::PasteClipboard);
    connect(&popup_, &PopupMenu::materialsReloadRequested, this, &WorklistGrid::ReloadMaterials);

    // The usual keys copy and paste without the menu.
    const auto addKey = [this](QKeySequence::StandardKey key, void (WorklistGrid::*run)()) {
        auto* action = new QAction(view_);
        action->setShortcut(key);
        action->setShortcutContext(Qt::WidgetWithChildrenShortcut);
        connect(action, &QAction::triggered, this, run);
        view_->addAction(action);
    };
    addKey(QKeySequence::Copy, &WorklistGrid::CopySelection);
    addKey(QKeySequence::Paste, &WorklistGrid::PasteClipboard);

    ApplyColumnWidths();
    ReloadMaterials();
}

bool WorklistGrid::ExpandWanted() const {
    const QWidget* host = parentWidget() != nullptr ? parentWidget() : this;
    return height() <= host->contentsRect().height() / 2;
}

void WorklistGrid::PrepareMenu() {
    popup_.Expand()->setText(ExpandWanted() ? QStringLiteral("&Expand")
                                            : QStringLiteral("&Restore"));
    popup_.Delete()->setText(QStringLiteral("&Delete Selected Rows"));
    popup_.ToProcess()->setVisible(false);
    for (QAction* shown : {popup_.Expand(), popup_.Delete(), popup_.ClearProcess(),
                           popup_.Separator(), popup_.Copy(), popup_.Paste()}) {
        shown->setVisible(true);
    }
}

void WorklistGrid::ShowMenu(const QPoint& globalPos) {
    PrepareMenu();
    const PopupRequests asked = popup_.Popup(globalPos);
    if (asked.expand) ToggleExpand();
    if (asked.del) DeleteSelectedRows();
    if (asked.clearWorklist) ClearProcessList();
}

QString WorklistGrid::TipText() const {
    return tipSource_ ? tipSource_() : QString();
}

void WorklistGrid::ClickCell(int column, int row) {
    emit cellClicked(column, row);
}

void WorklistGrid::ReloadMaterials() {
    QStringList choices;
    for (const std::string& name : LoadMaterials(MaterialTablePath(store_))) {
        choices << ToQString(name);
    }
    materials_->SetChoices(choices);
}

void WorklistGrid::ApplyColumnWidths() {
    const int perChar = std::max(1, view_->fontMetrics().averageCharWidth());
    QSignalBlocker quiet(view_->horizontalHeader());  // these are the worklist's own widths
    QHeaderView* header = view_->horizontalHeader();
    for (int column = 1; column <= worklist_.ColumnCount(); ++column) {
        // Never narrower than the column's caption.
        const int width = static_cast<int>(worklist_.ColumnWidth(column) * perChar + 0.5);
        view_->setColumnWidth(column - 1, std::max(width, header->sectionSizeHint(column - 1)));
    }
}

void WorklistGrid::ToggleExpand() {
    emit expandRequested(ExpandWanted());
}

bool WorklistGrid::DeleteSelectedRows() {
    std::set<int> rows;
    for (const QModelIndex& cell : view_->selectionModel()->selectedIndexes()) {
        rows.insert(cell.row() + 1);
    }
    const bool deleted =
        retracer::DeleteSelectedRows(prompt_, worklist_, panel_, {rows.begin(), rows.end()});
    view_->clearSelection();
    return deleted;
}

bool WorklistGrid::ClearProcessList() {
    return ClearWorklist(prompt_, worklist_);
}

void WorklistGrid::CopySelection() {
    QClipboard* clipboard = QGuiApplication::clipboard();
    clipboard->clear();
    const QModelIndexList cells = view_->selectionModel()->selectedIndexes();
    if (cells.isEmpty()) return;
    int top = model_->rowCount(), bottom = -1, left = model_->columnCount(), right = -1;
    for (const QModelIndex& cell : cells) {
        top = std::min(top, cell.row());
        bottom = std::max(bottom, cell.row());
        left = std::min(left, cell.column());
        right = std::max(right, cell.column());
    }
    QStringList lines;
    for (int row = top; row <= bottom; ++row) {
        QStringList texts;
        for (int column = left; column <= right; ++column) {
            texts << ToQString(worklist_.GetCell(row + 1, column + 1));
        }
        lines << texts.join(QLatin1Char('\t'));
    }
    clipboard->setText(lines.join(QLatin1Char('\n')));
}

void WorklistGrid::PasteClipboard() {
    const QModelIndex current = view_->currentIndex();
    CellBlock block = SelectedBlock(*view_->selectionModel());
    int activeColumn = current.isValid() ? current.column() + 1 : 1;
    int activeRow = current.isValid() ? current.row() + 1 : 1;
    if (block.firstRow >= 1) {
        // A block dragged upwards or leftwards has its active cell at the far end; the paste
        // still starts at the block's first cell, where the filled-down value is taken from.
        activeColumn = block.firstColumn;
        activeRow = block.firstRow;
    } else {
        // Without a selection only the active cell is meant; filling down to the last row of
        // the worklist would overwrite every row below it.
        block = {activeColumn, activeRow, activeRow};
    }
    const std::string text = ToStdString(QGuiApplication::clipboard()->text());
    PasteWithFillDown(worklist_, block, activeColumn, activeRow, text);
}

bool WorklistGrid::eventFilter(QObject* watched, QEvent* event) {
    if (watched == view_->viewport() && event->type() == QEvent::ToolTip) {
        auto* help = static_cast<QHelpEvent*>(event);
        const QModelIndex cell = view_->indexAt(help->pos());
        const QString note = cell.isValid() ? cell.data(Qt::ToolTipRole).toString() : QString();
        const QString tip = note.isEmpty() ? TipText() : note;
        if (tip.isEmpty()) {
            QToolTip::hideText();
        } else {
            QToolTip::showText(help->globalPos(), tip, view_->viewport());
        }
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

}  // namespace retracer::app
