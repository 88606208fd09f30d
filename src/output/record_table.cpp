#include "output/record_table.h"

#include <algorithm>

namespace norvale {
namespace {

const std::string kEmpty;

bool inTable(int row, int column) {
  return row >= 0 && row < RecordTable::kRows && column >= 0 && column < RecordTable::kColumns;
}

}  // namespace

const std::string& RecordTable::cell(int row, int column) const {
  if (!inTable(row, column) || row >= static_cast<int>(rows_.size())) return kEmpty;
  return rows_[row][column];
}

void RecordTable::setCell(int row, int column, std::string text) {
  if (!inTable(row, column)) return;
  if (row >= static_cast<int>(rows_.size())) {
    if (text.empty()) return;
    rows_.resize(row + 1);
  }
  rows_[row][column] = std::move(text);
  noteChanged(row);
}

void RecordTable::clearCells() {
  rows_.clear();
  rows_.shrink_to_fit();
  pendingLayout_ = true;
  flush();
}

int RecordTable::columnWidth(int column) const {
  return column >= 0 && column < kColumns ? widths_[column] : 0;
}

void RecordTable::setColumnWidth(int column, int twips) {
  if (column < 0 || column >= kColumns) return;
  widths_[column] = twips;
  pendingLayout_ = true;
  flush();
}

bool RecordTable::emphasised(int row, int column) const {
  return std::find(emphasis_.begin(), emphasis_.end(), std::pair{row, column}) != emphasis_.end();
}

void RecordTable::setEmphasised(int row, int column, bool on) {
  if (!inTable(row, column)) return;
  auto it = std::find(emphasis_.begin(), emphasis_.end(), std::pair{row, column});
  if (on && it == emphasis_.end()) emphasis_.emplace_back(row, column);
  if (!on && it != emphasis_.end()) emphasis_.erase(it);
  noteChanged(row);
}

void RecordTable::setRedraw(bool on) {
  redraw_ = on;
  flush();
}

void RecordTable::noteChanged(int row) {
  pendingFirst_ = pendingFirst_ < 0 ? row : std::min(pendingFirst_, row);
  pendingLast_ = std::max(pendingLast_, row);
  flush();
}

void RecordTable::flush() {
  if (!redraw_ || !observer_) return;
  if (pendingLayout_) {
    pendingLayout_ = false;
    pendingFirst_ = pendingLast_ = -1;
    observer_->layoutChanged();
    return;
  }
  if (pendingFirst_ >= 0) {
    int first = pendingFirst_;
    int last = pendingLast_;
    pendingFirst_ = pendingLast_ = -1;
    observer_->rowsChanged(first, last);
  }
}

}  // namespace norvale
