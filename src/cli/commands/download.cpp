#include "cli/commands/download.h"

#include <QElapsedTimer>
#include <string>

#include "cli/exit_codes.h"
#include "cli/serial_device.h"
#include "cli/termination_signals.h"
#include "dialer/modem_dialer.h"
#include "download/download_commands.h"
#include "link/any_device_port.h"
#include "link/meter_link.h"
#include "link/qt_event_pump.h"
#include "link/system_clock.h"

namespace norvale {
namespace {

// The modem takes "+++" as an escape only after a second of silence on the line.
constexpr int kEscapeGuardMilliseconds = 1500;

// The modem's replies and the dialer's texts, each on a line of standard error.
class PrintedDialerStatus : public DialerView {
 public:
  explicit PrintedDialerStatus(TerminalDownloadView& view) : view_(view) {}

  // "Dialing N" shows again once the modem said OK: on a terminal once is enough.
  void setDialerStatus(const std::string& text) override {
    if (!text.empty() && text != lastText_) view_.printLine(text);
    lastText_ = text;
  }
  // A reply grows a byte at a time: each of its lines is printed once, when complete.
  void setModemReply(const std::string& reply) override {
    if (reply.size() <= linesDone_) linesDone_ = 0;  // a new reply
    for (size_t end; (end = reply.find_first_of("\r\n", linesDone_)) != std::string::npos;) {
      const std::string line = reply.substr(linesDone_, end - linesDone_);
      linesDone_ = end + 1;
      if (!line.empty()) view_.printLine("Modem: " + line);
    }
  }

 private:
  TerminalDownloadView& view_;
  std::string lastText_;
  size_t linesDone_ = 0;
};

// The serial line of the command: the port, the clock and the pump the link works with.
struct SerialLine {
  SerialLine(const CliOptions& options, const SettingsRecord& settings, TerminalDownloadView& view)
      : device(SerialDevicePath(options.device)),
        port([this](int) { return device; }, pump),
        link(settings, port, clock, pump,
             [&view](const PortErrorMessage& message) { view.printLine(PortErrorLine(message)); }) {
  }

  std::string device;
  QtEventPump pump;
  AnyDevicePort port;
  SystemClock clock;
  MeterLink link;
};

void PauseInEventLoop(EventPump& pump, int milliseconds) {
  QElapsedTimer since;
  since.start();
  for (qint64 left; (left = milliseconds - since.elapsed()) > 0;) {
    pump.waitForEvents(static_cast<double>(left) / 1000);
  }
}

void HangUp(MeterLink& link, DialerView& modem) {
  PauseInEventLoop(link.pump(), kEscapeGuardMilliseconds);
  HangUpModem(link, modem);
}

}  // namespace

int RunDownload(const CliOptions& options, SettingsRecord& settings, RecordTable& records,
                TerminalDownloadView& view, LinkTrace* trace) {
  SerialLine line(options, settings, view);
  MeterLink& link = line.link;
  link.setTrace(trace);
  DownloadCommands commands(link, settings, records, view, view);
  PrintedDialerStatus modem(view);
  bool dialing = false;
  bool stopDialing = false;
  // A signal stops a dial where it waits; a download can only be stopped by shutting the link
  // down, which closes the port, so the hang-up then takes the line on a port of its own.
  TerminationSignals stopSignals([&] {
    if (dialing) {
      stopDialing = true;
    } else {
      link.Shutdown();
    }
  });

  if (!options.dial.empty()) {
    dialing = true;
    const DialResult dialed = DialModem(link, options.modemInit, options.dial, modem, stopDialing);
    dialing = false;
    if (dialed != DialResult::Connected || stopDialing) {
      HangUpModem(link, modem);
      view.setStatusText("Could not connect");
      return stopSignals.caught() != 0 ? stopSignals.exitStatus() : kExitCouldNotConnect;
    }
  }
  const DownloadOutcome outcome =
      options.sinceLast ? commands.SinceLastTime() : commands.DownloadData();
  if (!options.dial.empty()) {
    if (link.shutDown()) {
      SerialLine hangUpLine(options, settings, view);
      if (hangUpLine.link.OpenCommPort()) HangUp(hangUpLine.link, modem);
    } else {
      HangUp(link, modem);
    }
    view.restateStatus();  // the download's outcome stays the last line
  }
  return stopSignals.caught() != 0 ? stopSignals.exitStatus() : ExitCodeOf(outcome);
}

}  // namespace norvale
