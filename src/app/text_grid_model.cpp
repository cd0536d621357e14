#include "text_grid_model.h"

#include <QBrush>
#include <QColor>

#include "job/control_panel_lists.h"
#include "worklist/text_grid.h"

namespace retracer::app {

QString ToQString(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

std::string ToStdString(const QString& text) {
    return text.toUtf8().toStdString();
}

namespace {

// Cell notes end their lines with a carriage return; a tip wants line feeds.
QString NoteTip(std::string_view note) {
    QString tip = ToQString(note);
    tip.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    tip.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return tip.trimmed();
}

}  // namespace

void FollowingTableModel::FollowRows(int rows) {
    if (rows > rows_) {
        beginInsertRows(QModelIndex(), rows_, rows - 1);
        rows_ = rows;
        endInsertRows();
    } else if (rows < rows_) {
        beginRemoveRows(QModelIndex(), rows, rows_ - 1);
        rows_ = rows;
        endRemoveRows();
    }
    const int columns = columnCount();
    if (rows_ > 0 && columns > 0) emit dataChanged(index(0, 0), index(rows_ - 1, columns - 1));
    if (columns > 0) emit headerDataChanged(Qt::Horizontal, 0, columns - 1);
}

TextGridModel::TextGridModel(TextGrid& grid, QStringList captions, QObject* parent)
    : FollowingTableModel(parent), grid_(grid), captions_(std::move(captions)) {
    rows_ = grid.RowCount();
    grid_.Changes().SetChangeHandler(
        [this](const ModelChange& change) { Follow(change.row, change.column); });
}

TextGridModel::~TextGridModel() {
    grid_.Changes().SetChangeHandler(nullptr);
}

int TextGridModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : grid_.ColumnCount();
}

QVariant TextGridModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid()) return {};
    const int row = index.row() + 1;
    const int column = index.column() + 1;
    switch (role) {
        case Qt::DisplayRole:
        case Qt::EditRole:
            return ToQString(grid_.Text(row, column));
        case Qt::ToolTipRole: {
            const std::string& note = grid_.Note(row, column);
            return note.empty() ? QVariant() : QVariant(NoteTip(note));
        }
        case Qt::BackgroundRole:
            return QBrush(QColor::fromRgb(GridBackground(grid_.Enabled())));
        default:
            return {};
    }
}

QVariant TextGridModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole) return {};
    if (orientation == Qt::Vertical) return section + 1;
    const std::string& own = grid_.Caption(section + 1);
    if (!own.empty()) return ToQString(own);
    return section < captions_.size() ? QVariant(captions_[section]) : QVariant();
}

Qt::ItemFlags TextGridModel::flags(const QModelIndex& index) const {
    if (!index.isValid()) return Qt::NoItemFlags;
    Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (grid_.Enabled()) flags |= Qt::ItemIsEditable;
    return flags;
}

bool TextGridModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (!index.isValid() || role != Qt::EditRole || !grid_.Enabled()) return false;
    const int row = index.row() + 1;
    const int column = index.column() + 1;
    const std::string text = ToStdString(value.toString());
    if (grid_.Text(row, column) == text) return true;
    grid_.SetText(row, column, text);  // Follow() tells the views
    emit cellEdited(row, column);
    return true;
}

void TextGridModel::Follow(int row, int column) {
    if (row >= 1 && column >= 1) {
        if (row <= rows_) {
            const QModelIndex cell = index(row - 1, column - 1);
            emit dataChanged(cell, cell);
        }
        return;
    }
    FollowRows(grid_.RowCount());
}

TextListModel::TextListModel(TextList& list, QString caption, bool checkable, QObject* parent)
    : FollowingTableModel(parent),
      list_(list),
      caption_(std::move(caption)),
      checkable_(checkable) {
    rows_ = list.Count();
    list_.Changes().SetChangeHandler(
        [this](const ModelChange& change) { Follow(change.Whole() ? 0 : change.row); });
}

TextListModel::~TextListModel() {
    list_.Changes().SetChangeHandler(nullptr);
}

int TextListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : 1;
}

QVariant TextListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.column() != 0) return {};
    switch (role) {
        case Qt::DisplayRole:
        case Qt::ToolTipRole:  // the whole line, where the list is too narrow for it
            return ToQString(list_.Line(index.row()));
        case Qt::CheckStateRole:
            if (!checkable_) return {};
            return unchecked_.contains(ToQString(list_.Line(index.row()))) ? Qt::Unchecked
                                                                           : Qt::Checked;
        default:
            return {};
    }
}

QVariant TextListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole) return {};
    return orientation == Qt::Vertical ? QVariant(section + 1) : QVariant(caption_);
}

Qt::ItemFlags TextListModel::flags(const QModelIndex& index) const {
    if (!index.isValid()) return Qt::NoItemFlags;
    Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (checkable_) flags |= Qt::ItemIsUserCheckable;
    return flags;
}

bool TextListModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (!checkable_ || !index.isValid() || role != Qt::CheckStateRole) return false;
    const QString line = ToQString(list_.Line(index.row()));
    const bool checked = value.toInt() == Qt::Checked;
    if (checked == !unchecked_.contains(line)) return true;
    if (checked) {
        unchecked_.remove(line);
    } else {
        unchecked_.insert(line);
    }
    emit dataChanged(index, index, {Qt::CheckStateRole});
    emit lineCheckChanged(line, checked);
    return true;
}

void TextListModel::Follow(int row) {
    if (row >= 1 && row > rows_) {  // a line was added
        beginInsertRows(QModelIndex(), rows_, row - 1);
        rows_ = row;
        endInsertRows();
        return;
    }
    // A refill: what is listed now is all shown.
    unchecked_.clear();
    FollowRows(list_.Count());
}

}  // namespace retracer::app
