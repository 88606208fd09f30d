#include "handheld/handheld_import.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <functional>
#include <optional>
#include <string_view>

#include "handheld/handheld_record.h"
#include "handheld/record_block_reader.h"
#include "handheld/record_marker_scan.h"
#include "records/download_result.h"
#include "records/table_layout.h"
#include "text/number_text.h"

namespace norvale {
namespace {

// Yielding after every record would cost more than the import itself; this many records take
// well under a millisecond.
constexpr int kRecordsPerYield = 512;
constexpr int kRecordsPerScanYield = 32768;
constexpr int kChannelColumnTwips = 1800;
constexpr size_t kNotUsedLength = 8;

class FileCloser {
 public:
  explicit FileCloser(HandheldFile& file) : file_(file) {}
  ~FileCloser() { file_.close(); }
  FileCloser(const FileCloser&) = delete;
  FileCloser& operator=(const FileCloser&) = delete;

 private:
  HandheldFile& file_;
};

// Opens the file and finds its first record: kLogRead with `start` set, or the result to return.
DownloadResult OpenAtFirstRecord(const HandheldContext& c, int64_t& start) {
  switch (c.file.open(c.path)) {
    case HandheldFile::Opened::Missing:
      return DownloadResult::kDatabaseMissing;
    case HandheldFile::Opened::Unreadable:
      return DownloadResult::kDatabaseUnreadable;
    case HandheldFile::Opened::Yes:
      break;
  }
  switch (FindFirstRecordMarker(c.file, c.pump, start)) {
    case MarkerScan::None:
      return DownloadResult::kNothingToRead;
    case MarkerScan::Failed:
      return DownloadResult::kDatabaseUnreadable;
    case MarkerScan::Stopped:
      return DownloadResult::kDownloadError;
    case MarkerScan::Found:
      break;
  }
  return DownloadResult::kLogRead;
}

void PrepareTable(const HandheldContext& c) {
  c.view.setProgress(0);
  c.pump.yieldOnce();
  for (int box = 0; box < RecordTable::kChannels; ++box) c.view.setChannelBox(box, "");
  StartTitleRow(c.records, TitleEmphasis::WholeRow);
  SetRecordColumnWidths(c.records, kChannelColumnTwips);
  c.pump.yieldOnce();
}

// The first record of a channel names it: a title, a box, and the used and totaliser flags.
void TakeChannelName(const HandheldContext& c, int channel, std::string_view record) {
  const std::string name = ChannelNameOf(record);
  if (name.compare(0, kNotUsedLength, "Not Used") == 0) {
    c.records.ChannelUsed[channel - 1] = false;
  } else if (!name.empty()) {
    c.records.ChannelUsed[channel - 1] = true;
    WriteChannelTitle(c.records, channel, name);
    c.view.setChannelBox(channel - 1, name);
    c.records.ChannelIsTotal[channel - 1] = name.find("Tot") != std::string::npos;
  }
}

// Where the records' times go: one row per logged hour and minute.
class RowStamps {
 public:
  // The row of the record, starting a new one when its hour and minute differ from the current
  // row's. A date (or time) that does not exist is taken from the record before.
  void place(std::string_view record, RecordTable& records) {
    // Most records carry the stamp of the one before: reading it again would change nothing.
    const std::string_view stamp = StampBytesOf(record);
    if (!started_ || stamp != std::string_view(lastStamp_.data(), lastStamp_.size())) {
      if (std::optional<LogDate> date = DateOf(record)) date_ = date;
      if (std::optional<LogTime> time = TimeOf(record)) time_ = time;
      stamp.copy(lastStamp_.data(), lastStamp_.size());
    }
    if (started_ && sameMinute(time_, rowTime_)) return;
    started_ = true;
    std::optional<LogDate> date = date_;
    // The meter stamps the end of a day with that day's date.
    if (date && time_ && time_->hour == 0 && time_->minute == 0) date = NextDay(*date);
    if (records.LastRow < INT32_MAX) ++records.LastRow;
    rowTime_ = time_;
    records.setCell(records.LastRow, 1, date && time_ ? HandheldDateText(*date, *time_) : "");
  }

 private:
  static bool sameMinute(const std::optional<LogTime>& a, const std::optional<LogTime>& b) {
    if (!a || !b) return !a && !b;
    return a->hour == b->hour && a->minute == b->minute;
  }

  bool started_ = false;
  std::array<char, 5> lastStamp_{};
  std::optional<LogDate> date_;
  std::optional<LogTime> time_;
  std::optional<LogTime> rowTime_;
};

// The last record of each channel in the row being filled, kept until the import moves on or
// yields and only then turned into the record number and value texts: with several meters in a
// database, every module's record of a channel lands in the same row and only the last one shows.
class PendingRow {
 public:
  // The record of channel k in `row`, in place of one kept before. What another row kept is
  // written first.
  void keep(RecordTable& records, int row, int channel, std::string_view record) {
    if (row != row_) write(records);
    row_ = row;
    record.copy(records_[channel - 1].data(), kHandheldRecordSize);
    kept_ |= 1U << (channel - 1);
  }

