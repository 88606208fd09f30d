#include "output/record_table.h"

#include <algorithm>
#include <cstring>

namespace norvale {
namespace {

// Leftover bytes a column keeps before it is packed, whatever it holds.
constexpr size_t kPackSlack = size_t{64} * 1024;
constexpr size_t kTypicalCellBytes = 20;

bool inTable(int row, int column) {
  return row >= 0 && row < RecordTable::kRows && column >= 0 && column < RecordTable::kColumns;
}

// The room doubles whatever the library does on resize, so a filler that writes row after row
// moves each span only a few times.
template <class Spans>
void growTo(Spans& spans, int rows) {
  const size_t wanted = static_cast<size_t>(rows);
  if (wanted > spans.capacity()) {
    const size_t doubled = std::max(wanted, 2 * spans.capacity());
    spans.reserve(std::min(doubled, static_cast<size_t>(RecordTable::kRows)));
  }
  spans.resize(wanted);
}

}  // namespace

std::string_view RecordTable::cell(int row, int column) const {
  if (!inTable(row, column)) return {};
  const Column& c = columns_[column];
  if (row >= static_cast<int>(c.spans.size())) return {};
  const Span& span = c.spans[row];
  return std::string_view(c.text.data() + span.begin, span.size);
}

void RecordTable::setCell(int row, int column, std::string_view text) {
  if (!inTable(row, column)) return;
  Column& c = columns_[column];
  if (row >= static_cast<int>(c.spans.size())) {
    if (text.empty()) {
      // Nothing to store, but a row that holds text elsewhere was written all the same.
      if (row < storedRows_) noteChanged(row);
      return;
    }
    growTo(c.spans, row + 1);
    storedRows_ = std::max(storedRows_, row + 1);
  }
  store(c, c.spans[row], text);
  noteChanged(row);
}

void RecordTable::store(Column& column, Span& span, std::string_view text) {
  column.liveBytes = column.liveBytes - span.size + text.size();
  if (text.size() <= span.size) {
    // memmove: the text may be another cell of this column.
    if (!text.empty()) std::memmove(column.text.data() + span.begin, text.data(), text.size());
    span.size = static_cast<uint32_t>(text.size());
    return;
  }
  span = {static_cast<uint32_t>(column.text.size()), static_cast<uint32_t>(text.size())};
  column.text.append(text);
  if (column.text.size() - column.liveBytes > std::max(column.liveBytes, kPackSlack)) {
    pack(column);
  }
}

void RecordTable::pack(Column& column) {
  std::string packed;
  packed.reserve(column.liveBytes);
  for (Span& span : column.spans) {
    const uint32_t begin = static_cast<uint32_t>(packed.size());
    packed.append(column.text, span.begin, span.size);
    span.begin = begin;
  }
  column.text = std::move(packed);
}

void RecordTable::clearCells() {
  for (Column& c : columns_) c = Column{};
  storedRows_ = 0;
  pendingLayout_ = true;
  flush();
}

void RecordTable::reserveRows(int rows) {
  const size_t reserved = static_cast<size_t>(std::clamp(rows, 0, kRows));
  for (Column& c : columns_) {
    c.spans.reserve(reserved);
    // Room the column only takes up as it is written: dates and values are about this long.
    c.text.reserve(reserved * kTypicalCellBytes);
  }
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
