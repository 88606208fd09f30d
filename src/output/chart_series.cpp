#include "output/chart_series.h"

#include <QDate>
#include <QDateTime>
#include <QTime>
#include <algorithm>
#include <charconv>
#include <cmath>

namespace norvale {
namespace {

// Reads a run of 1 to `maxDigits` digits at the front of `text`.
bool takeNumber(std::string_view& text, int maxDigits, int& number) {
  size_t digits = 0;
  while (digits < text.size() && digits < static_cast<size_t>(maxDigits) && text[digits] >= '0' &&
         text[digits] <= '9') {
    ++digits;
  }
  if (digits == 0) return false;
  std::from_chars(text.data(), text.data() + digits, number);
  text.remove_prefix(digits);
  return true;
}

bool takeChar(std::string_view& text, char c) {
  if (text.empty() || text.front() != c) return false;
  text.remove_prefix(1);
  return true;
}

// "h:mm:ss AM" or "hh:mm"; the 12-hour form has 12 AM as the hour after midnight.
std::optional<QTime> takeTime(std::string_view text) {
  int hour = 0;
  int minute = 0;
  int second = 0;
  if (!takeNumber(text, 2, hour) || !takeChar(text, ':') || !takeNumber(text, 2, minute)) {
    return std::nullopt;
  }
  if (takeChar(text, ':') && !takeNumber(text, 2, second)) return std::nullopt;
  if (text == " AM" || text == " PM") {
    if (hour < 1 || hour > 12) return std::nullopt;
    hour = hour % 12 + (text == " PM" ? 12 : 0);
  } else if (!text.empty()) {
    return std::nullopt;
  }
  QTime time(hour, minute, second);
  if (!time.isValid()) return std::nullopt;
  return time;
}

struct LogDateTime {
  QDate date;
  QTime time;
};

std::optional<LogDateTime> takeDateTime(std::string_view text) {
  int month = 0;
  int day = 0;
  int year = 0;
  if (!takeNumber(text, 2, month) || !takeChar(text, '/') || !takeNumber(text, 2, day) ||
      !takeChar(text, '/') || !takeNumber(text, 4, year)) {
    return std::nullopt;
  }
  const QDate date(year, month, day);
  if (!date.isValid()) return std::nullopt;
  if (text.empty()) return LogDateTime{date, QTime(0, 0)};
  if (!takeChar(text, ' ')) return std::nullopt;
  std::optional<QTime> time = takeTime(text);
  if (!time) return std::nullopt;
  return LogDateTime{date, *time};
}

// Local time to milliseconds since the epoch. Asking the system for every row costs a time zone
// look-up each (most of a 32,768-row chart's build), so a day whose UTC offset is the same at
// both ends is worked out from its midnight; a day with a clock change asks for every time.
class LocalTimeline {
 public:
  qint64 msecs(const LogDateTime& at) {
    if (at.date != day_) startDay(at.date);
    if (!steadyDay_) return QDateTime(at.date, at.time).toMSecsSinceEpoch();
    return dayStart_ + at.time.msecsSinceStartOfDay();
  }

 private:
  void startDay(QDate date) {
    day_ = date;
    const QDateTime midnight(date, QTime(0, 0));
    const QDateTime lastSecond(date, QTime(23, 59, 59));
    steadyDay_ =
        midnight.time() == QTime(0, 0) && midnight.offsetFromUtc() == lastSecond.offsetFromUtc();
    dayStart_ = midnight.toMSecsSinceEpoch();
  }

  QDate day_;
  bool steadyDay_ = false;
  qint64 dayStart_ = 0;
};

}  // namespace

std::optional<qint64> ParseLogTime(std::string_view text) {
  std::optional<LogDateTime> at = takeDateTime(text);
  if (!at) return std::nullopt;
  return LocalTimeline().msecs(*at);
}

std::optional<double> ParseLogValue(std::string_view text) {
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  double value = 0;
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || !std::isfinite(value)) {
    return std::nullopt;
  }
  return value;
}

void ValueRange::take(double value) {
  if (!any) {
    low = high = value;
    any = true;
    return;
  }
  low = std::min(low, value);
  high = std::max(high, value);
}

ChartData BuildChartData(const RecordTable& table) {
  ChartData data;
  for (int k = 1; k <= RecordTable::kChannels; ++k) {
    if (!table.ChannelUsed[k - 1]) continue;
    ChartLine line;
    line.channel = k;
    line.title = table.cell(1, k + 1);
    if (line.title.empty()) line.title = "Channel #" + std::to_string(k);
    line.total = table.ChannelIsTotal[k - 1];
    data.lines.push_back(std::move(line));
  }
  // LastRow keeps counting rows the table could not hold.
  const int lastRow = std::min<int64_t>(table.LastRow, RecordTable::kRows - 1);
  const qsizetype rows = std::max(lastRow - 1, 0);
  for (ChartLine& line : data.lines) line.points.reserve(rows);

  LocalTimeline timeline;
  for (int row = 2; row <= lastRow; ++row) {
    const std::optional<LogDateTime> at = takeDateTime(table.cell(row, 1));
    if (!at) continue;
    const double x = static_cast<double>(timeline.msecs(*at));
    bool any = false;
    for (ChartLine& line : data.lines) {
      const std::optional<double> value = ParseLogValue(table.cell(row, line.channel + 1));
      if (!value) continue;
      line.points.append(QPointF(x, *value));
      (line.total ? data.totals : data.values).take(*value);
      any = true;
    }
    if (!any) continue;
    if (data.time.any && x < data.time.high) data.timeOrdered = false;
    data.time.take(x);
  }
  return data;
}

}  // namespace norvale
