#include "app/record_grid.h"

#include <QHeaderView>

namespace norvale {

RecordGrid::RecordGrid(RecordTable& table, QWidget* parent)
    : QTableView(parent), model_(table, this) {
  setModel(&model_);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setSelectionMode(QAbstractItemView::SingleSelection);
  setWordWrap(false);
  // Fixed heights keep 65534 rows cheap: the view never measures them.
  QHeaderView* rows = verticalHeader();
  rows->setSectionResizeMode(QHeaderView::Fixed);
  rows->setDefaultSectionSize(fontMetrics().height() + 4);
  rows->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  rows->setHighlightSections(false);
  horizontalHeader()->setHighlightSections(false);
  horizontalHeader()->setMinimumSectionSize(1);
  horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  connect(&model_, &RecordGridModel::columnWidthsChanged, this, &RecordGrid::applyColumnWidths);
  applyColumnWidths();
}

void RecordGrid::applyColumnWidths() {
  const RecordTable& table = model_.table();
  verticalHeader()->setFixedWidth(TwipsToPixels(table.columnWidth(0)));
  for (int column = 1; column < RecordTable::kColumns; ++column) {
    setColumnWidth(column - 1, TwipsToPixels(table.columnWidth(column)));
  }
}

}  // namespace norvale
