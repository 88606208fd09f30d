#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSplitter>
#include <QVBoxLayout>

#include "app/controls/control_factory.h"
#include "app/view/record_chart_view.h"
#include "app/view/record_grid.h"
#include "app/window/window_controls.h"
#include "app/window/window_tabs.h"

namespace norvale {

QWidget* BuildViewTab(WindowControls& c, RecordTable& records) {
  auto* page = new QWidget;
  c.MSHFlexGrid1 = new RecordGrid(records);
  c.MSHFlexGrid1->setObjectName(QStringLiteral("MSHFlexGrid1"));
  c.MSHFlexGrid1->setAccessibleName(QStringLiteral("Records"));

  c.LogChart = new RecordChartView;
  c.LogChart->setObjectName(QStringLiteral("LogChart"));
  c.LogChart->setAccessibleName(QStringLiteral("Chart of the records"));
  c.ChartReadout =
      MakeStatusLabel(QStringLiteral("ChartReadout"), QString(), QStringLiteral("Chart readout"));
  // One line, cut at the tab's edge: a readout of eight channels must not widen the window.
  c.ChartReadout->setWordWrap(false);
  c.ChartReadout->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
  c.ResetChartZoom = MakeButton(QStringLiteral("ResetChartZoom"), QStringLiteral("Whole Log"));
  c.ResetChartZoom->setAccessibleName(QStringLiteral("Show the whole log"));
  c.SaveChartImage = MakeButton(QStringLiteral("SaveChartImage"), QStringLiteral("Save Image..."));
  c.SaveChartImage->setAccessibleName(QStringLiteral("Save Image"));

  auto* chartPanel = new QWidget;
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(c.ChartReadout, 1);
  buttons->addWidget(c.ResetChartZoom);
  buttons->addWidget(c.SaveChartImage);
  auto* chartLayout = new QVBoxLayout(chartPanel);
  chartLayout->setContentsMargins(0, 0, 0, 0);
  chartLayout->addWidget(c.LogChart, 1);
  chartLayout->addLayout(buttons);

  // The user shares the tab's height out between the two.
  auto* split = new QSplitter(Qt::Vertical);
  split->setObjectName(QStringLiteral("ViewSplit"));
  split->setChildrenCollapsible(false);
  split->addWidget(c.MSHFlexGrid1);
  split->addWidget(chartPanel);
  // Nearly half for the rows; the chart needs a little more for its axes and legend.
  split->setStretchFactor(0, 4);
  split->setStretchFactor(1, 5);
  split->setSizes({400, 500});
  auto* layout = new QVBoxLayout(page);
  layout->addWidget(split);
  return page;
}

}  // namespace norvale
