#include "worklist_grid_placeholder.h"

#include <QHeaderView>

#include "worklist/worklist.h"

namespace retracer::app {
namespace {

class CellsModel : public QAbstractTableModel {
  public:
    CellsModel(Worklist& worklist, QObject* parent)
        : QAbstractTableModel(parent), worklist_(worklist) {
        worklist_.Changes().SetChangeHandler([this](const ModelChange& change) {
            if (change.Whole()) {
                beginResetModel();
                endResetModel();
            } else {
                const QModelIndex cell = index(change.row - 1, change.column - 1);
                emit dataChanged(cell, cell);
            }
        });
    }
    ~CellsModel() override { worklist_.Changes().SetChangeHandler(nullptr); }

    int rowCount(const QModelIndex& parent) const override {
        return parent.isValid() ? 0 : worklist_.RowCount();
    }
    int columnCount(const QModelIndex& parent) const override {
        return parent.isValid() ? 0 : worklist_.ColumnCount();
    }
    QVariant data(const QModelIndex& index, int role) const override {
        if (role == Qt::DisplayRole || role == Qt::EditRole) {
            return QString::fromStdString(worklist_.GetCell(index.row() + 1, index.column() + 1));
        }
        if (role == Qt::ToolTipRole && index.column() + 1 == WorklistColumn::kRVariables) {
            return QString::fromStdString(
                worklist_.GetCellNote(index.row() + 1, index.column() + 1));
        }
        return {};
    }
    bool setData(const QModelIndex& index, const QVariant& value, int role) override {
        if (role != Qt::EditRole) return false;
        worklist_.SetCell(index.row() + 1, index.column() + 1, value.toString().toStdString());
        return true;
    }
    Qt::ItemFlags flags(const QModelIndex& index) const override {
        return QAbstractTableModel::flags(index) | Qt::ItemIsEditable;
    }
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override {
        if (role != Qt::DisplayRole) return {};
        if (orientation == Qt::Vertical) return section + 1;
        return QString::fromStdString(worklist_.GetCell(0, section + 1));
    }

  private:
    Worklist& worklist_;
};

}  // namespace

WorklistGridPlaceholder::WorklistGridPlaceholder(Worklist& worklist, QWidget* parent)
    : QTableView(parent) {
    setObjectName(QStringLiteral("PList"));
    setAccessibleName(QStringLiteral("Worklist"));
    setModel(new CellsModel(worklist, this));
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 4);
    for (int c = 1; c <= worklist.ColumnCount(); ++c) {
        setColumnWidth(
            c - 1,
            static_cast<int>(worklist.ColumnWidth(c) * fontMetrics().averageCharWidth()) + 8);
    }
    connect(this, &QTableView::clicked, this, [this](const QModelIndex& index) {
        emit cellClicked(index.column() + 1, index.row() + 1);
    });
    connect(verticalHeader(), &QHeaderView::sectionClicked, this,
            [this](int row) { emit cellClicked(0, row + 1); });
    connect(selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& current) { emit currentRowChanged(current.row() + 1); });
}

void WorklistGridPlaceholder::focusOutEvent(QFocusEvent* event) {
    QTableView::focusOutEvent(event);
    emit focusLost();
}

}  // namespace retracer::app
