#pragma once

#include <QAbstractTableModel>

namespace retracer {
class Worklist;
}

namespace retracer::app {

// The worklist as a Qt table: its 500 rows and 15 columns, the column captions as the header and
// the note of an "R Variables" cell (the variables' descriptions) as that cell's tip. Core row r,
// column c is Qt row r - 1, column c - 1. Every cell is editable as free text.
//
// The adapter takes the worklist's one change hook for as long as it lives.
class WorklistTableModel : public QAbstractTableModel {
    Q_OBJECT

  public:
    explicit WorklistTableModel(Worklist& worklist, QObject* parent = nullptr);
    ~WorklistTableModel() override;

    Worklist& Model() { return worklist_; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;

  private:
    Worklist& worklist_;
};

}  // namespace retracer::app
