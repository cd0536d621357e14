#pragma once

#include <QStringList>
#include <QStyledItemDelegate>
#include <QWidget>

#include <string>
#include <vector>

class QAction;
class QMenu;
class QTableView;

namespace retracer {
class ControlPanelLists;
class Prompt;
class UserSettingsStore;
class Worklist;
}  // namespace retracer

namespace retracer::app {

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

// `PList`, the worklist grid: 15 columns by 500 rows over the core worklist, its pop-up menu
// (expand or restore, delete selected rows, clear, copy, paste), the row preview on a click in
// its first three columns and its tip. It never translates: a preview is asked for with
// previewRequested, and the window that hosts it does the expanding.
class WorklistGrid : public QWidget {
    Q_OBJECT

  public:
    WorklistGrid(Worklist& worklist, ControlPanelLists& panel, Prompt& prompt,
                 const UserSettingsStore& store, QWidget* parent = nullptr);

    QTableView* View() const { return view_; }
    WorklistTableModel* TableModel() const { return model_; }
    MaterialDelegate* Materials() const { return materials_; }

    // The pop-up menu with its captions for the grid's present size (PrepareMenu does that).
    QMenu* Menu() const { return menu_; }
    QAction* ExpandAction() const { return expandAction_; }
    QAction* DeleteAction() const { return deleteAction_; }
    QAction* ClearAction() const { return clearAction_; }
    QAction* CopyAction() const { return copyAction_; }
    QAction* PasteAction() const { return pasteAction_; }

    // True while the grid is at most half as high as the window holding it: the expand item
    // then reads "Expand", else "Restore".
    bool ExpandWanted() const;
    void PrepareMenu();
    // Runs a chosen menu item (after the menu has closed).
    void RunMenuAction(QAction* chosen);

    // The tip the grid shows when it is asked for one: the first four times only.
    QString TipText();

  public slots:
    // A click on a cell, core numbers (column 0 = the row header, row 0 = a column header). A
    // click in "Norm", "Mir", "Filename" or the row header asks for a preview of the row unless
    // it is the cell clicked last.
    void ClickCell(int column, int row);
    // The next click counts again, on any cell (the grid lost the focus).
    void ForgetLastClick();

    // Rebuilds the material choices from the nesting application's "Mat.dat".
    void ReloadMaterials();
    // Sets the column widths the worklist keeps (after a worklist file was opened).
    void ApplyColumnWidths();

    // Rebuilds the material choices and asks the host to expand or restore the grid.
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
    // Preview the worklist row as job 0; `column` 2 ("Mir") previews the mirrored part. Row 0
    // (a click on a column header) means that there is no current job any more.
    void previewRequested(int row, int column);
    // The host window gives the grid its whole height (`expand`) or restores its layout.
    void expandRequested(bool expand);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void BuildMenu();
    void ShowMenu(const QPoint& pos);

    Worklist& worklist_;
    ControlPanelLists& panel_;
    Prompt& prompt_;
    const UserSettingsStore& store_;

    QTableView* view_ = nullptr;
    WorklistTableModel* model_ = nullptr;
    MaterialDelegate* materials_ = nullptr;
    QMenu* menu_ = nullptr;
    QAction* expandAction_ = nullptr;
    QAction* deleteAction_ = nullptr;
    QAction* clearAction_ = nullptr;
    QAction* copyAction_ = nullptr;
    QAction* pasteAction_ = nullptr;

    int lastColumn_ = 0;
    int lastRow_ = 0;
    int tipCount_ = 0;
};

}  // namespace retracer::app
