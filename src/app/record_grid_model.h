#pragma once

#include <QAbstractTableModel>

#include "output/record_table.h"

namespace norvale {

// Presents the record table to a QTableView without copying it. The table's fixed row 0 is the
// horizontal header and its fixed column 0 the vertical header, so they stay in place while the
// view scrolls; table cell (r, c) with r, c >= 1 is model cell (r - 1, c - 1).
class RecordGridModel : public QAbstractTableModel, public RecordTableObserver {
  Q_OBJECT

 public:
  explicit RecordGridModel(RecordTable& table, QObject* parent = nullptr);
  ~RecordGridModel() override;

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  QVariant headerData(int section, Qt::Orientation orientation,
                      int role = Qt::DisplayRole) const override;

  void rowsChanged(int firstRow, int lastRow) override;
  void layoutChanged() override;

  const RecordTable& table() const { return table_; }

 signals:
  // The table's column widths may have changed.
  void columnWidthsChanged();

 private:
  QVariant cellData(int row, int column, int role) const;

  RecordTable& table_;
};

}  // namespace norvale
