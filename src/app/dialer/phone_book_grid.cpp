#include "app/dialer/phone_book_grid.h"

#include <QFontMetrics>
#include <QHeaderView>
#include <algorithm>

#include "app/view/record_grid.h"

namespace norvale {

PhoneBookGrid::PhoneBookGrid(QWidget* parent) : QTableWidget(kRows - 1, kColumns - 1, parent) {
  for (int row = 0; row < kRows; ++row) {
    for (int column = 0; column < kColumns; ++column) {
      if (row == 0 && column == 0) continue;
      auto* item = new QTableWidgetItem;
      if (row == 0) {
        setHorizontalHeaderItem(column - 1, item);
      } else if (column == 0) {
        setVerticalHeaderItem(row - 1, item);
      } else {
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
        setItem(row - 1, column - 1, item);
      }
    }
  }
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setSelectionMode(QAbstractItemView::SingleSelection);
  setWordWrap(false);
  verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 4);
  horizontalHeader()->setMinimumSectionSize(1);
  horizontalHeader()->setTextElideMode(Qt::ElideNone);
  horizontalHeader()->setHighlightSections(false);
  verticalHeader()->setHighlightSections(false);
  // Eleven rows always fit: the grid takes exactly the size of its cells.
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  setSizeAdjustPolicy(QAbstractScrollArea::AdjustToContents);
  for (int column = 0; column < kColumns; ++column) setGridColumnWidth(column, 1000);
  connect(this, &QTableWidget::currentCellChanged, this, &PhoneBookGrid::gridSelectionChanged);
}

QTableWidgetItem* PhoneBookGrid::itemAt(int row, int column) const {
  if (row < 0 || row >= kRows || column < 0 || column >= kColumns) return nullptr;
  if (row == 0 && column == 0) return nullptr;
  if (row == 0) return horizontalHeaderItem(column - 1);
  if (column == 0) return verticalHeaderItem(row - 1);
  return item(row - 1, column - 1);
}

QString PhoneBookGrid::cellText(int row, int column) const {
  if (row == 0 && column == 0) return corner_;
  QTableWidgetItem* cell = itemAt(row, column);
  return cell ? cell->text() : QString();
}

void PhoneBookGrid::setCellText(int row, int column, const QString& text) {
  if (row == 0 && column == 0) {
    corner_ = text;
    return;
  }
  if (QTableWidgetItem* cell = itemAt(row, column)) cell->setText(text);
}

void PhoneBookGrid::setCurrentGridCell(int row, int column) {
  if (row < 1 || row >= kRows || column < 1 || column >= kColumns) return;
  setCurrentCell(row - 1, column - 1);
}

void PhoneBookGrid::setGridColumnWidth(int column, int twips) {
  if (column < 0 || column >= kColumns) return;
  widths_[column] = twips;
  if (column == 0) {
    verticalHeader()->setFixedWidth(TwipsToPixels(twips));
  } else {
    // A header caption stays readable in a font larger than the one the widths were made for.
    QTableWidgetItem* header = itemAt(0, column);
    int captionWidth = QFontMetrics(header->font()).horizontalAdvance(header->text()) + 12;
    setColumnWidth(column - 1, std::max(TwipsToPixels(twips), captionWidth));
  }
}

int PhoneBookGrid::gridColumnWidth(int column) const {
  return column >= 0 && column < kColumns ? widths_[column] : 0;
}

void PhoneBookGrid::setGridColumnAlignment(int column, Qt::Alignment alignment) {
  for (int row = 0; row < kRows; ++row) {
    if (QTableWidgetItem* cell = itemAt(row, column)) cell->setTextAlignment(alignment);
  }
}

void PhoneBookGrid::setHeaderBold(int column, bool bold) {
  if (QTableWidgetItem* cell = itemAt(0, column)) {
    QFont font = cell->font();
    font.setBold(bold);
    cell->setFont(font);
  }
}

}  // namespace norvale
