#include "download/record_decoder.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <random>

namespace norvale {
namespace {

std::string bytes(std::initializer_list<int> values) {
  std::string text;
  for (int v : values) text += static_cast<char>(v);
  return text;
}

int bcd(int value) { return value / 10 * 16 + value % 10; }

// A record the way the meter stores it; year code y is the 5-bit field of the record.
std::string record(int channel, int month, int day, int year, int hour, int minute,
                   std::initializer_list<int> value = {0x3F, 0x80, 0x00, 0x00}) {
  std::string text = bytes({channel << 4 | month, (year >> 3 & 3) << 6 | bcd(day),
                            (year >> 1 & 3) << 6 | bcd(hour), (year & 1) << 7 | bcd(minute)});
  return text + bytes(value);
}

// 2021 is year code 1 in the meter's low-digit form.
std::string record2021(int channel, int month, int day, int hour, int minute,
                       std::initializer_list<int> value = {0x3F, 0x80, 0x00, 0x00}) {
  return record(channel, month, day, 1, hour, minute, value);
}

class DecodeLogRecordsTest : public ::testing::Test {
 protected:
  DecodeLogRecordsTest() { table.LastRow = 1; }

  void decode(const std::string& text) { ASSERT_TRUE(DecodeLogRecords(text, table, previous)); }

