#pragma once

#include <QList>
#include <QPointF>

namespace norvale {

// The points of a line (ordered by x) that draw the same picture as all of them when the span
// low..high of x is `columns` pixels wide: in each pixel column its first, lowest, highest and
// last point, in their order, plus the nearest point outside each end so the line runs on to
// the edge. All the points in view when there are no more than four to a column. Drawing and
// hit-testing tens of thousands of points costs far more than the few thousand a plot can show.
QList<QPointF> ThinForDrawing(const QList<QPointF>& points, double low, double high, int columns);

}  // namespace norvale
