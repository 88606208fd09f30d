#include "output/csv_reader.h"

#include <algorithm>
#include <string>
#include <vector>

namespace norvale {
namespace {

constexpr std::string_view kTimeTitle = "Date / Time";

// The next line of `text`, without its CR LF or LF; `text` keeps what follows.
std::string_view takeLine(std::string_view& text) {
  const size_t end = text.find('\n');
  std::string_view line = text.substr(0, end);
  text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  return line;
}

// Fields are stored unquoted, so every comma separates two.
std::vector<std::string_view> splitFields(std::string_view line) {
  std::vector<std::string_view> fields;
  for (;;) {
    const size_t comma = line.find(',');
    fields.push_back(line.substr(0, comma));
    if (comma == std::string_view::npos) return fields;
    line.remove_prefix(comma + 1);
  }
}

}  // namespace

bool ReadLogText(std::string_view text, RecordTable& table) {
  const std::vector<std::string_view> titles = splitFields(takeLine(text));
  if (titles.front() != kTimeTitle) return false;
  table.setCell(1, 1, std::string(kTimeTitle));
  const int channels = std::min<int>(static_cast<int>(titles.size()) - 1, RecordTable::kChannels);
  for (int k = 1; k <= channels; ++k) {
    table.setCell(1, k + 1, std::string(titles[k]));
    table.ChannelUsed[k - 1] = true;
    table.ChannelIsTotal[k - 1] = titles[k].find("Tot") != std::string_view::npos;
  }
  table.LastRow = 1;
  while (!text.empty() && table.LastRow < RecordTable::kRows - 1) {
    const std::string_view line = takeLine(text);
    if (line.empty()) continue;
    const std::vector<std::string_view> fields = splitFields(line);
    const int row = ++table.LastRow;
    table.setCell(row, 1, std::string(fields.front()));
    const int values = std::min<int>(static_cast<int>(fields.size()) - 1, channels);
    for (int k = 1; k <= values; ++k) table.setCell(row, k + 1, std::string(fields[k]));
  }
  return true;
}

}  // namespace norvale
