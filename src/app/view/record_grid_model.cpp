#include "app/view/record_grid_model.h"

#include <QFont>
#include <algorithm>

#include "text/byte_text.h"

namespace norvale {

RecordGridModel::RecordGridModel(RecordTable& table, QObject* parent)
    : QAbstractTableModel(parent), table_(table) {
  table_.setObserver(this);
}

RecordGridModel::~RecordGridModel() { table_.setObserver(nullptr); }

int RecordGridModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : RecordTable::kRows - kFirstDataRow;
}

int RecordGridModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : RecordTable::kColumns - 1;
}

QVariant RecordGridModel::cellData(int row, int column, int role) const {
  if (role == Qt::DisplayRole) return FromByteText(table_.cell(row, column));
  if (role == Qt::FontRole && table_.emphasised(row, column)) {
    QFont bold;
    bold.setBold(true);
    return bold;
  }
  return {};
}

QVariant RecordGridModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid()) return {};
  return cellData(index.row() + kFirstDataRow, index.column() + 1, role);
}

QVariant RecordGridModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (section < 0) return {};
  if (orientation == Qt::Horizontal) return cellData(kTitleRow, section + 1, role);
  return cellData(section + kFirstDataRow, 0, role);
}

QString RecordGridModel::cornerText() const { return FromByteText(table_.cell(kTitleRow, 0)); }

void RecordGridModel::rowsChanged(int firstRow, int lastRow) {
  if (firstRow <= kTitleRow && lastRow >= kTitleRow) {
    emit headerDataChanged(Qt::Horizontal, 0, columnCount() - 1);
    emit titlesChanged();
  }
  int first = std::max(firstRow, kFirstDataRow) - kFirstDataRow;
  int last = std::min(lastRow, RecordTable::kRows - 1) - kFirstDataRow;
  if (first > last) return;
  emit dataChanged(index(first, 0), index(last, columnCount() - 1));
  emit headerDataChanged(Qt::Vertical, first, last);
}

void RecordGridModel::layoutChanged() {
  emit headerDataChanged(Qt::Horizontal, 0, columnCount() - 1);
  emit headerDataChanged(Qt::Vertical, 0, rowCount() - 1);
  emit dataChanged(index(0, 0), index(rowCount() - 1, columnCount() - 1));
  emit titlesChanged();
  emit columnWidthsChanged();
}

}  // namespace norvale
