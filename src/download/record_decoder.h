#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "output/record_table.h"
#include "records/log_date.h"

namespace norvale {

// The minute and hour texts, date and time of the last record taken, so that one logged
// minute split across two blocks stays in one row. Empty at the start of every download.
struct PreviousStamp {
  std::string minuteText;
  std::string hourText;
  std::optional<LogDate> date;
  std::optional<LogTime> time;

  void clear() { *this = PreviousStamp{}; }
  bool empty() const { return minuteText.empty() && hourText.empty() && !date && !time; }
};

// Log record, 8 bytes:
//
//   b1  cccc mmmm   channel 1..8, month 1..12 (binary)
//   b2  YY dddddd   year bits 4,3; day as two BCD digits
//   b3  YY hhhhhh   year bits 2,1; hour as two BCD digits
//   b4  Y mmmmmmm   year bit 0;    minute as two BCD digits
//   b5..b8          value, DecodeMeterFloat, most significant byte first
//
// Year: 2000 + the two digits of Y when b2 > 192 (Y = 0x18 -> 2018), else 2020 + its low digit.
//
// Decodes every 8-byte record of the text into the rows of the table: records of one logged
// hour and minute share a row (the date alone never starts one), column 1 gets the U.S.
// general date text, column 0 the record number LastRow - 1, column n + 1 channel n's value
// as number text (totaliser channels cut to whole numbers). Records with erased bytes (255),
// BCD digits above 9, or a date or time that does not exist are skipped, but their channel
// still counts as used. A time of 00:00 belongs to the next day. Always returns true.
bool DecodeLogRecords(std::string_view text, RecordTable& table, PreviousStamp& previous);

}  // namespace norvale
