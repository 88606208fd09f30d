#include "cli/commands/live.h"

#include <signal.h>

#include <QElapsedTimer>
#include <array>
#include <cstdio>
#include <string>

#include "cli/exit_codes.h"
#include "cli/serial_device.h"
#include "link/any_device_port.h"
#include "link/meter_link.h"
#include "link/qt_event_pump.h"
#include "link/system_clock.h"
#include "live/live_cycle.h"

namespace norvale {
namespace {

volatile sig_atomic_t gInterrupted = 0;
extern "C" void NoteInterrupt(int) { gInterrupted = 1; }

// The first Ctrl-C ends `live` after the poll under way, so that its trace gets its summary;
// a second one ends it at once.
void EndLiveOnInterrupt() {
  struct sigaction action {};
  action.sa_handler = NoteInterrupt;
  action.sa_flags = SA_RESETHAND;
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
}

// Runs the event loop until `milliseconds` have passed since `since` started.
void WaitInEventLoop(EventPump& pump, const QElapsedTimer& since, int milliseconds) {
  for (qint64 left; (left = milliseconds - since.elapsed()) > 0 && !gInterrupted;) {
    pump.waitForEvents(static_cast<double>(left) / 1000);
  }
}

// The display boxes of the live page, printed on standard output once per answered poll.
class PrintedLiveDisplay : public LiveDisplayView {
 public:
  void setDisplayLine(int index, const std::string& text) override {
    if (index >= 0 && index < static_cast<int>(lines_.size())) lines_[index] = text;
  }
  void print(bool kx60) {
    for (int i = 0; i < static_cast<int>(lines_.size()); ++i) {
      if (i != 3 || kx60) std::printf("%s\n", lines_[i].c_str());
    }
    std::printf("\n");
    std::fflush(stdout);
  }

 private:
  std::array<std::string, 5> lines_;
};

}  // namespace

int RunLive(const CliOptions& options, SettingsRecord& settings, LinkTrace* trace) {
  constexpr int kPollMilliseconds = 1000;
  const std::string device = SerialDevicePath(options.device);
  QtEventPump pump;
  AnyDevicePort port([&](int) { return device; }, pump);
  SystemClock clock;
  MeterLink link(settings, port, clock, pump, [](const PortErrorMessage& message) {
    std::fprintf(stderr, "%s\n", PortErrorLine(message).c_str());
  });
  link.setTrace(trace);
  const LiveChoices choices{options.flowUnit, options.flowFormat, options.velocityUnit,
                            options.meter == "KX60"};
  PrintedLiveDisplay display;
  int answered = 0;
  EndLiveOnInterrupt();
  for (int poll = 1; (options.count == 0 || poll <= options.count) && !gInterrupted; ++poll) {
    QElapsedTimer period;
    period.start();
    if (RunLiveCycle(link, settings.CommSlaveID, choices, display)) {
      ++answered;
      display.print(choices.kx60);
    } else {
      std::fprintf(stderr, "No answer to poll %d\n", poll);
    }
    if (options.count != 0 && poll == options.count) break;
    // The rest of the second in the event loop, as the window's timer would wait.
    WaitInEventLoop(pump, period, kPollMilliseconds);
  }
  return answered > 0 ? kExitSuccess : kExitDownloadError;
}

}  // namespace norvale