  // Writes the kept record number and values into the table; nothing is kept after. A channel's
  // totaliser flag is the one its records were kept under: it is set at its first record.
  void write(RecordTable& records) {
    if (kept_ == 0) return;
    records.setCell(row_, 0, std::to_string(row_ - 1));
    for (int k = 1; k <= RecordTable::kChannels; ++k) {
      if ((kept_ & 1U << (k - 1)) == 0) continue;
      double value = ValueOf({records_[k - 1].data(), kHandheldRecordSize});
      if (records.ChannelIsTotal[k - 1]) value = std::floor(value);
      char text[kNumberTextRoom];
      records.setCell(row_, k + 1, std::string_view(text, PutNumberText(text, value) - text));
    }
    kept_ = 0;
  }

 private:
  int row_ = 0;
  unsigned kept_ = 0;  // bit k - 1 for channel k
  std::array<std::array<char, kHandheldRecordSize>, RecordTable::kChannels> records_{};
};

// Hands every 32-byte block from `start` to the end of the file to `take`, yielding every
// `perYield` blocks (after `beforeYield`, when given) and stopping when the program ends. The
// reader's result: kLogRead at the end of the file, where the caller yields once more.
template <class Take>
DownloadResult ReadBlocks(const HandheldContext& c, int64_t start, int perYield,
                          const std::function<void(const RecordBlockReader&)>& beforeYield,
                          Take take) {
  RecordBlockReader reader(c.file, start);
  std::string_view record;
  for (int count = 1;; ++count) {
    RecordBlockReader::Next next = reader.next(record);
    if (next == RecordBlockReader::Next::End) break;
    if (next == RecordBlockReader::Next::Failed) return DownloadResult::kDatabaseUnreadable;
    if (count % perYield == 0) {
      if (beforeYield) beforeYield(reader);
      c.pump.yieldOnce();
      if (c.pump.stopRequested()) return DownloadResult::kDownloadError;
    }
    take(record);
  }
  return DownloadResult::kLogRead;
}

}  // namespace

DownloadResult ReadHandheldDatabase(const HandheldContext& c, bool separateByModuleId) {
  PrepareTable(c);
  RedrawPause pause(c.records);
  FileCloser closer(c.file);
  int64_t start = 0;
  if (DownloadResult opened = OpenAtFirstRecord(c, start); opened != DownloadResult::kLogRead)
    return opened;

  const int selected = separateByModuleId ? SelectedModuleId(c.ids) : -1;
  ModuleIdCollector otherIds(c.ids);
  std::array<bool, RecordTable::kChannels> nameTaken{};
  RowStamps stamps;
  PendingRow pending;
  const int64_t size = c.file.size();
  // Rows are at most the records left plus the title row; the table stops at its last row.
  c.records.reserveRows(static_cast<int>(std::min<int64_t>(
      (size - start) / static_cast<int64_t>(kHandheldRecordSize) + 2, RecordTable::kRows)));
  auto beforeYield = [&c, &pending, size](const RecordBlockReader& reader) {
    pending.write(c.records);
    if (size > 0) c.view.setProgress(static_cast<int>(100 * reader.position() / size));
  };
  const DownloadResult result =
      ReadBlocks(c, start, kRecordsPerYield, beforeYield, [&](std::string_view record) {
        if (!HasRecordMarker(record)) return;
        if (separateByModuleId && ModuleIdOf(record) != selected) {
          otherIds.note(ModuleIdOf(record));
          return;
        }
        const int channel = ChannelOf(record);
        if (channel == 0) return;
        if (!nameTaken[channel - 1]) {
          TakeChannelName(c, channel, record);
          nameTaken[channel - 1] = true;
        }
        stamps.place(record, c.records);
        pending.keep(c.records, c.records.LastRow, channel, record);
      });
  pending.write(c.records);
  if (result == DownloadResult::kLogRead) c.pump.yieldOnce();
  return result;
}

DownloadResult GetModuleIdList(const HandheldContext& c) {
  c.view.setProgress(0);
  c.pump.yieldOnce();
  c.records.LastRow = 1;
  FileCloser closer(c.file);
  int64_t start = 0;
  if (DownloadResult opened = OpenAtFirstRecord(c, start); opened != DownloadResult::kLogRead)
    return opened;

  const int selected = SelectedModuleId(c.ids);
  ModuleIdCollector ids(c.ids);
  // Rarely enough that a usual database is scanned without a repaint, as the list expects.
  const DownloadResult result =
      ReadBlocks(c, start, kRecordsPerScanYield, nullptr, [&](std::string_view record) {
        if (HasRecordMarker(record) && ModuleIdOf(record) != selected) {
          ids.note(ModuleIdOf(record));
        }
      });
  if (result == DownloadResult::kLogRead) c.pump.yieldOnce();
  return result;
}

}  // namespace norvale
