#include "worklist_table_model.h"

#include "job/control_panel_lists.h"
#include "text_grid_model.h"
#include "worklist/worklist.h"

namespace retracer::app {

WorklistTableModel::WorklistTableModel(Worklist& worklist, QObject* parent)
    : QAbstractTableModel(parent), worklist_(worklist) {
    // The worklist never changes its size, so every change is one of cell contents.
    worklist_.Changes().SetChangeHandler([this](const ModelChange& change) {
        if (change.Whole()) {
            emit dataChanged(index(0, 0), index(rowCount() - 1, columnCount() - 1));
        } else {
            const QModelIndex cell = index(change.row - 1, change.column - 1);
            emit dataChanged(cell, cell);
        }
    });
}

WorklistTableModel::~WorklistTableModel() {
    worklist_.Changes().SetChangeHandler(nullptr);
}

int WorklistTableModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : worklist_.RowCount();
}

int WorklistTableModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : worklist_.ColumnCount();
}

QVariant WorklistTableModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid()) return {};
    const int row = index.row() + 1;
    const int column = index.column() + 1;
    switch (role) {
        case Qt::DisplayRole:
        case Qt::EditRole:
            return ToQString(worklist_.GetCell(row, column));
        case Qt::ToolTipRole: {
            if (column != WorklistColumn::kRVariables) return {};
            QString note = ToQString(worklist_.GetCellNote(row, column));
            // The descriptions are separated like the values; one per line reads better.
            note.replace(ToQString(kRVarSeparator), QStringLiteral("\n"));
            note = note.trimmed();
            return note.isEmpty() ? QVariant() : QVariant(note);
        }
        default:
            return {};
    }
}

QVariant WorklistTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole) return {};
    if (orientation == Qt::Vertical) return section + 1;
    return ToQString(worklist_.GetCell(0, section + 1));
}

Qt::ItemFlags WorklistTableModel::flags(const QModelIndex& index) const {
    if (!index.isValid()) return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsEditable;
}

bool WorklistTableModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (!index.isValid() || role != Qt::EditRole) return false;
    worklist_.SetCell(index.row() + 1, index.column() + 1, ToStdString(value.toString()));
    return true;
}

}  // namespace retracer::app
