#pragma once

#include <QString>
#include <optional>

class QChart;

namespace norvale {

enum class ChartImageFormat { Png, Svg };

// By the file name's extension, in any case: ".png" or ".svg"; nothing for any other name.
std::optional<ChartImageFormat> ChartImageFormatOf(const QString& path);

// Draws `chart` at its present size into `path`, as its extension says. The file is replaced only
// once written whole. False, with the reason in `failure`, when it could not be written.
bool SaveChartImage(QChart& chart, const QString& path, QString& failure);

}  // namespace norvale
