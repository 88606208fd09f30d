#include "app/view/view_tab_handlers.h"

#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QPushButton>

#include "app/view/record_chart_view.h"
#include "app/view/record_grid.h"
#include "chart/chart_image.h"
#include "output/chart_readout.h"
#include "output/chart_series.h"
#include "text/byte_text.h"

namespace norvale {
namespace {

constexpr int kRetryWhilePausedMs = 200;

}  // namespace

ViewTabHandlers::ViewTabHandlers(WindowControls& controls, Session& session,
                                 const SaveFileChooser& chooser, QObject* parent)
    : QObject(parent), controls_(controls), session_(session), chooseSaveFile_(chooser) {
  rebuild_.setSingleShot(true);
  connect(&rebuild_, &QTimer::timeout, this, &ViewTabHandlers::rebuildChart);
  RecordGridModel& model = controls_.MSHFlexGrid1->gridModel();
  auto schedule = [this] { rebuild_.start(0); };
  connect(&model, &QAbstractItemModel::dataChanged, this, schedule);
  connect(&model, &QAbstractItemModel::modelReset, this, schedule);
  connect(&model, &QAbstractItemModel::layoutChanged, this, schedule);

  connect(controls_.LogChart, &RecordChartView::pointerAt, this, &ViewTabHandlers::showReadout);
  connect(controls_.LogChart, &RecordChartView::pointerLeft, this, &ViewTabHandlers::showHint);
  connect(controls_.ResetChartZoom, &QPushButton::clicked, this,
          &ViewTabHandlers::onResetChartZoomClick);
  connect(controls_.SaveChartImage, &QPushButton::clicked, this,
          &ViewTabHandlers::onSaveChartImageClick);
  rebuildChart();
}

// While a filler has repainting off, the table is half written: the chart waits. The filler's
// rows are reported when it switches repainting on; the retry covers a pause that wrote nothing.
void ViewTabHandlers::rebuildChart() {
  if (!session_.records.redraw()) {
    rebuild_.start(kRetryWhilePausedMs);
    return;
  }
  controls_.LogChart->recordChart()->showData(BuildChartData(session_.records));
  showHint();
}

void ViewTabHandlers::showReadout(double time) {
  controls_.ChartReadout->setText(
      FromByteText(ChartReadout(controls_.LogChart->recordChart()->data(), time)));
}

void ViewTabHandlers::showHint() {
  const bool any = controls_.LogChart->recordChart()->data().hasPoints();
  controls_.ChartReadout->setText(
      any ? QStringLiteral("Wheel: zoom   Drag: pan   Double-click: whole log") : QString());
}

void ViewTabHandlers::onResetChartZoomClick() { controls_.LogChart->recordChart()->resetZoom(); }

// A name without ".png" or ".svg" gets ".png".
void ViewTabHandlers::onSaveChartImageClick() {
  std::optional<QString> chosen = chooseSaveFile_(
      {QStringLiteral("Save Chart Image"), QStringLiteral("PNG image (*.png);;SVG image (*.svg)"),
       QStringLiteral("Logdata.png"), FromFileName(session_.settings.LogFileFolder)});
  if (!chosen || chosen->isEmpty()) return;
  QString path = *chosen;
  if (!ChartImageFormatOf(path)) path += QStringLiteral(".png");
  QString failure;
  if (SaveChartImage(*controls_.LogChart->recordChart(), path, failure)) {
    controls_.ChartReadout->setText(QStringLiteral("Image saved to ") +
                                    QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath()));
  } else {
    controls_.ChartReadout->setText(QStringLiteral("Image not saved: ") + failure);
  }
}

}  // namespace norvale
