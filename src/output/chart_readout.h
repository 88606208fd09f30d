#pragma once

#include <string>

#include "output/chart_series.h"

namespace norvale {

// What the chart shows under the pointer: the logged time nearest `time` (milliseconds since the
// epoch) in the U.S. form the download writes, then each line's title and value at that time,
// "-" where its cell was a gap:
//   "3/4/2021 12:15:00 AM   Flow 2.5   Fwd Tot 1000"
// Values have the 7 significant digits a meter float carries. Empty when there are no points.
std::string ChartReadout(const ChartData& data, double time);

}  // namespace norvale
