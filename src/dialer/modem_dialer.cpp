#include "dialer/modem_dialer.h"

#include <initializer_list>
#include <string_view>

namespace norvale {
namespace {

constexpr double kAcknowledgeSeconds = 120;
constexpr double kConnectSeconds = 180;
constexpr double kAfterConnectSeconds = 3;
constexpr double kWakeSeconds = 1;
constexpr double kGuardSeconds = 2;
constexpr double kDtrSeconds = 1;
constexpr double kClosedPortPulseSeconds = 2;

bool containsAny(const std::string& text, std::initializer_list<std::string_view> words) {
  for (std::string_view word : words) {
    if (text.find(word) != std::string::npos) return true;
  }
  return false;
}

std::string SecondsText(double seconds) { return std::to_string(static_cast<int>(seconds)); }

// Elapsed seconds on the time of day, across midnight.
class Stopwatch {
 public:
  explicit Stopwatch(Clock& clock) : clock_(clock), start_(clock.timeOfDay()) {}
  double seconds() const { return SecondsBetween(start_, clock_.timeOfDay()); }

 private:
  Clock& clock_;
  double start_;
};

// Takes one waiting byte, if any, onto the reply text and shows the whole text.
void TakeWaitingByte(MeterLink& link, std::string& reply, DialerView& view) {
  if (link.port().inBufferCount() <= 0 || !link.WaitForReply(1)) return;
  if (link.state().ReplyBuffer.empty()) return;
  reply += link.state().ReplyBuffer[0];
  view.setModemReply(reply);
}

void WaitYielding(MeterLink& link, double seconds) {
  Stopwatch waited(link.clock());
  while (waited.seconds() < seconds && !link.shutDown()) link.pump().waitBriefly();
}

void DropDtrAndClose(MeterLink& link) {
  link.port().setDtrEnable(false);
  link.pump().yieldOnce();
  link.port().setPortOpen(false);
}

}  // namespace

DialResult DialModem(MeterLink& link, const std::string& initString, const std::string& number,
                     DialerView& view, const bool& abort) {
  SerialPort& port = link.port();
  EventPump& pump = link.pump();
  if (!link.OpenCommPort()) return DialResult::PortNotOpened;
  std::string reply;
  const std::string dialing = "Dialing " + number;
  view.setDialerStatus(dialing);
  // Cleared on every way out, an abort included.
  struct WaitShown {
    DialerView& view;
    ~WaitShown() { view.setDialerWait(""); }
  } waitShown{view};
  port.output("\r");
  pump.yieldOnce();
  pump.pauseWithoutYield(kWakeSeconds);
  port.discardInBuffer();
  port.discardOutBuffer();
  pump.yieldOnce();

  port.output(initString + "\r");
  pump.yieldOnce();
  view.setDialerWait("Waiting up to " + SecondsText(kAcknowledgeSeconds) + " s for the modem's OK");
  Stopwatch sinceInit(link.clock());
  for (;;) {
    pump.waitBriefly();
    if (abort || link.shutDown()) return DialResult::Aborted;
    if (sinceInit.seconds() > kAcknowledgeSeconds) {
      view.setDialerStatus("Could not connect");
      return DialResult::CouldNotConnect;
    }
    TakeWaitingByte(link, reply, view);
    if (containsAny(reply, {"OK", "Ok", "ok"})) break;
  }
  view.setDialerStatus(dialing);

  pump.yieldOnce();
  std::string dial = "ATDT ";
  port.output(dial.append(number).append("\r"));
  pump.yieldOnce();
  view.setDialerWait("Waiting up to " + SecondsText(kConnectSeconds) + " s for CONNECT");
  Stopwatch sinceDial(link.clock());
  reply.clear();
  bool connected = false;
  double connectedAt = 0;
  DialResult result = DialResult::Connected;
  for (;;) {
    if (sinceDial.seconds() > kConnectSeconds) {
      view.setDialerStatus("Could not connect");
      result = DialResult::CouldNotConnect;
      break;
    }
    pump.waitBriefly();
    if (abort || link.shutDown()) return DialResult::Aborted;
    TakeWaitingByte(link, reply, view);
    if (!connected && containsAny(reply, {"Connect", "CONNECT"})) {
      connected = true;
      connectedAt = sinceDial.seconds();
    }
    // What follows the connect message is still shown for a few seconds.
    if (connected && sinceDial.seconds() - connectedAt > kAfterConnectSeconds) break;
  }
  port.discardInBuffer();
  port.discardOutBuffer();
  pump.yieldOnce();
  return result;
}

bool HangUpModem(MeterLink& link, DialerView& view) {
  SerialPort& port = link.port();
  EventPump& pump = link.pump();
  if (!port.portOpen()) {
    if (!link.OpenCommPort()) return false;
    pump.yieldOnce();
    port.setDtrEnable(true);
    pump.pauseWithoutYield(kClosedPortPulseSeconds);
    view.setDialerStatus("Com port already closed");
    DropDtrAndClose(link);
    return true;
  }
  view.setDialerStatus("Hanging up Line");
  port.output("+++");
  pump.yieldOnce();
  pump.pauseWithoutYield(kGuardSeconds);
  port.output("ATH0\r");
  pump.yieldOnce();
  DropDtrAndClose(link);
  WaitYielding(link, kDtrSeconds);
  if (link.OpenCommPort()) {
    pump.yieldOnce();
    port.setDtrEnable(true);
    WaitYielding(link, kDtrSeconds);
    DropDtrAndClose(link);
  }
  view.setDialerStatus("Okay");
  return true;
}

}  // namespace norvale
