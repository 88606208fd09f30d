#include "archive/export_lines.h"

#include "archive/logged_time.h"
#include "records/log_date.h"
#include "text/number_text.h"

namespace norvale {

std::string CsvTitleLine(const std::vector<ChannelName>& channels) {
  std::string line = "Date / Time";
  for (const ChannelName& channel : channels) {
    line += ',';
    line += channel.name;
  }
  line += "\r\n";
  return line;
}

void AppendCsvLine(std::string& out, const LoggedRow& row,
                   const std::vector<ChannelName>& channels) {
  const LoggedStamp stamp = StampOf(row.loggedAt);
  out += GeneralDateText(stamp.date, stamp.time);
  for (const ChannelName& channel : channels) {
    out += ',';
    if (channel.channel < 1 || channel.channel > RecordTable::kChannels) continue;
    if (const std::optional<double>& value = row.values[channel.channel - 1]) {
      char text[kNumberTextRoom];
      out.append(text, PutNumberText(text, *value));
    }
  }
  out += "\r\n";
}

}  // namespace norvale
