// A handheld database of 500,000 log records (three meters, about 55,000 logged times) imported
// through the window's "Download Data" with "Use Palm DataBase" ticked, CSV file included:
// seconds and peak resident memory. Run from an optimised build:
//   QT_QPA_PLATFORM=offscreen build/default/bench/handheld_bench [records]
#include <sys/resource.h>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <cstdio>
#include <string>

#include "app/controls/three_state_check_box.h"
#include "app/window/main_window.h"
#include "app/window/session.h"
#include "link/qt_event_pump.h"
#include "link/qt_serial_port.h"
#include "link/system_clock.h"
#include "support/handheld_database.cpp"

namespace {

constexpr double kTargetSeconds = 1.0;
constexpr double kTargetMegabytes = 150;

double PeakResidentMegabytes() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_maxrss) / 1024.0;
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  const QString records = argc > 1 ? QString::fromLatin1(argv[1]) : QStringLiteral("500000");
  QTemporaryDir folder;
  const QString database = QDir(folder.path()).filePath(QStringLiteral("DBFLW2.pdb"));
  std::string error;
  if (!norvale::testing::GenerateHandheldDatabase(QFile::encodeName(database).toStdString(),
                                                  {"--records", records.toStdString()}, error)) {
    std::fprintf(stderr, "handheld_bench: the database could not be generated: %s\n",
                 error.c_str());
    return 1;
  }
  const double beforeMegabytes = PeakResidentMegabytes();

  norvale::QtSerialPort port([](int) { return std::string(); });
  norvale::SystemClock clock;
  norvale::QtEventPump pump;
  norvale::Session session(folder.path(), port, clock, pump);
  norvale::MainWindow window(session);
  window.show();
  const norvale::WindowControls& c = window.controls();
  session.settings.DatabasePath = QFile::encodeName(database).toStdString();
  c.Check1->setCheckState(Qt::Checked);
  c.Option4[2]->setChecked(true);  // "Dont Separate": every meter's records

  QElapsedTimer timer;
  timer.start();
  c.Command2->click();
  const double seconds = static_cast<double>(timer.nsecsElapsed()) / 1e9;
  const double peak = PeakResidentMegabytes();

  std::printf("handheld import of %s log records (%lld bytes): %d logged times, status \"%s\"\n",
              qPrintable(records), static_cast<long long>(QFileInfo(database).size()),
              session.records.LastRow - 1, qPrintable(c.Label4->text()));
  std::printf("  import and CSV write: %.3f s (target under %.1f s)\n", seconds, kTargetSeconds);
  std::printf("  peak resident memory: %.1f MB, %.1f MB before the window (target under %.0f MB)\n",
              peak, beforeMegabytes, kTargetMegabytes);
  return 0;
}
