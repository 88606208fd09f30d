#include "chart/chart_image.h"

#include <QBuffer>
#include <QChart>
#include <QFile>
#include <QFileInfo>
#include <QGraphicsScene>
#include <QImage>
#include <QPainter>
#include <QSvgGenerator>
#include <cerrno>
#include <string_view>

#include "output/file_replace.h"

namespace norvale {
namespace {

// The chart's own rectangle of its scene, so nothing around it (a view's frame) is drawn.
void drawChart(QChart& chart, QPainter& painter, const QRectF& target) {
  painter.setRenderHint(QPainter::Antialiasing);
  chart.scene()->render(&painter, target, chart.sceneBoundingRect());
}

// The image file's bytes; nothing when the image could not be encoded.
std::optional<QByteArray> encodeChart(QChart& chart, ChartImageFormat format, QSize size) {
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  const QRectF target(QPointF(0, 0), QSizeF(size));
  if (format == ChartImageFormat::Svg) {
    QSvgGenerator svg;
    svg.setOutputDevice(&buffer);
    svg.setSize(size);
    svg.setViewBox(target);
    svg.setTitle(chart.title().isEmpty() ? QStringLiteral("Norvale log") : chart.title());
    QPainter painter(&svg);
    drawChart(chart, painter, target);
    painter.end();
    return bytes;
  }
  QImage image(size, QImage::Format_RGB32);
  image.fill(Qt::white);
  {
    QPainter painter(&image);
    drawChart(chart, painter, target);
  }
  if (!image.save(&buffer, "PNG")) return std::nullopt;
  return bytes;
}

// The words for a file that could not be replaced, as the window and norvale-plot show them.
QString replaceFailureText(const QString& path, const FileReplacement& result) {
  if (result.writeProtected) return QStringLiteral("Existing file %1 is not writable").arg(path);
  if (result.error == EISDIR) return QStringLiteral("Filename refers to a directory");
  return QString::fromLocal8Bit(FileErrorText(result.error));
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
  const std::optional<QByteArray> bytes = encodeChart(chart, *format, size);
  if (!bytes) {
    failure = QStringLiteral("The image could not be encoded");
    return false;
  }
  const FileReplacement result =
      ReplaceFile(QFile::encodeName(path).toStdString(),
                  std::string_view(bytes->constData(), static_cast<size_t>(bytes->size())));
  if (result.error != 0) failure = replaceFailureText(path, result);
  return result.error == 0;
}

}  // namespace norvale
