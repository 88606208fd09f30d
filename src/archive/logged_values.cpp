#include "archive/logged_values.h"

#include <algorithm>

#include "archive/logged_time.h"
#include "text/number_text.h"

namespace norvale {

TableValues ValuesOfTable(const RecordTable& table, TableDates dates) {
  TableValues result;
  for (int k = 1; k <= RecordTable::kChannels; ++k) {
    if (table.ChannelUsed[k - 1]) result.channels.push_back({k, std::string(table.cell(1, k + 1))});
  }
  const int lastRow = std::min(table.LastRow, RecordTable::kRows - 1);
  result.values.reserve(static_cast<size_t>(std::max(lastRow - 1, 0)) * result.channels.size());
  for (int row = 2; row <= lastRow; ++row) {
    const std::string_view dateText = table.cell(row, 1);
    const std::optional<int64_t> at = dates == TableDates::Download
                                          ? LoggedAtOfGeneralDateText(dateText)
                                          : LoggedAtOfHandheldDateText(dateText);
    if (!at) {
      ++result.unreadableRows;
      continue;
    }
    for (const ChannelName& channel : result.channels) {
      const std::string_view text = table.cell(row, channel.channel + 1);
      if (text.empty()) continue;
      if (const std::optional<double> value = ReadNumberText(text)) {
        result.values.push_back({*at, channel.channel, *value});
      } else {
        ++result.unreadableValues;
      }
    }
  }
  return result;
}

int64_t KeepFirstOfEachKey(std::vector<LoggedValue>& values) {
  const auto keyOrder = [](const LoggedValue& a, const LoggedValue& b) {
    return a.loggedAt != b.loggedAt ? a.loggedAt < b.loggedAt : a.channel < b.channel;
  };
  std::stable_sort(values.begin(), values.end(), keyOrder);
  int64_t differing = 0;
  size_t kept = 0;
  for (size_t i = 0; i < values.size(); ++i) {
    if (kept > 0 && !keyOrder(values[kept - 1], values[i])) {
      if (values[i].value != values[kept - 1].value) ++differing;
      continue;
    }
    values[kept++] = values[i];
  }
  values.resize(kept);
  return differing;
}

}  // namespace norvale
