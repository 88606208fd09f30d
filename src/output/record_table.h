#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace norvale {

// Told when cells change, so a view can repaint; not told while repainting is off.
class RecordTableObserver {
 public:
  virtual ~RecordTableObserver() = default;
  virtual void rowsChanged(int firstRow, int lastRow) = 0;
  virtual void layoutChanged() = 0;  // column widths, emphasis, or everything cleared
};

// The record table of the View tab: 65535 rows (0..65534) by 10 columns of text, row 0 and
// column 0 fixed. Row 1 holds the titles, data starts at row 2; channel k sits in column k + 1.
// Rows are stored only once written, so an empty table costs next to nothing.
class RecordTable {
 public:
  static constexpr int kRows = 65535;
  static constexpr int kColumns = 10;
  static constexpr int kChannels = 8;

  const std::string& cell(int row, int column) const;
  // Writing outside the table does nothing: a row past 65534 is lost while LastRow counts it.
  void setCell(int row, int column, std::string text);
  // Empties every cell's text (titles included); widths and state flags stay.
  void clearCells();

  int columnWidth(int column) const;  // twips
  void setColumnWidth(int column, int twips);
  bool emphasised(int row, int column) const;
  void setEmphasised(int row, int column, bool on);

  // While off, changes are collected and reported once when it is switched on again.
  void setRedraw(bool on);
  bool redraw() const { return redraw_; }

  void setObserver(RecordTableObserver* observer) { observer_ = observer; }
  // Highest row that holds any text, or 0.
  int highestStoredRow() const { return rows_.empty() ? 0 : static_cast<int>(rows_.size()) - 1; }

  int32_t LastRow = 0;
  std::array<bool, kChannels> ChannelUsed{};  // index k - 1 for channel k
  std::array<bool, 11> ChannelIsTotal{};      // slot k - 1 set: channel k is a totaliser

 private:
  void noteChanged(int row);
  void flush();

  std::vector<std::array<std::string, kColumns>> rows_;
  std::vector<std::pair<int, int>> emphasis_;
  std::array<int, kColumns> widths_{1000, 1800, 2000, 2000, 2000, 2000, 2000, 2000, 2000, 2000};
  bool redraw_ = true;
  int pendingFirst_ = -1;
  int pendingLast_ = -1;
  bool pendingLayout_ = false;
  RecordTableObserver* observer_ = nullptr;
};

// Repainting stays off while a filler writes many rows and comes back on at every exit.
class RedrawPause {
 public:
  explicit RedrawPause(RecordTable& table) : table_(table) { table_.setRedraw(false); }
  ~RedrawPause() { table_.setRedraw(true); }
  RedrawPause(const RedrawPause&) = delete;
  RedrawPause& operator=(const RedrawPause&) = delete;

 private:
  RecordTable& table_;
};

}  // namespace norvale
