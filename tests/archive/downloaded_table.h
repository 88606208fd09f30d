#pragma once

// Record tables as a download leaves them, for the archive's tests.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <string_view>

#include "archive/logged_time.h"
#include "download/record_decoder.h"
#include "output/record_table.h"
#include "records/table_layout.h"

namespace norvale::testing {

inline int bcd(int value) { return value / 10 * 16 + value % 10; }

// A log record as the meter stores it (see record_decoder.h). Year codes 0..9 stand for 2020 to
// 2029, 0x18 and 0x19 for 2018 and 2019.
inline std::string meterRecord(int channel, const LogDate& date, int hour, int minute,
                               float value) {
  const int y = date.year >= 2020 ? date.year - 2020 : 0x18 + (date.year - 2018);
  uint32_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  const int bytes[8] = {channel << 4 | date.month,         (y >> 3 & 3) << 6 | bcd(date.day),
                        (y >> 1 & 3) << 6 | bcd(hour),     (y & 1) << 7 | bcd(minute),
                        static_cast<int>(bits >> 24),      static_cast<int>(bits >> 16 & 255),
                        static_cast<int>(bits >> 8 & 255), static_cast<int>(bits & 255)};
  std::string text;
  for (int b : bytes) text += static_cast<char>(b);
  return text;
}

// A table as a download leaves it: named channels (one a totaliser), a channel that logs
// without a name, and minutes with random channels and values, the clock now and then set back.
inline RecordTable downloadedTable(uint32_t seed, int minutes = 3000, bool clockSetBack = true) {
  std::mt19937 random(seed);
  RecordTable table;
  StartTitleRow(table, TitleEmphasis::TitlesOnly);
  const char* names[RecordTable::kChannels] = {"Flow",     "",     "Level", "Not Used",
                                               "Flow Tot", "Temp", "",      "Velocity"};
  for (int k = 1; k <= RecordTable::kChannels; ++k) {
    const std::string name = names[k - 1];
    if (name.empty() || name == "Not Used") continue;
    table.ChannelUsed[k - 1] = true;
    table.ChannelIsTotal[k - 1] = name.find("Tot") != std::string::npos;
    WriteChannelTitle(table, k, name);
  }
  const int logging[] = {1, 3, 5, 6, 7, 8};  // 7 logs without a name
  std::uniform_int_distribution<int> step(1, 1500);
  std::uniform_int_distribution<int> percent(0, 99);
  std::uniform_int_distribution<uint32_t> bits;
  int64_t minute = 0;
  LogDate start{2019, 12, 30};
  std::string log;
  for (int m = 0; m < minutes; ++m) {
    minute += clockSetBack && percent(random) < 3 ? -step(random) : step(random);
    LoggedStamp at = StampOf(LoggedAtOf(start, {}) + minute * 60);
    for (int channel : logging) {
      if (percent(random) < 20) continue;
      uint32_t pattern = bits(random);
      float value;
      std::memcpy(&value, &pattern, sizeof value);
      if (!std::isfinite(value)) value = -0.25f;
      // The meter stamps the end of a day with that day's date.
      LogDate date = at.date;
      if (at.time.hour == 0 && at.time.minute == 0) date = StampOf(LoggedAtOf(date, {}) - 1).date;
      log += meterRecord(channel, date, at.time.hour, at.time.minute, value);
    }
  }
  PreviousStamp previous;
  DecodeLogRecords(log, table, previous);
  return table;
}

inline std::string fileText(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  std::ostringstream text;
  text << file.rdbuf();
  return text.str();
}

// Line by line, so that a failure shows the line that differs rather than two whole files.
inline void expectSameLines(std::string_view actual, std::string_view expected) {
  const auto takeLine = [](std::string_view& text) {
    const size_t end = std::min(text.find('\n'), text.size() - 1);
    const std::string_view line = text.substr(0, end + 1);
    text.remove_prefix(line.size());
    return line;
  };
  for (int line = 1; !actual.empty() || !expected.empty(); ++line) {
    ASSERT_EQ(takeLine(actual), takeLine(expected)) << "line " << line;
  }
}

}  // namespace norvale::testing
