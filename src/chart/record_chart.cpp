#include "chart/record_chart.h"

#include <QDateTime>
#include <QDateTimeAxis>
#include <QGraphicsLayout>
#include <QLineSeries>
#include <QValueAxis>
#include <algorithm>
#include <cmath>

#include "output/chart_thinning.h"
#include "text/byte_text.h"

namespace norvale {
namespace {

constexpr double kMinuteMs = 60'000;
// Closer than this the axis labels would repeat one minute.
constexpr double kNarrowestSpanMs = 5 * kMinuteMs;
// Pixel columns to thin for before the chart is first laid out.
constexpr int kUnknownPlotWidth = 2000;

// Room around the values, and a span for a single value.
void setValueRange(QValueAxis* axis, const ValueRange& range) {
  double low = range.low;
  double high = range.high;
  const double pad = high > low ? (high - low) * 0.05 : std::max(std::abs(low) * 0.1, 1.0);
  axis->setRange(low - pad, high + pad);
  axis->applyNiceNumbers();
}

}  // namespace

RecordChart::RecordChart(QGraphicsItem* parent)
    : QChart(parent), time_(new QDateTimeAxis), values_(new QValueAxis), totals_(new QValueAxis) {
  time_->setFormat(QStringLiteral("M/d/yy hh:mm"));
  time_->setTitleText(QStringLiteral("Date / Time"));
  values_->setTitleText(QStringLiteral("Value"));
  totals_->setTitleText(QStringLiteral("Total"));
  // One grid is enough: the left axis draws it.
  totals_->setGridLineVisible(false);
  addAxis(time_, Qt::AlignBottom);
  addAxis(values_, Qt::AlignLeft);
  addAxis(totals_, Qt::AlignRight);
  legend()->setAlignment(Qt::AlignBottom);
  setBackgroundRoundness(0);
  layout()->setContentsMargins(0, 0, 0, 0);
  setMargins(QMargins(4, 4, 4, 4));
  connect(time_, &QDateTimeAxis::rangeChanged, this, &RecordChart::drawLines);
  connect(this, &QChart::plotAreaChanged, this, &RecordChart::drawLines);
  showData({});
}

// The lines go in empty and are filled last, once the axes have their ranges: each fill then
// lays its line out once, and adding or attaching an empty line costs nothing.
void RecordChart::showData(ChartData data) {
  lines_.clear();
  removeAllSeries();
  data_ = std::move(data);
  std::vector<QLineSeries*> lines;
  bool anyTotal = false;
  for (const ChartLine& line : data_.lines) {
    auto* series = new QLineSeries;
    series->setName(FromByteText(line.title));
    addSeries(series);
    series->attachAxis(time_);
    series->attachAxis(line.total ? totals_ : values_);
    anyTotal = anyTotal || line.total;
    lines.push_back(series);
  }
  const bool any = data_.hasPoints();
  time_->setVisible(any);
  values_->setVisible(any && data_.values.any);
  totals_->setVisible(any && anyTotal);
  legend()->setVisible(!data_.lines.empty());
  setTitle(any ? QString() : QStringLiteral("No records to chart"));
  resetZoom();
  lines_ = std::move(lines);
  drawLines();
}

// Times that go back (a meter clock set back) leave the points unordered: all of them are drawn.
void RecordChart::drawLines() {
  if (lines_.size() != data_.lines.size()) return;  // while showData sets the lines up
  const auto [low, high] = shownTime();
  const int width = static_cast<int>(plotArea().width());
  const int columns = width > 0 ? width : kUnknownPlotWidth;
  for (size_t i = 0; i < lines_.size(); ++i) {
    const QList<QPointF>& points = data_.lines[i].points;
    lines_[i]->replace(data_.timeOrdered ? ThinForDrawing(points, low, high, columns) : points);
  }
}

void RecordChart::resetZoom() {
  if (!data_.hasPoints()) return;
  setTimeRange(data_.time.low, data_.time.high);
  if (data_.values.any) setValueRange(values_, data_.values);
  if (data_.totals.any) setValueRange(totals_, data_.totals);
}

void RecordChart::setTimeRange(double low, double high) {
  if (high - low < kNarrowestSpanMs) {
    const double middle = (low + high) / 2;
    low = middle - kNarrowestSpanMs / 2;
    high = middle + kNarrowestSpanMs / 2;
  }
  time_->setRange(QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(std::floor(low))),
                  QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(std::ceil(high))));
}

RecordChart::Span RecordChart::shownTime() const {
  return {static_cast<double>(time_->min().toMSecsSinceEpoch()),
          static_cast<double>(time_->max().toMSecsSinceEpoch())};
}

void RecordChart::zoomTime(double factor, double time) {
  if (!data_.hasPoints() || factor <= 0) return;
  const auto [low, high] = shownTime();
  double newLow = time - (time - low) * factor;
  double newHigh = time + (high - time) * factor;
  // Out no further than the whole log.
  newLow = std::max(newLow, std::min(data_.time.low, low));
  newHigh = std::min(newHigh, std::max(data_.time.high, high));
  setTimeRange(newLow, newHigh);
}

void RecordChart::panTime(double milliseconds) {
  if (!data_.hasPoints()) return;
  const auto [low, high] = shownTime();
  const double span = high - low;
  double newLow = low + milliseconds;
  newLow = std::min(newLow, std::max(data_.time.high - span, low));
  newLow = std::max(newLow, std::min(data_.time.low, low));
  setTimeRange(newLow, newLow + span);
}

std::optional<double> RecordChart::timeAt(QPointF position) const {
  const QRectF area = plotArea();
  if (!data_.hasPoints() || !area.contains(position) || area.width() <= 0) return std::nullopt;
  const auto [low, high] = shownTime();
  return low + (position.x() - area.left()) / area.width() * (high - low);
}

}  // namespace norvale
