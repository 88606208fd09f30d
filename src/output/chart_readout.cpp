#include "output/chart_readout.h"

#include <QDateTime>
#include <algorithm>
#include <charconv>
#include <cmath>
#include <optional>

#include "text/number_text.h"

namespace norvale {
namespace {

// The point of `line` nearest `time`, or none for a line without points.
std::optional<QPointF> nearestPoint(const ChartLine& line, double time, bool ordered) {
  const QList<QPointF>& points = line.points;
  if (points.isEmpty()) return std::nullopt;
  auto nearer = [time](const QPointF& a, const QPointF& b) {
    return std::abs(a.x() - time) < std::abs(b.x() - time);
  };
  if (!ordered) return *std::min_element(points.begin(), points.end(), nearer);
  auto after = std::lower_bound(points.begin(), points.end(), time,
                                [](const QPointF& p, double t) { return p.x() < t; });
  if (after == points.end()) return points.back();
  if (after == points.begin()) return *after;
  return nearer(*after, *(after - 1)) ? *after : *(after - 1);
}

// Rounded through its shortest 7-digit text, then written as the grid writes values.
std::string valueText(double value) {
  char digits[32];
  auto [end, error] =
      std::to_chars(digits, digits + sizeof digits, value, std::chars_format::general, 7);
  if (error == std::errc()) std::from_chars(digits, end, value);
  std::string text = NumberText(value);
  if (!text.empty() && text.front() == ' ') text.erase(0, 1);
  return text;
}

}  // namespace

std::string ChartReadout(const ChartData& data, double time) {
  std::optional<double> shown;
  for (const ChartLine& line : data.lines) {
    std::optional<QPointF> point = nearestPoint(line, time, data.timeOrdered);
    if (point && (!shown || std::abs(point->x() - time) < std::abs(*shown - time))) {
      shown = point->x();
    }
  }
  if (!shown) return {};
  const QDateTime when = QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(*shown));
  std::string text = when.toString(QStringLiteral("M/d/yyyy h:mm:ss AP")).toStdString();
  for (const ChartLine& line : data.lines) {
    std::optional<QPointF> point = nearestPoint(line, *shown, data.timeOrdered);
    text += "   " + line.title + " ";
    text += point && point->x() == *shown ? valueText(point->y()) : "-";
  }
  return text;
}

}  // namespace norvale
