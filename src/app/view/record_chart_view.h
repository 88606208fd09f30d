#pragma once

#include <QChartView>
#include <optional>

#include "chart/record_chart.h"

namespace norvale {

// The record chart with the mouse and keys a user expects of a time chart: the wheel zooms the
// time axis around the pointer, a drag pans it, a double-click shows the whole log again
// (so do "+", "-", the arrow keys and Home). Hovering reports the time under the pointer.
class RecordChartView : public QChartView {
  Q_OBJECT

 public:
  explicit RecordChartView(QWidget* parent = nullptr);

  RecordChart* recordChart() const { return chart_; }

 signals:
  // The pointer is over the plot area at `time` (milliseconds since the epoch).
  void pointerAt(double time);
  // The pointer left the plot area.
  void pointerLeft();

 protected:
  void wheelEvent(QWheelEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void leaveEvent(QEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  QPointF chartPoint(QPointF viewPoint) const;
  void zoomAround(double factor, std::optional<double> time);
  void panByFraction(double fraction);
  double timeSpan() const;

  RecordChart* chart_;
  std::optional<double> dragX_;  // where the last drag step ended, in view pixels
};

}  // namespace norvale
