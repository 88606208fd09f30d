// The View tab's chart of a full log: 32,768 logged times x 8 channels (2 of them totalisers)
// put into the window's record table as a download puts them, then the time from "table filled"
// to the chart's first complete paint, and the resident memory the chart added. Targets: under
// 200 ms and under 40 MB. Run from an optimised build:
//   QT_QPA_PLATFORM=offscreen build/default/bench/chart_bench
#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QLineSeries>
#include <QTabWidget>
#include <QTemporaryDir>
#include <cmath>
#include <cstdio>
#include <string>

#include "app/view/record_chart_view.h"
#include "app/window/main_window.h"
#include "app/window/session.h"
#include "common/process_memory.h"
#include "common/shown_window.h"
#include "link/qt_event_pump.h"
#include "link/qt_serial_port.h"
#include "link/system_clock.h"
#include "output/record_table.h"
#include "records/log_date.h"
#include "text/number_text.h"

namespace {

constexpr int kLoggedTimes = 32768;
constexpr int kChannels = 8;
constexpr double kTargetMilliseconds = 200;
constexpr double kTargetMegabytes = 40;

// Notes the first paint of the chart's viewport once the chart has its lines.
class PaintWatch : public QObject {
 public:
  explicit PaintWatch(QChart* chart) : chart_(chart) {}
  bool painted = false;
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Paint && !chart_->series().isEmpty()) painted = true;
    return QObject::eventFilter(watched, event);
  }

 private:
  QChart* chart_;
};

// A log every minute from 3/6/2021 00:01 on, as a download writes it: six flows and two
// totalisers (channels 4 and 8), with redraw off until the table is full.
void FillTable(norvale::RecordTable& table) {
  using norvale::NumberText;
  table.setCell(1, 0, "Record #");
  table.setCell(1, 1, "Date / Time");
  for (int k = 1; k <= kChannels; ++k) {
    const bool total = k % 4 == 0;
    table.ChannelUsed[k - 1] = true;
    table.ChannelIsTotal[k - 1] = total;
    table.setCell(1, k + 1, (total ? "Fwd Tot " : "Flow ") + std::to_string(k));
  }
  norvale::RedrawPause pause(table);
  norvale::LogDate date{2021, 3, 6};
  for (int m = 1; m <= kLoggedTimes; ++m) {
    const int minuteOfDay = m % 1440;
    if (minuteOfDay == 0) date = norvale::NextDay(date);
    const int row = m + 1;
    table.setCell(row, 0, std::to_string(m));
    table.setCell(row, 1, norvale::GeneralDateText(date, {minuteOfDay / 60, minuteOfDay % 60, 0}));
    for (int k = 1; k <= kChannels; ++k) {
      const double value =
          k % 4 == 0 ? std::floor(1000.0 * k + m * 0.37) : 2.5 * k + k * std::sin(m / 97.0 + k);
      // Through a float, as the meter sends it: " 2.50000014901162".
      table.setCell(row, k + 1, NumberText(static_cast<float>(value)));
    }
    table.LastRow = row;
  }
  // The pause ends here: the grid hears of the rows once.
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QTemporaryDir folder;
  norvale::QtSerialPort port([](int) { return std::string(); });
  norvale::SystemClock clock;
  norvale::QtEventPump pump;
  norvale::Session session(folder.path(), port, clock, pump);
  norvale::MainWindow window(session);
  const norvale::WindowControls& c = window.controls();
  c.SSTab1->setCurrentIndex(1);  // "View"
  norvale::bench::ShowAndWaitUntilExposed(window);

  const double emptyMegabytes = norvale::bench::ResidentMegabytes();
  PaintWatch watch(c.LogChart->chart());
  QElapsedTimer timer;
  FillTable(session.records);  // filled once its redraw pause has ended
  timer.start();
  const double filledMegabytes = norvale::bench::ResidentMegabytes();
  c.LogChart->viewport()->installEventFilter(&watch);
  while (!watch.painted && timer.elapsed() < 10000) QCoreApplication::processEvents();
  const double milliseconds = static_cast<double>(timer.nsecsElapsed()) / 1e6;
  const double chartMegabytes = norvale::bench::ResidentMegabytes() - filledMegabytes;

  int points = 0;
  const QList<QAbstractSeries*> series = c.LogChart->chart()->series();
  for (QAbstractSeries* s : series) points += static_cast<int>(static_cast<QXYSeries*>(s)->count());
  std::printf("chart of %d logged times x %d channels: %lld series, %d points drawn\n",
              session.records.LastRow - 1, kChannels, static_cast<long long>(series.size()),
              points);
  std::printf("  table filled to first paint of the chart: %.1f ms (target under %.0f ms)\n",
              milliseconds, kTargetMilliseconds);
  std::printf(
      "  resident memory added by the chart: %.1f MB (target under %.0f MB); the table "
      "itself took %.1f MB\n",
      chartMegabytes, kTargetMegabytes, filledMegabytes - emptyMegabytes);
  const bool met = watch.painted && milliseconds < kTargetMilliseconds &&
                   chartMegabytes < kTargetMegabytes && series.size() == kChannels;
  return met ? 0 : 1;
}
