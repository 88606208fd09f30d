// Time from process start to the window shown, and resident memory after start-up, for a first
// start (no settings file yet). Run with QT_QPA_PLATFORM=offscreen from an optimised build:
//   QT_QPA_PLATFORM=offscreen build/default/bench/startup_bench
// With "--grab DIR" it also saves a picture of every tab into DIR (tab0.png .. tab5.png).
#include <unistd.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTabWidget>
#include <QTemporaryDir>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <sstream>
#include <string>

#include "app/window/main_window.h"
#include "app/window/session.h"
#include "common/process_memory.h"
#include "common/shown_window.h"
#include "link/comm_port_device.h"
#include "link/qt_event_pump.h"
#include "link/qt_serial_port.h"
#include "link/system_clock.h"

namespace {

constexpr double kStartupTargetSeconds = 0.5;
constexpr double kMemoryTargetMegabytes = 80;

// Seconds since boot at which this process started (/proc/self/stat field 22, in clock ticks).
double ProcessStartSinceBoot() {
  std::ifstream stat("/proc/self/stat");
  std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
  // The command name in field 2 may hold blanks; fields after its closing ")" start at 3.
  std::istringstream fields(text.substr(text.rfind(')') + 2));
  std::string field;
  for (int number = 3; number <= 22 && fields >> field; ++number) {
  }
  return std::stod(field) / static_cast<double>(sysconf(_SC_CLK_TCK));
}

double SecondsSinceBoot() {
  timespec now{};
  clock_gettime(CLOCK_BOOTTIME, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QTemporaryDir folder;
  const std::string folderPath = QFile::encodeName(folder.path()).toStdString();
  norvale::QtSerialPort port(
      [folderPath](int number) { return norvale::CommPortDevice(number, folderPath); });
  norvale::SystemClock clock;
  norvale::QtEventPump pump;
  norvale::Session session(folder.path(), port, clock, pump);
  norvale::MainWindow window(session);
  norvale::bench::ShowAndWaitUntilExposed(window);
  const double startup = SecondsSinceBoot() - ProcessStartSinceBoot();
  const double resident = norvale::bench::ResidentMegabytes();

  std::printf("start-up to window shown: %.3f s (target < %.1f s)\n", startup,
              kStartupTargetSeconds);
  std::printf("resident memory after start-up: %.1f MB (target < %.0f MB)\n", resident,
              kMemoryTargetMegabytes);

  if (argc == 3 && QString::fromLocal8Bit(argv[1]) == QStringLiteral("--grab")) {
    QDir out(QString::fromLocal8Bit(argv[2]));
    out.mkpath(QStringLiteral("."));
    QTabWidget* tabs = window.controls().SSTab1;
    for (int i = 0; i < tabs->count(); ++i) {
      tabs->setCurrentIndex(i);
      QCoreApplication::processEvents();
      window.grab().save(out.filePath(QStringLiteral("tab%1.png").arg(i)));
    }
  }
  const bool met = startup < kStartupTargetSeconds && resident < kMemoryTargetMegabytes;
  return met ? 0 : 1;
}
