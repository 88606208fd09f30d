#pragma once

#include <QChart>
#include <optional>
#include <vector>

#include "output/chart_series.h"

class QDateTimeAxis;
class QLineSeries;
class QValueAxis;

namespace norvale {

// The chart of the record table: one line per used channel against the logged date and time,
// totalisers against a value axis of their own on the right. It keeps the data it shows, for the
// pointer's readout.
class RecordChart : public QChart {
  Q_OBJECT

 public:
  explicit RecordChart(QGraphicsItem* parent = nullptr);

  // Replaces every line with those of `data` and shows all of it.
  void showData(ChartData data);
  const ChartData& data() const { return data_; }

  // The whole logged span, every value in view.
  void resetZoom();
  // Scales the time axis's span by `factor` (below 1 zooms in), `time` staying in place.
  void zoomTime(double factor, double time);
  // Moves the time axis by `milliseconds`, no further than the logged span.
  void panTime(double milliseconds);
  // The time (milliseconds since the epoch) under `position`, a point of the chart; nothing
  // outside the plot area or without data.
  std::optional<double> timeAt(QPointF position) const;

  // The time axis's ends, milliseconds since the epoch.
  struct Span {
    double low;
    double high;
  };
  Span shownTime() const;

  QDateTimeAxis* timeAxis() const { return time_; }
  QValueAxis* valueAxis() const { return values_; }
  QValueAxis* totalAxis() const { return totals_; }

 private:
  void setTimeRange(double low, double high);
  // Gives each line the points it shows at the present time span and plot width.
  void drawLines();

  ChartData data_;
  std::vector<QLineSeries*> lines_;  // data_.lines[i] is drawn by lines_[i]
  QDateTimeAxis* time_;
  QValueAxis* values_;
  QValueAxis* totals_;
};

}  // namespace norvale
