#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "output/record_table.h"

namespace norvale {

// One value of the log: channel 1..8 at a logged time (LoggedAtOf).
struct LoggedValue {
  int64_t loggedAt = 0;
  int channel = 0;
  double value = 0;
  friend bool operator==(const LoggedValue&, const LoggedValue&) = default;
};

// A used channel and its title.
struct ChannelName {
  int channel = 0;
  std::string name;
  friend bool operator==(const ChannelName&, const ChannelName&) = default;
};

// A logged time with each channel's value, where it has one (index k - 1 for channel k).
struct LoggedRow {
  int64_t loggedAt = 0;
  std::array<std::optional<double>, RecordTable::kChannels> values;
};

// Which date text a filled table carries in column 1.
enum class TableDates {
  Download,  // GeneralDateText: "3/6/2021 1:30:00 PM"
  Handheld,  // HandheldDateText: "03/06/2021 13:30"
};

struct TableValues {
  std::vector<ChannelName> channels;  // the used channels, lowest first, with their row 1 titles
  std::vector<LoggedValue> values;    // row by row as the table holds them, channels in order
  int unreadableRows = 0;    // data rows whose date text names no time: their values are left out
  int unreadableValues = 0;  // cells of used channels that hold no number text
};

// The values of a filled table: every non-empty cell of a used channel in rows 2 to LastRow.
// Channels the table does not use are left out, as the CSV file leaves them out.
TableValues ValuesOfTable(const RecordTable& table, TableDates dates);

// Sorts the values by time and channel and keeps, of values with the same time and channel, the
// first as given. Returns how many of the dropped ones had another value than the one kept.
int64_t KeepFirstOfEachKey(std::vector<LoggedValue>& values);

}  // namespace norvale
