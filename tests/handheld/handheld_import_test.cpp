// The handheld database reader on in-memory files: where it finds the records, how it steps
// through them, how logged times become rows, and the module ID list.
#include "handheld/handheld_import.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "records/download_result.h"
#include "support/fake_clock.h"

namespace norvale {
namespace {

class MemoryFile : public HandheldFile {
 public:
  explicit MemoryFile(std::string bytes) : bytes_(std::move(bytes)) {}
  Opened open(const std::string&) override { return missing ? Opened::Missing : Opened::Yes; }
  int64_t read(char* buffer, int64_t count) override {
    if (position_ >= failAt) return -1;
    int64_t n = std::min<int64_t>(count, static_cast<int64_t>(bytes_.size()) - position_);
    n = std::max<int64_t>(0, std::min<int64_t>(n, failAt - position_));
    std::copy_n(bytes_.data() + position_, n, buffer);
    position_ += n;
    chunkSizes.push_back(n);
    return n;
  }
  bool seek(int64_t position) override {
    position_ = position;
    return true;
  }
  int64_t size() override { return static_cast<int64_t>(bytes_.size()); }
  void close() override {}

  bool missing = false;
  int64_t failAt = INT64_MAX;  // reads from here on fail
  std::vector<int64_t> chunkSizes;

 private:
  std::string bytes_;
  int64_t position_ = 0;
};

struct ListBox : ModuleIdBox {
  std::vector<std::string> entries() const override { return list; }
  void addEntry(const std::string& entry) override { list.push_back(entry); }
  std::string text() const override { return typed; }
  std::vector<std::string> list;
  std::string typed;
};

struct NullView : DownloadView {
  void setStatusText(const std::string&) override {}
  void setProgress(int) override {}
  void setChannelBox(int index, const std::string& text) override { boxes.at(index) = text; }
  void setWrittenFile(const std::string&) override {}
  std::array<std::string, 10> boxes;
};

int Bcd(int value) { return value / 10 * 16 + value % 10; }

// A 32-byte record of channel `channel` and module `module` at 20yy-mm-dd hh:mm; the value is
// the meter float 41 48 00 00 (12.5...) unless given.
std::string Record(int module, int channel, const char* name, int yy, int mm, int dd, int hh,
                   int mi, std::string value = std::string("\x41\x48\x00\x00", 4)) {
  std::string r(32, '\0');
  r[0] = '\xAA';
  r[1] = '\x55';
  r[6] = static_cast<char>(module);
  r[7] = static_cast<char>(0x10 * channel);
  std::string padded = std::string(name).substr(0, 10);
  padded.resize(10, '\xFF');
  r.replace(8, 10, padded);
  r[22] = static_cast<char>(Bcd(yy));
  r[23] = static_cast<char>(mm);
  r[24] = static_cast<char>(Bcd(dd));
  r[25] = static_cast<char>(Bcd(hh));
  r[26] = static_cast<char>(Bcd(mi));
  r.replace(27, 4, value);
  return r;
}

struct Import {
  explicit Import(std::string bytes) : file(std::move(bytes)) {}
  DownloadResult run(bool separate = false) {
    return ReadHandheldDatabase({file, "DBFLW2.pdb", ids, records, view, pump}, separate);
  }
  DownloadResult scan() { return GetModuleIdList({file, "DBFLW2.pdb", ids, records, view, pump}); }
  std::vector<std::string> row(int r) const {
    std::vector<std::string> cells;
    for (int c = 0; c < RecordTable::kColumns; ++c) cells.emplace_back(records.cell(r, c));
    while (!cells.empty() && cells.back().empty()) cells.pop_back();
    return cells;
  }

