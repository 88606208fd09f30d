// The "Display Meter " page left running, offscreen: CPU per wall second of the live display
// polling the demo meter for 30 s, and of the keypad cycle against a meter that never answers for
// 60 s (target at most 0.02 each), and the poll period achieved against 1.000 s.
//   QT_QPA_PLATFORM=offscreen build/default/bench/live_bench [live-seconds keypad-seconds]
#include <sys/resource.h>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "app/window/main_window.h"
#include "app/window/session.h"
#include "link/qt_event_pump.h"
#include "link/qt_serial_port.h"
#include "link/system_clock.h"
#include "support/simulator_process.cpp"

namespace {

using norvale::testing::SimulatorProcess;

constexpr double kTargetCpuPerWall = 0.02;

double CpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

struct Run {
  double wall = 0;
  double cpu = 0;
  int requests = 0;
  std::vector<double> ticks;  // seconds at which the polling timer fired
  double period() const {
    return ticks.size() > 1 ? (ticks.back() - ticks.front()) / static_cast<double>(ticks.size() - 1)
                            : 0;
  }
};

// Opens the window on the simulator, lets `begin` start a cycle, and runs the event loop.
template <class Begin>
Run RunPage(std::vector<std::string> simulatorArgs, double seconds, int function, Begin begin) {
  const auto demo = std::filesystem::path(NORVALE_SIMULATOR).parent_path() / "scenarios/demo.json";
  SimulatorProcess sim(demo.string(), std::move(simulatorArgs));
  Run run;
  if (!sim.started()) {
    std::printf("simulator: %s\n", sim.error().c_str());
    return run;
  }
  const QString startFolder = QDir::currentPath();
  QTemporaryDir folder;
  const std::string device = sim.devicePath();
  norvale::QtSerialPort port([device](int) { return device; });
  norvale::SystemClock clock;
  norvale::QtEventPump pump;
  norvale::Session session(folder.path(), port, clock, pump);
  norvale::MainWindow window(session);
  window.show();
  window.controls().SSTab1->setCurrentIndex(3);
  QElapsedTimer wall;
  for (QTimer* timer :
       {window.controls().Timer1, window.controls().Timer2, window.controls().Timer3}) {
    QObject::connect(timer, &QTimer::timeout, [&run, &wall] {
      run.ticks.push_back(static_cast<double>(wall.nsecsElapsed()) / 1e9);
    });
  }
  begin(window.controls());
  const double cpuBefore = CpuSeconds();
  wall.start();
  QTimer::singleShot(static_cast<int>(seconds * 1000), [] { QCoreApplication::quit(); });
  QCoreApplication::exec();
  run.wall = static_cast<double>(wall.nsecsElapsed()) / 1e9;
  run.cpu = CpuSeconds() - cpuBefore;
  for (const auto& request : sim.requestLog()) run.requests += request.function == function;
  window.controls().SSTab1->setCurrentIndex(0);
  QDir::setCurrent(startFolder);  // the settings folder goes away with this run
  return run;
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  const double liveSeconds = argc > 2 ? std::stod(argv[1]) : 30;
  const double keypadSeconds = argc > 2 ? std::stod(argv[2]) : 60;

  Run live = RunPage({}, liveSeconds, 99, [](const norvale::WindowControls& c) {
    c.Option5[3]->click();  // the fourth meter type polls at once
  });
  std::printf(
      "live display, %.0f s on the demo meter: CPU/wall %.4f (target at most %.2f), "
      "%d polls, period %.3f s (against 1.000 s)\n",
      live.wall, live.cpu / live.wall, kTargetCpuPerWall, live.requests, live.period());

  Run keypad = RunPage({"--silent", "3", "--silent", "16"}, keypadSeconds, 3,
                       [](const norvale::WindowControls& c) {
                         c.Option5[0]->click();
                         c.Command9->click();  // "Begin": the keypad cycle on Timer1
                       });
  std::printf(
      "keypad cycle, %.0f s on a silent meter: CPU/wall %.4f (target at most %.2f), "
      "%d display reads sent\n",
      keypad.wall, keypad.cpu / keypad.wall, kTargetCpuPerWall, keypad.requests);
  return 0;
}
