#pragma once

#include <QAbstractTableModel>
#include <QSet>
#include <QString>
#include <QStringList>

namespace retracer {
class TextGrid;
class TextList;
}  // namespace retracer

namespace retracer::app {

// UTF-8 core texts to Qt and back.
QString ToQString(std::string_view text);
std::string ToStdString(const QString& text);

// A table model over a core model that reports its changes after the fact: it keeps the row
// count it last told its views, so growing and shrinking reach them as row insertions and
// removals (open editors and the selection survive a refill of the same size).
class FollowingTableModel : public QAbstractTableModel {
    Q_OBJECT

  public:
    using QAbstractTableModel::QAbstractTableModel;
    int rowCount(const QModelIndex& parent = {}) const override {
        return parent.isValid() ? 0 : rows_;
    }

  protected:
    // The core model now has `rows` rows and any of its cells may have changed.
    void FollowRows(int rows);
    int rows_ = 0;
};

// A Control Panel grid (variables, dimensions, subprograms) as a Qt table. Core row r, column c
// is Qt row r - 1, column c - 1; a cell's note is its tip. A disabled grid is shown greyed and
// cannot be edited. Edits made through the view are reported by cellEdited, changes made by the
// core only by the usual model signals, so a window can tell the user's edits from a refill.
//
// The adapter takes the grid's one change hook for as long as it lives.
class TextGridModel : public FollowingTableModel {
    Q_OBJECT

  public:
    // `captions` head the columns whose own caption in the grid is empty.
    TextGridModel(TextGrid& grid, QStringList captions, QObject* parent = nullptr);
    ~TextGridModel() override;

    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;

  signals:
    // The user changed the text of a cell (core row and column numbers).
    void cellEdited(int row, int column);

  private:
    void Follow(int row, int column);

    TextGrid& grid_;
    QStringList captions_;
};

// A list box of the Control Panel (program lines, drawing layers) as a one-column table. With
// `checkable` every line gets a check box, checked while the line is shown: the layer list lets
// the user hide layers that way. A refill shows every line again.
class TextListModel : public FollowingTableModel {
    Q_OBJECT

  public:
    TextListModel(TextList& list, QString caption, bool checkable, QObject* parent = nullptr);
    ~TextListModel() override;

    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;

  signals:
    // The user checked (shown) or unchecked (hidden) the line `text`.
    void lineCheckChanged(const QString& text, bool checked);

  private:
    void Follow(int row);

    TextList& list_;
    QString caption_;
    bool checkable_ = false;
    QSet<QString> unchecked_;
};

}  // namespace retracer::app
