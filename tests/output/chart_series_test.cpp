#include "output/chart_series.h"

#include <gtest/gtest.h>

#include <QDateTime>
#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <string>

#include "output/chart_readout.h"
#include "output/chart_thinning.h"

namespace norvale {
namespace {

double local(int year, int month, int day, int hour, int minute, int second = 0) {
  return static_cast<double>(
      QDateTime(QDate(year, month, day), QTime(hour, minute, second)).toMSecsSinceEpoch());
}

TEST(ParseLogTime, ReadsBothStoredFormsWithMidnightAndTheTwelveOClockHours) {
  struct Case {
    const char* text;
    double expected;
  };
  for (const Case& c : {
           Case{"3/4/2021 12:15:00 AM", local(2021, 3, 4, 0, 15)},
           Case{"3/4/2021 12:30:00 PM", local(2021, 3, 4, 12, 30)},
           Case{"3/4/2021 1:30:05 PM", local(2021, 3, 4, 13, 30, 5)},
           Case{"12/31/2021 11:59:59 PM", local(2021, 12, 31, 23, 59, 59)},
           Case{"3/5/2021", local(2021, 3, 5, 0, 0)},  // midnight shows the date alone
           Case{"03/04/2021 00:15", local(2021, 3, 4, 0, 15)},
           Case{"03/04/2021 13:30", local(2021, 3, 4, 13, 30)},
       }) {
    std::optional<qint64> parsed = ParseLogTime(c.text);
    ASSERT_TRUE(parsed.has_value()) << c.text;
    EXPECT_EQ(static_cast<double>(*parsed), c.expected) << c.text;
  }
  for (const char* bad : {"", "Date / Time", "2/30/2021", "13/1/2021 1:00:00 AM",
                          "3/4/2021 0:15:00 AM", "3/4/2021 13:00:00 PM", "3/4/2021 24:00",
                          "3/4/2021 1:30:00 XM", "3/4/2021 1:30:00 PM ", "3/4/2021  1:30"}) {
    EXPECT_FALSE(ParseLogTime(bad).has_value()) << bad;
  }
}

TEST(ParseLogValue, ReadsNumberTextAndRefusesWhatIsNoNumber) {
  EXPECT_EQ(ParseLogValue(" 2.50000014901162"), 2.50000014901162);
  EXPECT_EQ(ParseLogValue(" 1000"), 1000.0);
  EXPECT_EQ(ParseLogValue("-.25"), -0.25);
  EXPECT_EQ(ParseLogValue(" 1.5E-05"), 1.5e-05);
  for (const char* bad : {"", " ", " abc", " 2.5x", " NaN", " Inf", "-Inf"}) {
    EXPECT_FALSE(ParseLogValue(bad).has_value()) << '"' << bad << '"';
  }
}

// Channel 1 a flow, channel 2 not used (its cells still hold values), channel 3 a totaliser.
RecordTable KnownTable() {
  RecordTable table;
  table.setCell(1, 1, "Date / Time");
  table.setCell(1, 2, "Flow");
  table.setCell(1, 4, "Fwd Tot");
  table.ChannelUsed = {true, false, true};
  table.ChannelIsTotal[2] = true;
  const char* rows[][4] = {
      {"3/4/2021 11:45:00 PM", " 2.5", " 9", " 1000"},
      {"3/5/2021", "", " 9", " 1001"},  // a gap in the flow
      {"3/5/2021 12:15:00 AM", " abc", " 9", " 1002"},
      {"not a time", " 7", " 9", " 5000"},  // no point at all
      {"3/5/2021 12:30:00 PM", "-.5", " 9", " NaN"},
  };
  int row = 2;
  for (const auto& cells : rows) {
    for (int column = 1; column <= 4; ++column) table.setCell(row, column, cells[column - 1]);
    ++row;
  }
  table.LastRow = row - 1;
  return table;
}

TEST(BuildChartData, OneLinePerUsedChannelWithItsValuesGapsAndAxis) {
  const ChartData data = BuildChartData(KnownTable());
  ASSERT_EQ(data.lines.size(), 2u);
  const ChartLine& flow = data.lines[0];
  const ChartLine& total = data.lines[1];
  EXPECT_EQ(flow.channel, 1);
  EXPECT_EQ(flow.title, "Flow");
  EXPECT_FALSE(flow.total);
  EXPECT_EQ(total.channel, 3);
  EXPECT_EQ(total.title, "Fwd Tot");
  EXPECT_TRUE(total.total);

  EXPECT_EQ(flow.points,
            (QList<QPointF>{{local(2021, 3, 4, 23, 45), 2.5}, {local(2021, 3, 5, 12, 30), -0.5}}));
  EXPECT_EQ(total.points, (QList<QPointF>{{local(2021, 3, 4, 23, 45), 1000},
                                          {local(2021, 3, 5, 0, 0), 1001},
                                          {local(2021, 3, 5, 0, 15), 1002}}));
  EXPECT_EQ(data.values.low, -0.5);
  EXPECT_EQ(data.values.high, 2.5);
  EXPECT_EQ(data.totals.low, 1000);
  EXPECT_EQ(data.totals.high, 1002);
  EXPECT_EQ(data.time.low, local(2021, 3, 4, 23, 45));
  EXPECT_EQ(data.time.high, local(2021, 3, 5, 12, 30));
  EXPECT_TRUE(data.timeOrdered);

  RecordTable empty;
  empty.ChannelUsed[0] = true;
  empty.LastRow = 1;
  EXPECT_FALSE(BuildChartData(empty).hasPoints());
}

// The build works each day out from its midnight; a day with a clock change must not.
TEST(BuildChartData, TimesOnTheDayTheClocksGoForwardAreAnHourCloser) {
  if (!std::filesystem::exists("/usr/share/zoneinfo/America/New_York")) {
    GTEST_SKIP() << "no time zone data";
  }
  const char* oldZone = std::getenv("TZ");
  const std::string restore = oldZone ? oldZone : "";
  setenv("TZ", "America/New_York", 1);
  tzset();
  RecordTable table;
  table.ChannelUsed[0] = true;
  table.setCell(2, 1, "3/14/2021 1:30:00 AM");
  table.setCell(3, 1, "3/14/2021 3:30:00 AM");
  table.setCell(4, 1, "3/15/2021 1:30:00 AM");
  for (int row = 2; row <= 4; ++row) table.setCell(row, 2, " 1");
  table.LastRow = 4;
  const QList<QPointF> points = BuildChartData(table).lines.at(0).points;
  oldZone ? setenv("TZ", restore.c_str(), 1) : unsetenv("TZ");
  tzset();
  ASSERT_EQ(points.size(), 3);
  EXPECT_EQ(points[1].x() - points[0].x(), 3600e3);
  EXPECT_EQ(points[2].x() - points[0].x(), 23 * 3600e3);
}

TEST(ChartReadout, NearestLoggedTimeWithEachLinesValueOrADash) {
  const ChartData data = BuildChartData(KnownTable());
  // Nearer 3/5 00:00 than 3/4 23:45: the flow has a gap there.
  EXPECT_EQ(ChartReadout(data, local(2021, 3, 4, 23, 55)),
            "3/5/2021 12:00:00 AM   Flow -   Fwd Tot 1001");
  EXPECT_EQ(ChartReadout(data, local(2021, 3, 1, 0, 0)),
            "3/4/2021 11:45:00 PM   Flow 2.5   Fwd Tot 1000");
  EXPECT_EQ(ChartReadout(data, local(2021, 3, 9, 0, 0)),
            "3/5/2021 12:30:00 PM   Flow -.5   Fwd Tot -");
  EXPECT_EQ(ChartReadout(ChartData{}, 0), "");

  ChartData meterFloat;
  meterFloat.lines.push_back({1, "Flow", false, {{local(2021, 3, 4, 1, 0), 2.50000014901162}}});
  EXPECT_EQ(ChartReadout(meterFloat, 0), "3/4/2021 1:00:00 AM   Flow 2.5");
}

TEST(ThinForDrawing, KeepsEveryPointInViewWhileThereAreFewToAColumn) {
  QList<QPointF> points;
  for (int i = 0; i < 10; ++i) points.append({double(i), double(i * i)});
  // x 3..6 in view; 2 and 7 carry the line to the edges.
  EXPECT_EQ(ThinForDrawing(points, 3, 6, 100), points.mid(2, 6));
  EXPECT_EQ(ThinForDrawing(points, -5, 50, 100), points);
  EXPECT_TRUE(ThinForDrawing({}, 0, 1, 100).isEmpty());
}

TEST(ThinForDrawing, ManyPointsKeepEachColumnsEndsAndExtremesInOrder) {
  QList<QPointF> points;
  for (int i = 0; i < 100000; ++i) points.append({double(i), (i * 7919) % 1000 / 10.0});
  points[54321].setY(-500);  // one short spike down, one up
  points[77777].setY(900);
  const int columns = 200;
  // Column edges between whole numbers, so no point sits on one.
  const double low = 1000.5;
  const double high = 99000.5;
  const QList<QPointF> thin = ThinForDrawing(points, low, high, columns);

  EXPECT_LE(thin.size(), 4 * columns + 2 + 4 * 2);  // plus the edge runs outside the view
  EXPECT_GT(thin.size(), 2 * columns);
  EXPECT_TRUE(std::is_sorted(thin.begin(), thin.end(),
                             [](const QPointF& a, const QPointF& b) { return a.x() < b.x(); }));
  EXPECT_EQ(thin.front(), points[1000]);
  EXPECT_EQ(thin.back(), points[99001]);
  EXPECT_TRUE(thin.contains(points[54321]));
  EXPECT_TRUE(thin.contains(points[77777]));
  // Each column still spans the values it had: its lowest and highest survive.
  const double perColumn = (high - low) / columns;
  for (int column : {0, 57, 108, 199}) {
    const double from = low + column * perColumn;
    double lowest = 1e9, highest = -1e9, thinLow = 1e9, thinHigh = -1e9;
    for (const QPointF& p : points) {
      if (p.x() >= from && p.x() < from + perColumn) {
        lowest = std::min(lowest, p.y());
        highest = std::max(highest, p.y());
      }
    }
    for (const QPointF& p : thin) {
      if (p.x() >= from && p.x() < from + perColumn) {
        thinLow = std::min(thinLow, p.y());
        thinHigh = std::max(thinHigh, p.y());
      }
    }
    EXPECT_EQ(thinLow, lowest) << column;
    EXPECT_EQ(thinHigh, highest) << column;
  }
}

}  // namespace
}  // namespace norvale
