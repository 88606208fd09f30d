// The View tab's chart, offscreen: filled from the record table, zoomed and panned with the
// mouse, read out under the pointer and saved as an image.
#include <unistd.h>

#include <QAccessible>
#include <QCoreApplication>
#include <QDateTimeAxis>
#include <QFile>
#include <QHeaderView>
#include <QImage>
#include <QLabel>
#include <QLineSeries>
#include <QMouseEvent>
#include <QPushButton>
#include <QTabWidget>
#include <QValueAxis>
#include <QWheelEvent>
#include <functional>
#include <vector>

#include "app/view/record_chart_view.h"
#include "app/view/record_grid.h"
#include "app/window_fixture.h"
#include "records/log_date.h"
#include "text/number_text.h"

namespace norvale::testing {
namespace {

using ViewWindow = WindowTest;

constexpr int kRows = 100;

// As a download writes it: titles first, then the rows with repainting off, every 15 minutes
// from 3/4/2021 00:15 to 3/5/2021 01:00, yielding to the event loop every 25 rows. Channel 2 is
// "Not Used" (its cells still hold values), channel 3 a totaliser, and every tenth velocity a
// gap.
void FillLikeADownload(
    RecordTable& table,
    const std::function<void()>& yield = [] { QCoreApplication::processEvents(); }) {
  const char* titles[] = {"Record #", "Date / Time", "Flow", "", "Fwd Tot", "Velocity"};
  for (int column = 0; column < 6; ++column) {
    table.setEmphasised(1, column, true);
    table.setCell(1, column, titles[column]);
  }
  table.ChannelUsed = {true, false, true, true};
  table.ChannelIsTotal[2] = true;
  RedrawPause pause(table);
  const QDateTime first(QDate(2021, 3, 4), QTime(0, 15));
  for (int i = 0; i < kRows; ++i) {
    const int row = i + 2;
    const QDateTime at = first.addSecs(15 * 60 * i);
    const LogDate date{at.date().year(), at.date().month(), at.date().day()};
    table.setCell(row, 0, std::to_string(i + 1));
    table.setCell(row, 1, GeneralDateText(date, {at.time().hour(), at.time().minute(), 0}));
    table.setCell(row, 2, NumberText(2.5));
    table.setCell(row, 3, NumberText(-7));
    table.setCell(row, 4, NumberText(1000 + i));
    table.setCell(row, 5, i % 10 == 9 ? "" : NumberText(0.1 * i));
    table.LastRow = row;
    if (i % 25 == 24) yield();
  }
}

QLineSeries* LineNamed(RecordChart* chart, const QString& name) {
  for (QAbstractSeries* series : chart->series()) {
    if (series->name() == name) return static_cast<QLineSeries*>(series);
  }
  return nullptr;
}

class ShownViewWindow : public ViewWindow {
 protected:
  void SetUp() override {
    start();
    c().SSTab1->setCurrentIndex(1);
    window->show();
    FillLikeADownload(session->records);
    QCoreApplication::processEvents();
    view = c().LogChart;
    chart = view->recordChart();
  }
  // The view's point over `fraction` of the plot area's width, at half its height.
  QPointF overPlot(double fraction) const {
    const QRectF area = chart->plotArea();
    const QPointF inChart(area.left() + fraction * area.width(), area.center().y());
    return view->mapFromScene(chart->mapToScene(inChart));
  }
  void mouse(QEvent::Type type, QPointF at, Qt::MouseButton button, Qt::MouseButtons held) {
    QMouseEvent event(type, at, view->viewport()->mapToGlobal(at), button, held, Qt::NoModifier);
    QCoreApplication::sendEvent(view->viewport(), &event);
  }
  double shownSpan() const { return chart->shownTime().high - chart->shownTime().low; }

