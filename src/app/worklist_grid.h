#pragma once

#include <QStringList>
#include <QStyledItemDelegate>
#include <QWidget>

#include <functional>
#include <string>
#include <vector>

class QTableView;

namespace retracer {
class ControlPanelLists;
class Prompt;
class UserSettingsStore;
class Worklist;
}  // namespace retracer

namespace retracer::app {

class PopupMenu;
class WorklistTableModel;

// The "Material" cells: a choice of the material table's names that still takes any typed name.
class MaterialDelegate : public QStyledItemDelegate {
    Q_OBJECT

  public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void SetChoices(QStringList choices) { choices_ = std::move(choices); }
    const QStringList& Choices() const { return choices_; }

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override;
    void setEditorData(QWidget* editor, const QModelIndex& index) const override;
    void setModelData(QWidget* editor, QAbstractItemModel* model,
                      const QModelIndex& index) const override;

  private:
    QStringList choices_;
};

// `PList`, the worklist grid: 15 columns by 500 rows over the core worklist, the frame's pop-up
// menu `PopMnu` with the grid's commands (expand or restore, delete selected rows, clear, copy,
// paste) and the material choices. It never translates and keeps no click memory: every click is
// reported with cellClicked, losing the focus with focusLost, and the window that hosts it decides
// what a click previews and does the expanding.
class WorklistGrid : public QWidget {
    Q_OBJECT

  public:
    WorklistGrid(Worklist& worklist, ControlPanelLists& panel, Prompt& prompt,
                 const UserSettingsStore& store, PopupMenu& popup, QWidget* parent = nullptr);

    QTableView* View() const { return view_; }
    WorklistTableModel* TableModel() const { return model_; }
    MaterialDelegate* Materials() const { return materials_; }

    // True while the grid is at most half as high as the window holding it: the expand item
    // then reads "Expand", else "Restore".
    bool ExpandWanted() const;
    // Sets the pop-up menu's items as the grid shows them; ShowMenu shows it and runs the command
    // it asked for after it closed.
    void PrepareMenu();
    void ShowMenu(const QPoint& globalPos);

    // The tip shown where a cell has no note of its own; without a source there is none.
    using TipSource = std::function<QString()>;
    void SetTipSource(TipSource source) { tipSource_ = std::move(source); }
    QString TipText() const;

  public slots:
    // A click on a cell, core numbers (column 0 = the row header, row 0 = a column header).
    void ClickCell(int column, int row);

    // Rebuilds the material choices from the nesting application's "Mat.dat".
    void ReloadMaterials();
    // Sets the column widths the worklist keeps (after a worklist file was opened).
    void ApplyColumnWidths();

    // Asks the host to expand or restore the grid.
    void ToggleExpand();
    // Asks "Delete selected entries in Worklist?"; on Yes deletes the selected rows and empties
    // the Control Panel's lists. The selection is cleared either way. True when deleted.
    bool DeleteSelectedRows();
    // Asks "Delete all entries in Worklist?"; on Yes empties the worklist.
    bool ClearProcessList();
    // The selected block to the clipboard as tab-separated lines.
    void CopySelection();
    // The clipboard at the selected block (or the active cell), the first pasted value then
    // filled down the selected rows.
    void PasteClipboard();

  signals:
    // Column and row count from 1 as the worklist's do; column 0 is the row header, row 0 a
    // column header.
    void cellClicked(int column, int row);
    // The focus went to another control of the same window (a message box or a menu does not
    // count).
    void focusLost();
    // The host window gives the grid its whole height (`expand`) or restores its layout.
    void expandRequested(bool expand);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    Worklist& worklist_;
    ControlPanelLists& panel_;
    Prompt& prompt_;
    const UserSettingsStore& store_;
    PopupMenu& popup_;
    TipSource tipSource_;

    QTableView* view_ = nullptr;
    WorklistTableModel* model_ = nullptr;
    MaterialDelegate* materials_ = nullptr;
};

}  // namespace retracer::app
