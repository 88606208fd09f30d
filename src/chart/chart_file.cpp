#include "chart/chart_file.h"

#include <QGraphicsLayout>
#include <QGraphicsScene>
#include <utility>

#include "chart/chart_image.h"
#include "chart/record_chart.h"

namespace norvale {

bool WriteChartFile(ChartData data, QSize size, const QString& path, QString& failure) {
  QGraphicsScene scene;
  auto* chart = new RecordChart;  // the scene owns it
  scene.addItem(chart);
  chart->resize(QSizeF(size));
  chart->showData(std::move(data));
  // Lays out the axes and the legend for the size just set.
  chart->layout()->activate();
  return SaveChartImage(*chart, path, failure);
}

}  // namespace norvale