  RecordChartView* view = nullptr;
  RecordChart* chart = nullptr;
};

TEST_F(ViewWindow, ADownloadIsChartedOnceItsRowsAreInWithALinePerUsedChannelOnItsAxis) {
  start();
  RecordChart* chart = c().LogChart->recordChart();
  int pointsWhileFilling = 0;
  FillLikeADownload(session->records, [&] {
    QCoreApplication::processEvents();
    for (QAbstractSeries* line : chart->series()) {
      pointsWhileFilling += static_cast<int>(static_cast<QLineSeries*>(line)->count());
    }
  });
  EXPECT_EQ(pointsWhileFilling, 0) << "nothing is charted from a half-written table";
  QCoreApplication::processEvents();

  ASSERT_EQ(chart->series().size(), 3);
  QLineSeries* flow = LineNamed(chart, QStringLiteral("Flow"));
  QLineSeries* total = LineNamed(chart, QStringLiteral("Fwd Tot"));
  QLineSeries* velocity = LineNamed(chart, QStringLiteral("Velocity"));
  ASSERT_TRUE(flow && total && velocity);
  EXPECT_EQ(flow->count(), kRows);
  EXPECT_EQ(total->count(), kRows);
  EXPECT_EQ(velocity->count(), kRows - kRows / 10);
  EXPECT_EQ(total->at(kRows - 1).y(), 1000 + kRows - 1);

  EXPECT_TRUE(flow->attachedAxes().contains(chart->valueAxis()));
  EXPECT_TRUE(velocity->attachedAxes().contains(chart->valueAxis()));
  EXPECT_TRUE(total->attachedAxes().contains(chart->totalAxis()));
  EXPECT_FALSE(total->attachedAxes().contains(chart->valueAxis()));
  EXPECT_TRUE(chart->totalAxis()->isVisible());
  EXPECT_LE(chart->totalAxis()->min(), 1000);
  EXPECT_GE(chart->totalAxis()->max(), 1099);
  EXPECT_EQ(chart->timeAxis()->min(), QDateTime(QDate(2021, 3, 4), QTime(0, 15)));
  EXPECT_EQ(chart->timeAxis()->max(), QDateTime(QDate(2021, 3, 5), QTime(1, 0)));

  session->records.clearCells();
  session->records.ChannelUsed = {};
  session->records.LastRow = 1;
  QCoreApplication::processEvents();
  EXPECT_TRUE(chart->series().isEmpty()) << "an emptied table empties the chart";
}

TEST_F(ShownViewWindow, WheelZoomsAroundThePointerDragPansDoubleClickShowsTheWholeLog) {
  const double wholeSpan = shownSpan();
  const QPointF at = overPlot(0.25);
  const double timeAtPointer = *chart->timeAt(chart->mapFromScene(view->mapToScene(at.toPoint())));
  QWheelEvent wheel(at, view->viewport()->mapToGlobal(at), QPoint(), QPoint(0, 120), Qt::NoButton,
                    Qt::NoModifier, Qt::NoScrollPhase, false);
  QCoreApplication::sendEvent(view->viewport(), &wheel);
  EXPECT_NEAR(shownSpan(), 0.8 * wholeSpan, 1000);
  EXPECT_NEAR(*chart->timeAt(chart->mapFromScene(view->mapToScene(at.toPoint()))), timeAtPointer,
              wholeSpan / 100)
      << "the time under the pointer stays under it";

  // Dragging to the left brings later times into view.
  const double lowBefore = chart->shownTime().low;
  mouse(QEvent::MouseButtonPress, overPlot(0.6), Qt::LeftButton, Qt::LeftButton);
  mouse(QEvent::MouseMove, overPlot(0.5), Qt::NoButton, Qt::LeftButton);
  mouse(QEvent::MouseButtonRelease, overPlot(0.5), Qt::LeftButton, Qt::NoButton);
  EXPECT_NEAR(chart->shownTime().low, lowBefore + 0.1 * shownSpan(), wholeSpan / 100);
  EXPECT_NEAR(shownSpan(), 0.8 * wholeSpan, 1000);

  mouse(QEvent::MouseButtonDblClick, overPlot(0.5), Qt::LeftButton, Qt::LeftButton);
  EXPECT_EQ(shownSpan(), wholeSpan);
  chart->zoomTime(0.5, chart->shownTime().low);
  c().ResetChartZoom->click();
  EXPECT_EQ(shownSpan(), wholeSpan);
}

// The titles stay in the grid's header at the end of the log, and the grid has nearly half the
// tab.
TEST_F(ShownViewWindow, GridKeepsItsTitlesInSightAndNearlyHalfTheTab) {
  RecordGrid* grid = c().MSHFlexGrid1;
  grid->scrollToBottom();
  QCoreApplication::processEvents();
  EXPECT_TRUE(grid->horizontalHeader()->isVisible());
  EXPECT_EQ(grid->model()->headerData(1, Qt::Horizontal).toString(), "Flow");
  const QWidget* split = window->findChild<QWidget*>(QStringLiteral("ViewSplit"));
  ASSERT_NE(split, nullptr);
  EXPECT_GE(grid->height(), split->height() * 21 / 50);
}

TEST_F(ShownViewWindow, HoverReadsOutTheTimeAndValuesAsTheLabelsAccessibleName) {
  mouse(QEvent::MouseMove, overPlot(0.001), Qt::NoButton, Qt::NoButton);
  QLabel* readout = c().ChartReadout;
  EXPECT_EQ(readout->text(), "3/4/2021 12:15:00 AM   Flow 2.5   Fwd Tot 1000   Velocity 0");
  mouse(QEvent::MouseMove, overPlot(0.999), Qt::NoButton, Qt::NoButton);
  EXPECT_EQ(readout->text(), "3/5/2021 1:00:00 AM   Flow 2.5   Fwd Tot 1099   Velocity -");

  QAccessibleInterface* readOut = QAccessible::queryAccessibleInterface(readout);
  ASSERT_NE(readOut, nullptr);
  EXPECT_EQ(readOut->text(QAccessible::Name), readout->text());
  for (QWidget* control : {static_cast<QWidget*>(view), static_cast<QWidget*>(c().SaveChartImage),
                           static_cast<QWidget*>(c().ResetChartZoom)}) {
    EXPECT_FALSE(control->accessibleName().isEmpty()) << control->objectName().toStdString();
  }
}

TEST_F(ShownViewWindow, SaveImageWritesThePictureWhereTheDialogSays) {
  std::vector<SaveFileRequest> asked;
  QString answer = folder.filePath(QStringLiteral("flow"));
  window->setSaveFileChooser([&](const SaveFileRequest& request) -> std::optional<QString> {
    asked.push_back(request);
    return answer;
  });
  c().SaveChartImage->click();
  ASSERT_EQ(asked.size(), 1u);
  EXPECT_TRUE(asked[0].filter.contains(QStringLiteral("*.png")));
  EXPECT_TRUE(asked[0].filter.contains(QStringLiteral("*.svg")));

  // A name without either extension gets ".png".
  const QImage image(folder.filePath(QStringLiteral("flow.png")));
  ASSERT_FALSE(image.isNull());
  EXPECT_EQ(image.size(), chart->size().toSize());
  const QRgb background = image.pixel(0, 0);
  bool drawn = false;
  for (int y = 0; y < image.height() && !drawn; y += 3) {
    for (int x = 0; x < image.width() && !drawn; x += 3) drawn = image.pixel(x, y) != background;
  }
  EXPECT_TRUE(drawn) << "more than one colour";
  EXPECT_TRUE(c().ChartReadout->text().startsWith(QStringLiteral("Image saved to ")));

  answer = folder.filePath(QStringLiteral("flow.SVG"));
  c().SaveChartImage->click();
  QFile svg(answer);
  ASSERT_TRUE(svg.open(QIODevice::ReadOnly));
  EXPECT_TRUE(svg.readAll().contains("<svg"));

  answer = folder.filePath(QStringLiteral("no such folder/flow.png"));
  c().SaveChartImage->click();
  EXPECT_TRUE(c().ChartReadout->text().startsWith(QStringLiteral("Image not saved: ")));
}

// The reasons the View tab has always given when the image file cannot be written.
TEST_F(ShownViewWindow, SaveImageTellsWhyTheFileWasNotWritten) {
  QDir(folder.path()).mkdir(QStringLiteral("taken.png"));
  QFile protectedFile(folder.filePath(QStringLiteral("kept.png")));
  ASSERT_TRUE(protectedFile.open(QIODevice::WriteOnly));
  protectedFile.close();
  protectedFile.setPermissions(QFile::ReadOwner);
  struct Case {
    QString name;
    QString reason;
  };
  std::vector<Case> cases = {
      {QStringLiteral("taken.png"), QStringLiteral("Filename refers to a directory")},
      {QStringLiteral("no such folder/flow.png"), QStringLiteral("No such file or directory")},
  };
  // Permission bits do not stop root.
  if (::geteuid() != 0) {
    cases.push_back(
        {QStringLiteral("kept.png"),
         QStringLiteral("Existing file %1 is not writable").arg(folder.filePath("kept.png"))});
  }
  QString answer;
  window->setSaveFileChooser(
      [&](const SaveFileRequest&) -> std::optional<QString> { return answer; });
  for (const Case& test : cases) {
    answer = folder.filePath(test.name);
    c().SaveChartImage->click();
    EXPECT_EQ(c().ChartReadout->text(), QStringLiteral("Image not saved: ") + test.reason);
  }
  EXPECT_EQ(protectedFile.size(), 0);
}

}  // namespace
}  // namespace norvale::testing