  MemoryFile file;
  ListBox ids;
  RecordTable records;
  NullView view;
  testing::FakeClock clock;
  testing::FakeEventPump pump{clock};
};

using Row = std::vector<std::string>;

TEST(HandheldImport, FirstMarkerSplitAcrossTwoChunksIsFoundAndTheStrideStartsThere) {
  // 999 bytes of filler, so the first record's AA is the last byte of the first 1000-byte chunk.
  Import im(std::string(999, '\x11') + Record(1, 1, "Flow", 21, 3, 14, 10, 0) +
            Record(1, 1, "Flow", 21, 3, 14, 10, 15));
  ASSERT_EQ(im.run(), DownloadResult::kLogRead);
  EXPECT_EQ(im.file.chunkSizes.front(), 1000);
  EXPECT_EQ(im.records.LastRow, 3);
  EXPECT_EQ(im.row(2), (Row{"1", "03/14/2021 10:00", " 12.5000007450581"}));
  EXPECT_EQ(im.row(3), (Row{"2", "03/14/2021 10:15", " 12.5000007450581"}));
}

TEST(HandheldImport, BlockWithoutMarkerIsSkippedAndTheStrideKept) {
  std::string bad = Record(1, 1, "Flow", 21, 3, 14, 10, 15);
  bad[1] = '\x00';
  bad[8] = '\xAA';  // an AA 55 inside the bad block must not start a new search
  bad[9] = '\x55';
  Import im(Record(1, 1, "Flow", 21, 3, 14, 10, 0) + bad + Record(1, 1, "Flow", 21, 3, 14, 10, 30) +
            std::string(31, '\xAA'));  // a partial last block is not used
  ASSERT_EQ(im.run(), DownloadResult::kLogRead);
  EXPECT_EQ(im.records.LastRow, 3);
  EXPECT_EQ(im.row(3)[1], "03/14/2021 10:30");
}

TEST(HandheldImport, RowsFollowHoursAndMinutesAndMidnightBelongsToTheNextDay) {
  const std::string total("\xC0\x00\x00\x00", 4);    // about -2: cut down to -3 as a totaliser
  Import im(Record(1, 1, "Flow", 21, 3, 14, 0, 0) +  // first record at midnight: row 2
            Record(1, 2, "Total Fwd", 21, 3, 14, 10, 0, total) +
            Record(1, 1, "Flow", 21, 3, 14, 10, 0) + Record(1, 3, "Not Used  ", 21, 3, 14, 10, 15) +
            Record(1, 1, "Flow", 21, 3, 14, 0, 0) +  // midnight stamped the 14th
            Record(1, 1, "Flow", 21, 3, 15, 0, 0));  // same hour and minute, other date: same row
  im.records.ChannelUsed[2] = true;
  ASSERT_EQ(im.run(), DownloadResult::kLogRead);
  EXPECT_EQ(im.row(1), (Row{"Record #", "Date / Time", "Flow", "Total Fwd"}));
  EXPECT_EQ(im.row(2), (Row{"1", "03/15/2021 00:00", " 12.5000007450581"}));
  EXPECT_EQ(im.row(3), (Row{"2", "03/14/2021 10:00", " 12.5000007450581", "-3"}));
  EXPECT_EQ(im.row(4), (Row{"3", "03/14/2021 10:15", "", "", " 12.5000007450581"}));
  EXPECT_EQ(im.row(5), (Row{"4", "03/15/2021 00:00", " 12.5000007450581"}));
  EXPECT_EQ(im.records.LastRow, 5);
  EXPECT_TRUE(im.records.ChannelIsTotal[1]);
  EXPECT_FALSE(im.records.ChannelUsed[2]);  // "Not Used" clears the flag; its values still show
  EXPECT_EQ(im.view.boxes[1], "Total Fwd");
}

TEST(HandheldImport, ModuleIdsAreListedOnceInTheOrderFirstSeen) {
  std::string file;
  for (int id : {12, 3, 12, 7, 3, 0}) file += Record(id, 1, "Flow", 21, 3, 14, 10, 0);
  Import scan(file);
  scan.ids.list = {"7"};
  ASSERT_EQ(scan.scan(), DownloadResult::kLogRead);
  // An empty box selects ID 0, whose records are passed over; 7 was listed already.
  EXPECT_EQ(scan.ids.list, (std::vector<std::string>{"7", "12", "3"}));
  EXPECT_EQ(scan.records.LastRow, 1);

  Import separated(file);
  separated.ids.typed = "12";
  ASSERT_EQ(separated.run(true), DownloadResult::kLogRead);
  EXPECT_EQ(separated.ids.list, (std::vector<std::string>{"3", "7", "0"}));
  EXPECT_EQ(separated.records.LastRow, 2);  // both records of 12 share 10:00
}

TEST(HandheldImport, MissingEmptyMarkerlessAndUnreadableFilesEndWithTheirResults) {
  Import missing("");
  missing.file.missing = true;
  EXPECT_EQ(missing.run(), DownloadResult::kDatabaseMissing);
  EXPECT_EQ(Import("").run(), DownloadResult::kNothingToRead);
  Import markerless(std::string(5000, '\xAA'));
  EXPECT_EQ(markerless.scan(), DownloadResult::kNothingToRead);
  EXPECT_EQ(markerless.records.LastRow, 1);

  Import failing(std::string(70000, '\0') + Record(1, 1, "Flow", 21, 3, 14, 10, 0));
  failing.file.failAt = 30000;  // during the marker search
  EXPECT_EQ(failing.run(), DownloadResult::kDatabaseUnreadable);
  Import failingLater(Record(1, 1, "Flow", 21, 3, 14, 10, 0) + std::string(200000, '\0'));
  failingLater.file.failAt = 100000;  // while the records are read
  EXPECT_EQ(failingLater.scan(), DownloadResult::kDatabaseUnreadable);
}

TEST(HandheldImport, FirstRecordWithoutADateLeavesItsCellEmptyAndLaterOnesBorrowTheLast) {
  Import im(Record(1, 1, "Flow", 21, 13, 14, 9, 0) + Record(1, 1, "Flow", 21, 3, 14, 10, 0) +
            Record(1, 1, "Flow", 21, 2, 30, 10, 15));  // 30 February: the date before it
  ASSERT_EQ(im.run(), DownloadResult::kLogRead);
  EXPECT_EQ(im.records.cell(2, 1), "");
  EXPECT_EQ(im.records.cell(3, 1), "03/14/2021 10:00");
  EXPECT_EQ(im.records.cell(4, 1), "03/14/2021 10:15");
}

TEST(HandheldImport, ProgramEndingStopsTheImportAtItsNextYield) {
  std::string file;
  for (int i = 0; i < 5000; ++i) file += Record(1, 1, "Flow", 21, 3, 14, i / 60 % 24, i % 60);
  Import im(file);
  im.pump.onYield = [&] {
    if (im.pump.yields > 3) im.pump.requestStop();
  };
  EXPECT_EQ(im.run(), DownloadResult::kDownloadError);
  EXPECT_LT(im.records.LastRow, 5000);
}

// Any bytes at all end with a defined result; the sanitizer build checks that nothing reads out
// of bounds on the way.
TEST(HandheldImport, RandomAndMutatedFilesEndWithADefinedResult) {
  std::string valid;
  for (int i = 0; i < 40; ++i) {
    valid += Record(i % 3, 1 + i % 8, "Flow Tot", 21, 1 + i % 12, 1 + i % 31, i % 24, i % 60);
  }
  std::mt19937 random(20261207);
  constexpr int kInputs = 20000;
  for (int n = 0; n < kInputs; ++n) {
    std::string bytes;
    if (n % 2 == 0) {
      bytes.resize(random() % 400);
      for (char& b : bytes) b = static_cast<char>(random() % 4 == 0 ? 0xAA : random());
    } else {
      bytes = valid.substr(random() % 64, random() % valid.size());
      for (int flips = random() % 16; flips > 0; --flips) {
        if (!bytes.empty()) bytes[random() % bytes.size()] = static_cast<char>(random());
      }
    }
    Import im(bytes);
    im.ids.typed = n % 3 == 0 ? "1" : "";
    DownloadResult result = im.run(n % 3 == 0);
    ASSERT_TRUE(result == DownloadResult::kLogRead || result == DownloadResult::kNothingToRead)
        << "input " << n;
    ASSERT_GE(im.records.LastRow, 1);
    ASSERT_LE(im.records.LastRow, static_cast<int32_t>(bytes.size() / 32 + 1));
  }
}

}  // namespace
}  // namespace norvale
