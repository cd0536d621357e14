#pragma once

#include <QAbstractTableModel>
#include <QTableView>

namespace retracer {
class Worklist;
}

namespace retracer::app {

// Stands in for the worklist grid until it is plugged in: a plain table of the worklist's cells
// that reports clicks, the current row and losing the focus as the real grid does.
class WorklistGridPlaceholder : public QTableView {
    Q_OBJECT

  public:
    explicit WorklistGridPlaceholder(Worklist& worklist, QWidget* parent = nullptr);

  signals:
    // Column and row count from 1 as the worklist's do; column 0 is the row header.
    void cellClicked(int column, int row);
    void currentRowChanged(int row);
    void focusLost();

  protected:
    void focusOutEvent(QFocusEvent* event) override;
};

}  // namespace retracer::app