  RecordTable table;
  PreviousStamp previous;
};

TEST_F(DecodeLogRecordsTest, WorkedRecordFillsDateNumberAndValue) {
  decode(bytes({0x1B, 0x03, 0x21, 0x30, 0x41, 0x48, 0x00, 0x00}));
  EXPECT_EQ(table.LastRow, 2);
  EXPECT_EQ(table.cell(2, 0), "1");
  EXPECT_EQ(table.cell(2, 1), "11/3/2020 9:30:00 PM");
  EXPECT_EQ(table.cell(2, 2), " 12.5000007450581");
  EXPECT_TRUE(table.ChannelUsed[0]);
  EXPECT_EQ(previous.minuteText, "30");
  EXPECT_EQ(previous.hourText, "21");
  EXPECT_EQ(previous.date, (LogDate{2020, 11, 3}));
  EXPECT_EQ(previous.time, (LogTime{21, 30, 0}));
}

TEST_F(DecodeLogRecordsTest, MidnightBelongsToTheNextDayAndShowsTheDateAlone) {
  decode(bytes({0x1B, 0xC3, 0x00, 0x80, 0x3F, 0x80, 0x00, 0x00}));
  EXPECT_EQ(table.cell(2, 1), "11/4/2019");
  EXPECT_EQ(table.cell(2, 2), " 1.00000005960465");
}

TEST_F(DecodeLogRecordsTest, MidnightCrossesMonthsYearsAndLeapDays) {
  struct Case {
    std::string record;
    const char* date;
  };
  const Case cases[] = {{record2021(1, 12, 31, 0, 0), "1/1/2022"},
                        {record(1, 2, 28, 4, 0, 0), "2/29/2024"},
                        {record(1, 2, 29, 4, 0, 0), "3/1/2024"},
                        {record2021(1, 2, 28, 0, 0), "3/1/2021"}};
  for (const Case& c : cases) {
    table.LastRow = 1;
    previous.clear();
    decode(c.record);
    EXPECT_EQ(table.cell(2, 1), c.date);
  }
}

TEST_F(DecodeLogRecordsTest, YearComesFromTheFiveBitField) {
  struct Case {
    int code;
    const char* date;
  };
  // Codes 0x18..0x1F need b2 above 192; the rest count from 2020 by their low digit.
  for (Case c : {Case{0x18, "6/5/2018 10:15:00 AM"}, Case{0x19, "6/5/2019 10:15:00 AM"},
                 Case{0x00, "6/5/2020 10:15:00 AM"}, Case{0x01, "6/5/2021 10:15:00 AM"},
                 Case{0x11, "6/5/2021 10:15:00 AM"}, Case{0x09, "6/5/2029 10:15:00 AM"},
                 Case{0x10, "6/5/2020 10:15:00 AM"}}) {
    previous.clear();
    table.LastRow = 1;
    decode(record(1, 6, 5, c.code, 10, 15));
    EXPECT_EQ(table.cell(2, 1), c.date) << "year code " << c.code;
  }
}

TEST_F(DecodeLogRecordsTest, LeapDayExistsOnlyInLeapYears) {
  decode(record(1, 2, 29, 4, 8, 0));  // 2024
  EXPECT_EQ(table.cell(2, 1), "2/29/2024 8:00:00 AM");
  decode(record2021(1, 2, 29, 9, 0));
  EXPECT_EQ(table.LastRow, 2);
}

TEST_F(DecodeLogRecordsTest, SkipsRecordsWhoseStampCannotExist) {
  const std::string value = bytes({0x3F, 0x80, 0x00, 0x00});
  struct Case {
    const char* what;
    std::string record;
  };
  const Case cases[] = {
      {"month 0", bytes({0x10, 0x01, 0x00, 0x00}) + value},
      {"month 13", record2021(1, 13, 1, 10, 0)},
      {"day 0", record2021(1, 6, 0, 10, 0)},
      {"April 31", record2021(1, 4, 31, 10, 0)},
      {"day 32", record2021(1, 1, 32, 10, 0)},
      {"day digit A", bytes({0x16, 0x1A, 0x10, 0x80}) + value},
      {"hour 24", record2021(1, 6, 5, 24, 0)},
      {"hour digit A", bytes({0x16, 0x05, 0x0A, 0x80}) + value},
      {"minute 60", record2021(1, 6, 5, 10, 60)},
      {"minute digit A", bytes({0x16, 0x05, 0x10, 0xDA}) + value},
      // Year code 0x1A with b2 above 192, and 0x0A below it.
      {"two-digit year A", bytes({0x16, 0xC5, 0x40, 0x00}) + value},
      {"low year digit A", bytes({0x16, 0x45, 0x50, 0x00}) + value},
  };
  for (const Case& c : cases) {
    table.ChannelUsed = {};
    decode(c.record);
    EXPECT_EQ(table.LastRow, 1) << c.what;
    EXPECT_EQ(table.highestStoredRow(), 0) << c.what;
    EXPECT_TRUE(table.ChannelUsed[0]) << c.what << ": the channel still counts as used";
  }
}

TEST_F(DecodeLogRecordsTest, ErasedMemoryIsSkippedWithoutMarkingAChannel) {
  decode(std::string(8, '\xFF'));
  EXPECT_EQ(table.LastRow, 1);
  EXPECT_EQ(table.ChannelUsed, (std::array<bool, 8>{}));
  // Any erased stamp byte invalidates the record; a real channel nibble still marks it.
  decode(bytes({0x3B, 0x03, 0x21, 0xFF, 0x41, 0x48, 0x00, 0x00}));
  EXPECT_EQ(table.LastRow, 1);
  EXPECT_TRUE(table.ChannelUsed[2]);
}

TEST_F(DecodeLogRecordsTest, SameHourAndMinuteShareARow) {
  decode(record2021(1, 3, 6, 10, 0) + record2021(2, 3, 6, 10, 0) + record2021(3, 3, 6, 10, 0) +
         record2021(1, 3, 6, 10, 15));
  EXPECT_EQ(table.LastRow, 3);
  for (int column : {2, 3, 4}) EXPECT_EQ(table.cell(2, column), " 1.00000005960465");
  EXPECT_EQ(table.cell(2, 0), "1");
  EXPECT_EQ(table.cell(2, 1), "3/6/2021 10:00:00 AM");
  EXPECT_EQ(table.cell(3, 0), "2");
  EXPECT_EQ(table.cell(3, 1), "3/6/2021 10:15:00 AM");
  EXPECT_EQ(table.cell(3, 2), " 1.00000005960465");
  EXPECT_EQ(table.cell(3, 3), "");
}

TEST_F(DecodeLogRecordsTest, SameMinuteInAnotherHourStartsARow) {
  decode(record2021(1, 3, 6, 10, 15) + record2021(1, 3, 6, 11, 15));
  EXPECT_EQ(table.LastRow, 3);
}

TEST_F(DecodeLogRecordsTest, SameMinuteOnTheNextDayOverwritesTheRow) {
  decode(record2021(1, 3, 6, 10, 0, {0x41, 0x48, 0x00, 0x00}) +
         record2021(1, 3, 7, 10, 0, {0xC0, 0x20, 0x00, 0x00}));
  EXPECT_EQ(table.LastRow, 2);
  EXPECT_EQ(table.cell(2, 1), "3/7/2021 10:00:00 AM");
  EXPECT_EQ(table.cell(2, 2), "-2.50000014901162");
}

TEST_F(DecodeLogRecordsTest, TotaliserValuesAreCutDownToWholeNumbers) {
  table.ChannelIsTotal[0] = true;
  decode(record2021(1, 3, 6, 10, 0, {0xC0, 0x20, 0x00, 0x00}) +
         record2021(2, 3, 6, 10, 0, {0xC0, 0x20, 0x00, 0x00}));
  EXPECT_EQ(table.cell(2, 2), "-3");
  EXPECT_EQ(table.cell(2, 3), "-2.50000014901162");
  decode(record2021(1, 3, 6, 10, 1, {0x40, 0x20, 0x00, 0x00}));
  EXPECT_EQ(table.cell(3, 2), " 2");
}

TEST_F(DecodeLogRecordsTest, StampCarriesAcrossBlocksUntilCleared) {
  decode(record2021(1, 3, 6, 10, 0));
  decode(record2021(2, 3, 6, 10, 0));
  EXPECT_EQ(table.LastRow, 2);
  EXPECT_EQ(table.cell(2, 3), " 1.00000005960465");
  previous.clear();
  EXPECT_TRUE(previous.empty());
  decode(record2021(3, 3, 6, 10, 0));
  EXPECT_EQ(table.LastRow, 3);
}

TEST_F(DecodeLogRecordsTest, ChannelOutsideOneToEightGetsARowButNoValue) {
  decode(record2021(0, 3, 6, 10, 0) + record2021(9, 3, 6, 10, 1));
  EXPECT_EQ(table.LastRow, 3);
  EXPECT_EQ(table.cell(3, 1), "3/6/2021 10:01:00 AM");
  for (int column = 2; column < RecordTable::kColumns; ++column) {
    EXPECT_EQ(table.cell(2, column), "");
    EXPECT_EQ(table.cell(3, column), "");
  }
  EXPECT_EQ(table.ChannelUsed, (std::array<bool, 8>{}));
}

TEST_F(DecodeLogRecordsTest, ShortLastGroupMarksItsChannelButMakesNoRow) {
  decode(record2021(1, 3, 6, 10, 0) + record2021(2, 3, 6, 10, 1).substr(0, 7));
  EXPECT_EQ(table.LastRow, 2);
  EXPECT_TRUE(table.ChannelUsed[1]);
  EXPECT_EQ(table.cell(2, 3), "");
}

TEST_F(DecodeLogRecordsTest, RowsPastTheTableAreCountedButNotStored) {
  table.LastRow = RecordTable::kRows - 2;
  decode(record2021(1, 3, 6, 10, 0) + record2021(1, 3, 6, 10, 1));
  EXPECT_EQ(table.LastRow, RecordTable::kRows);
  EXPECT_EQ(table.cell(RecordTable::kRows - 1, 0), "65533");
  EXPECT_EQ(table.highestStoredRow(), RecordTable::kRows - 1);
}

TEST_F(DecodeLogRecordsTest, EmptyTextChangesNothing) {
  decode("");
  EXPECT_EQ(table.LastRow, 1);
  EXPECT_TRUE(previous.empty());
}

// Whatever the meter's memory holds, every row counted gets its record number and date.
TEST_F(DecodeLogRecordsTest, ArbitraryBytesStillGiveWholeRows) {
  std::mt19937 random(11);
  std::string text(64 * 1024 + 5, '\0');
  for (char& c : text) c = static_cast<char>(random());
  // Give a share of the stamps sensible BCD fields so that many records are accepted.
  for (size_t at = 0; at + 4 <= text.size(); at += 16) {
    text[at + 1] = static_cast<char>((text[at + 1] & 0xC0) | bcd(random() % 28 + 1));
    text[at + 2] = static_cast<char>((text[at + 2] & 0xC0) | bcd(random() % 24));
    text[at + 3] = static_cast<char>((text[at + 3] & 0x80) | bcd(random() % 60));
  }
  for (size_t at = 0; at < text.size(); at += 256) decode(text.substr(at, 256));
  ASSERT_GT(table.LastRow, 100);
  for (int row = 2; row <= table.LastRow; ++row) {
    ASSERT_EQ(table.cell(row, 0), std::to_string(row - 1));
    ASSERT_FALSE(table.cell(row, 1).empty()) << row;
  }
}

}  // namespace
}  // namespace norvale
