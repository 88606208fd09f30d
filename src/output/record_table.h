#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
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
// Cells are stored only once written, so an empty table costs next to nothing.
class RecordTable {
 public:
  static constexpr int kRows = 65535;
  static constexpr int kColumns = 10;
  static constexpr int kChannels = 8;

  // Valid until the next change of the table.
  std::string_view cell(int row, int column) const;
  // Writing outside the table does nothing: a row past 65534 is lost while LastRow counts it.
  void setCell(int row, int column, std::string_view text);
  // Empties every cell's text (titles included); widths and state flags stay.
  void clearCells();
  // Room for rows 0 to rows - 1 (at most the whole table), for a filler that knows about how
  // many rows it will write; no cell changes.
  void reserveRows(int rows);

  int columnWidth(int column) const;  // twips
  void setColumnWidth(int column, int twips);
  bool emphasised(int row, int column) const;
  void setEmphasised(int row, int column, bool on);

  // While off, changes are collected and reported once when it is switched on again.
  void setRedraw(bool on);
  bool redraw() const { return redraw_; }

  void setObserver(RecordTableObserver* observer) { observer_ = observer; }
  // Highest row that holds any text, or 0.
  int highestStoredRow() const { return storedRows_ == 0 ? 0 : storedRows_ - 1; }

  int32_t LastRow = 0;
  std::array<bool, kChannels> ChannelUsed{};  // index k - 1 for channel k
  std::array<bool, 11> ChannelIsTotal{};      // slot k - 1 set: channel k is a totaliser

 private:
  void noteChanged(int row);
  void flush();

  // Where a cell's text sits in its column's text.
  struct Span {
    uint32_t begin = 0;
    uint32_t size = 0;
  };
  // A column's cell texts end to end in one string, each cell a span of it, and only as many
  // spans as its last written row: a filler writes five or six of the ten columns, and a string
  // per cell would cost an allocation for every date and value. A rewrite that does not fit in
  // its span takes a new one at the end; the text is packed once such leftovers outweigh it.
  struct Column {
    std::string text;
    std::vector<Span> spans;
    size_t liveBytes = 0;
  };
  static void store(Column& column, Span& span, std::string_view text);
  static void pack(Column& column);

  std::array<Column, kColumns> columns_;
  int storedRows_ = 0;  // rows below this have held text in some column
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
