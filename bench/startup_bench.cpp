// Time from process start to the window shown, and resident memory after start-up, for a first
// start (no settings file yet). Then the headless program's start-up and exit: the CPU time and
// peak resident memory of `norvale-cli download` against a device that is not there (targets
// under 15 ms and 12 MB), beside `norvale-plot --help`, which loads the window libraries as the
// program did before the two were split, and, when libmodbus is there, a minimal libmodbus client
// reading the same missing device; medians of nine runs each. The exit status is 0 when every
// target is met. Run with QT_QPA_PLATFORM=offscreen from an optimised build:
//   QT_QPA_PLATFORM=offscreen build/default/bench/startup_bench
// With "--grab DIR" it saves a picture of every tab into DIR (tab0.png .. tab5.png) instead of
// measuring the headless programs.
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
#include <vector>

#include "app/window/main_window.h"
#include "app/window/session.h"
#include "common/measured_run.h"
#include "common/process_memory.h"
#include "common/shown_window.h"
#include "link/comm_port_device.h"
#include "link/qt_event_pump.h"
#include "link/qt_serial_port.h"
#include "link/system_clock.h"

namespace {

constexpr double kStartupTargetSeconds = 0.5;
constexpr double kMemoryTargetMegabytes = 80;
constexpr int kHeadlessRuns = 9;
constexpr double kHeadlessTargetSeconds = 0.015;
constexpr double kHeadlessTargetMegabytes = 12;
constexpr const char* kMissingDevice = "/nonexistent";

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

struct StartupFigures {
  bool ran = false;
  int exitStatus = -1;
  double cpuSeconds = 0;  // medians
  double peakMegabytes = 0;
  std::string lastLine;  // of its output, to show how it ended
};

StartupFigures MeasureStartup(const std::vector<std::string>& command, const std::string& output) {
  StartupFigures figures;
  std::vector<double> cpu, peak;
  for (int run = 0; run < kHeadlessRuns; ++run) {
    const norvale::bench::MeasuredRun measured =
        norvale::bench::RunMeasured(NORVALE_MEASURED_RUN, command, output);
    if (!measured.measured) return figures;
    figures.exitStatus = measured.exitStatus;
    cpu.push_back(measured.cpuSeconds());
    peak.push_back(measured.peakMegabytes);
  }
  figures.ran = true;
  figures.cpuSeconds = norvale::bench::Median(cpu);
  figures.peakMegabytes = norvale::bench::Median(peak);
  std::string text = norvale::bench::FileText(output);
  while (!text.empty() && text.back() == '\n') text.pop_back();
  figures.lastLine = text.substr(text.rfind('\n') + 1);
  return figures;
}

void PrintStartup(const char* what, const StartupFigures& figures) {
  if (!figures.ran) {
    std::printf("  %-44s could not be run\n", what);
    return;
  }
  std::printf("  %-44s CPU %5.1f ms, peak %5.1f MB, exit %d (\"%s\")\n", what,
              figures.cpuSeconds * 1000, figures.peakMegabytes, figures.exitStatus,
              figures.lastLine.c_str());
}

// True when norvale-cli met its targets.
bool CompareHeadlessStartup(const std::string& folder) {
  std::printf(
      "headless start-up and exit against a missing device (median of %d runs; CPU = "
      "user + system and peak resident memory from wait4):\n",
      kHeadlessRuns);
  const StartupFigures cli = MeasureStartup(
      {NORVALE_CLI, "download", "--device", kMissingDevice, "--output", folder + "/startup.csv"},
      folder + "/cli.out");
  PrintStartup("norvale-cli download --device /nonexistent:", cli);
  PrintStartup("norvale-plot --help (window libraries):",
               MeasureStartup({NORVALE_PLOT, "--help"}, folder + "/plot.out"));
#ifdef NORVALE_MODBUS_READ_PEER
  PrintStartup("libmodbus client, one read of /nonexistent:",
               MeasureStartup({NORVALE_MODBUS_READ_PEER, kMissingDevice}, folder + "/modbus.out"));
#else
  std::printf("  (libmodbus not found: no libmodbus client to compare with)\n");
#endif
  const bool met = cli.ran && cli.cpuSeconds < kHeadlessTargetSeconds &&
                   cli.peakMegabytes < kHeadlessTargetMegabytes;
  std::printf("  norvale-cli target: under %.0f ms CPU and %.0f MB: %s\n",
              kHeadlessTargetSeconds * 1000, kHeadlessTargetMegabytes, met ? "met" : "MISSED");
  return met;
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

  std::fflush(stdout);

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
  bool met = startup < kStartupTargetSeconds && resident < kMemoryTargetMegabytes;
  if (argc != 3) met = CompareHeadlessStartup(folderPath) && met;
  return met ? 0 : 1;
}
