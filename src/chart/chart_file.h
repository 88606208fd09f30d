#pragma once

#include <QSize>
#include <QString>

#include "output/chart_series.h"

namespace norvale {

// Draws the chart of `data`, as the View tab shows it with nothing zoomed, at `size` into `path`
// (PNG or SVG by its extension). Needs the application object of MakeOffscreenApplication or a
// window's. False, with the reason in `failure`, when the file could not be written.
bool WriteChartFile(ChartData data, QSize size, const QString& path, QString& failure);

}  // namespace norvale
