#pragma once

#include <QAbstractTableModel>

#include "output/record_table.h"

namespace norvale {

// Presents the record table to a QTableView without copying it. The table's title row (row 1)
// is the horizontal header, so the channel titles stay in place while the view scrolls, and its
// fixed column 0 the vertical header; "Record #" (row 1, column 0) goes in the corner. The
// table's fixed row 0 holds nothing and is not shown. Table cell (r, c) with r >= 2, c >= 1 is
// model cell (r - 2, c - 1).
class RecordGridModel : public QAbstractTableModel, public RecordTableObserver {
  Q_OBJECT

 public:
  static constexpr int kTitleRow = 1;
  static constexpr int kFirstDataRow = 2;

  explicit RecordGridModel(RecordTable& table, QObject* parent = nullptr);
  ~RecordGridModel() override;

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  QVariant headerData(int section, Qt::Orientation orientation,
                      int role = Qt::DisplayRole) const override;
  // The title over the vertical header: "Record #".
  QString cornerText() const;

  void rowsChanged(int firstRow, int lastRow) override;
  void layoutChanged() override;

  const RecordTable& table() const { return table_; }

 signals:
  // The table's column widths may have changed.
  void columnWidthsChanged();
  // A title (the title row, the corner among them) may have changed.
  void titlesChanged();

 private:
  QVariant cellData(int row, int column, int role) const;

  RecordTable& table_;
};

}  // namespace norvale
