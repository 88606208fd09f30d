#include "output/chart_thinning.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace norvale {
namespace {

constexpr qsizetype kPointsPerColumn = 4;

}  // namespace

QList<QPointF> ThinForDrawing(const QList<QPointF>& points, double low, double high, int columns) {
  auto xBefore = [](const QPointF& p, double x) { return p.x() < x; };
  auto xAfter = [](double x, const QPointF& p) { return x < p.x(); };
  // First and one past the last point to draw, each end's outside neighbour included.
  qsizetype first = std::lower_bound(points.begin(), points.end(), low, xBefore) - points.begin();
  qsizetype last = std::upper_bound(points.begin(), points.end(), high, xAfter) - points.begin();
  if (first > 0) --first;
  if (last < points.size()) ++last;
  if (first >= last) return {};
  if (columns <= 0 || high <= low || last - first <= kPointsPerColumn * columns) {
    return points.mid(first, last - first);
  }

  QList<QPointF> thin;
  thin.reserve(kPointsPerColumn * columns + 2);
  const double perColumn = columns / (high - low);
  // Clamped before the conversion: an outside neighbour may lie years away from a narrow view.
  auto columnOf = [&](const QPointF& p) {
    const double column = std::floor((p.x() - low) * perColumn);
    return static_cast<int>(std::clamp(column, -1.0, static_cast<double>(columns)));
  };
  qsizetype i = first;
  while (i < last) {
    // One column's run: its first, lowest, highest and last point, each once, in order.
    const int column = columnOf(points[i]);
    qsizetype lowest = i;
    qsizetype highest = i;
    qsizetype end = i + 1;
    for (; end < last && columnOf(points[end]) == column; ++end) {
      if (points[end].y() < points[lowest].y()) lowest = end;
      if (points[end].y() > points[highest].y()) highest = end;
    }
    std::array<qsizetype, 4> picks{i, lowest, highest, end - 1};
    std::sort(picks.begin(), picks.end());
    for (size_t k = 0; k < picks.size(); ++k) {
      if (k == 0 || picks[k] != picks[k - 1]) thin.append(points[picks[k]]);
    }
    i = end;
  }
  return thin;
}

}  // namespace norvale
