#include "chart/chart_image.h"

#include <QChart>
#include <QFileInfo>
#include <QGraphicsScene>
#include <QImage>
#include <QPainter>
#include <QSaveFile>
#include <QSvgGenerator>

namespace norvale {
namespace {

// The chart's own rectangle of its scene, so nothing around it (a view's frame) is drawn.
void drawChart(QChart& chart, QPainter& painter, const QRectF& target) {
  painter.setRenderHint(QPainter::Antialiasing);
  chart.scene()->render(&painter, target, chart.sceneBoundingRect());
}

}  // namespace

std::optional<ChartImageFormat> ChartImageFormatOf(const QString& path) {
  const QString suffix = QFileInfo(path).suffix().toLower();
  if (suffix == QLatin1String("png")) return ChartImageFormat::Png;
  if (suffix == QLatin1String("svg")) return ChartImageFormat::Svg;
  return std::nullopt;
}

bool SaveChartImage(QChart& chart, const QString& path, QString& failure) {
  failure.clear();
  const std::optional<ChartImageFormat> format = ChartImageFormatOf(path);
  const QSize size = chart.size().toSize();
  if (!format || !chart.scene() || size.isEmpty()) {
    failure = !format ? QStringLiteral("The file name does not end in .png or .svg")
                      : QStringLiteral("The chart has no size to draw");
    return false;
  }
  QSaveFile file(path);
  if (!file.open(QIODevice::WriteOnly)) {
    failure = file.errorString();
    return false;
  }
  const QRectF target(QPointF(0, 0), QSizeF(size));
  bool drawn = true;
  if (*format == ChartImageFormat::Svg) {
    QSvgGenerator svg;
    svg.setOutputDevice(&file);
    svg.setSize(size);
    svg.setViewBox(target);
    svg.setTitle(chart.title().isEmpty() ? QStringLiteral("Norvale log") : chart.title());
    QPainter painter(&svg);
    drawChart(chart, painter, target);
  } else {
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::white);
    {
      QPainter painter(&image);
      drawChart(chart, painter, target);
    }
    drawn = image.save(&file, "PNG");
  }
  if (!drawn) {
    file.cancelWriting();
    failure = QStringLiteral("The image could not be encoded");
    return false;
  }
  if (!file.commit()) {
    failure = file.errorString();
    return false;
  }
  return true;
}

}  // namespace norvale
