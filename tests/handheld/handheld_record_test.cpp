#include "handheld/handheld_record.h"

#include <gtest/gtest.h>

#include <string>

namespace norvale {
namespace {

// A log record with its date bytes: year and day BCD, the month plain binary.
std::string RecordOn(int yearBcd, int month, int dayBcd) {
  std::string record(kHandheldRecordSize, '\0');
  record[0] = '\xAA';
  record[1] = '\x55';
  record[22] = static_cast<char>(yearBcd);
  record[23] = static_cast<char>(month);
  record[24] = static_cast<char>(dayBcd);
  return record;
}

// Months 10 to 12 are the bytes 0A to 0C, which are no BCD: read as BCD they would give no date.
TEST(HandheldRecord, MonthIsBinaryInEveryMonthUpToItsLastDay) {
  const int lastDayBcd[12] = {0x31, 0x28, 0x31, 0x30, 0x31, 0x30,
                              0x31, 0x31, 0x30, 0x31, 0x30, 0x31};
  const int lastDay[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  for (int month = 1; month <= 12; ++month) {
    SCOPED_TRACE(month);
    EXPECT_EQ(DateOf(RecordOn(0x21, month, lastDayBcd[month - 1])),
              (LogDate{2021, month, lastDay[month - 1]}));
    EXPECT_EQ(DateOf(RecordOn(0x21, month, 0x01)), (LogDate{2021, month, 1}));
  }
  EXPECT_EQ(DateOf(RecordOn(0x21, 0x10, 0x01)), std::nullopt);  // month 16
  EXPECT_EQ(DateOf(RecordOn(0x21, 13, 0x01)), std::nullopt);
}

}  // namespace
}  // namespace norvale
