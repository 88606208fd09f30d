#pragma once

#include <QList>
#include <QPointF>
#include <QtGlobal>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "output/record_table.h"

namespace norvale {

// A date/time cell as milliseconds since the epoch, read as the machine's local time (the time
// axis shows local time). Two forms are stored:
//   "3/4/2021 1:30:00 PM"  a meter download; exactly midnight shows the date alone ("3/5/2021")
//   "03/04/2021 13:30"     a handheld import, 24-hour clock
// Nothing for any other text.
std::optional<qint64> ParseLogTime(std::string_view text);

// A value cell as written by NumberText (" 2.5", "-.25", " 1E+15"); nothing for an empty or
// unreadable cell or one that is not finite (" NaN", " Inf").
std::optional<double> ParseLogValue(std::string_view text);

// The values seen on one axis.
struct ValueRange {
  double low = 0;
  double high = 0;
  bool any = false;

  void take(double value);
};

// One line of the chart: a used channel.
struct ChartLine {
  int channel = 0;  // 1..8
  std::string title;
  bool total = false;  // a totaliser: drawn against the right-hand axis
  // x: milliseconds since the epoch, y: the value, in row order. A row whose cell is a gap
  // has no point, so the line joins its neighbours.
  QList<QPointF> points;
};

struct ChartData {
  std::vector<ChartLine> lines;  // the used channels, lowest first
  ValueRange time;
  ValueRange values;  // lines that are not totals
  ValueRange totals;
  bool timeOrdered = true;  // no row's time before the one above it: points can be searched

  bool hasPoints() const { return time.any; }
};

// The used channels of rows 2..LastRow, in one pass over the table. A row whose date/time
// cannot be read gives no point to any line.
ChartData BuildChartData(const RecordTable& table);

}  // namespace norvale
