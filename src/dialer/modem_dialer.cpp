#include "dialer/modem_dialer.h"

#include <initializer_list>
#include <optional>
#include <string_view>

#include "dialer/link_modem_line.h"

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

// The modem's line and what the dialer's waits run on.
struct Modem {
  ModemLine& line;
  Clock& clock;
  EventPump& pump;
};

// Takes one waiting byte, if any, onto the reply text and shows the whole text.
void TakeWaitingByte(ModemLine& line, std::string& reply, DialerView& view) {
  if (std::optional<char> byte = line.takeByte()) {
    reply += *byte;
    view.setModemReply(reply);
  }
}

void WaitYielding(const Modem& modem, double seconds) {
  Stopwatch waited(modem.clock);
  while (waited.seconds() < seconds && !modem.line.shutDown()) modem.pump.waitBriefly();
}

void Send(const Modem& modem, const std::string& text) {
  modem.line.write(text);
  modem.pump.yieldOnce();
}

void DropDtrAndClose(const Modem& modem) {
  modem.line.setDtr(false);
  modem.pump.yieldOnce();
  modem.line.close();
}

// A carriage return wakes the modem; whatever it says to that is dropped.
void WakeModem(const Modem& modem) {
  Send(modem, "\r");
  modem.pump.pauseWithoutYield(kWakeSeconds);
  modem.line.discardBuffers();
  modem.pump.yieldOnce();
}

// The init string, then its "OK": nothing once it came, else how the dial ends.
std::optional<DialResult> Initialise(const Modem& modem, const std::string& initString,
                                     DialerView& view, const bool& abort) {
  Send(modem, initString + "\r");
  view.setDialerWait("Waiting up to " + SecondsText(kAcknowledgeSeconds) + " s for the modem's OK");
  Stopwatch sinceInit(modem.clock);
  std::string reply;
  for (;;) {
    modem.pump.waitBriefly();
    if (abort || modem.line.shutDown()) return DialResult::Aborted;
    if (sinceInit.seconds() > kAcknowledgeSeconds) {
      view.setDialerStatus("Could not connect");
      return DialResult::CouldNotConnect;
    }
    TakeWaitingByte(modem.line, reply, view);
    if (containsAny(reply, {"OK", "Ok", "ok"})) return std::nullopt;
  }
}

// The number, then "CONNECT" and a few seconds more of what the modem says.
DialResult Dial(const Modem& modem, const std::string& number, DialerView& view,
                const bool& abort) {
  modem.pump.yieldOnce();
  Send(modem, "ATDT " + number + "\r");
  view.setDialerWait("Waiting up to " + SecondsText(kConnectSeconds) + " s for CONNECT");
  Stopwatch sinceDial(modem.clock);
  std::string reply;
  std::optional<double> connectedAt;
  for (;;) {
    if (sinceDial.seconds() > kConnectSeconds) {
      view.setDialerStatus("Could not connect");
      return DialResult::CouldNotConnect;
    }
    modem.pump.waitBriefly();
    if (abort || modem.line.shutDown()) return DialResult::Aborted;
    TakeWaitingByte(modem.line, reply, view);
    if (!connectedAt && containsAny(reply, {"Connect", "CONNECT"})) {
      connectedAt = sinceDial.seconds();
    }
    // What follows the connect message is still shown for a few seconds.
    if (connectedAt && sinceDial.seconds() - *connectedAt > kAfterConnectSeconds) {
      return DialResult::Connected;
    }
  }
}

// The port was closed: the DTR pulse goes out on a port opened for it.
bool PulseDtrOnClosedPort(const Modem& modem, DialerView& view) {
  if (!modem.line.open()) return false;
  modem.pump.yieldOnce();
  modem.line.setDtr(true);
  modem.pump.pauseWithoutYield(kClosedPortPulseSeconds);
  view.setDialerStatus("Com port already closed");
  DropDtrAndClose(modem);
  return true;
}

}  // namespace

DialResult DialModem(ModemLine& line, Clock& clock, EventPump& pump, const std::string& initString,
                     const std::string& number, DialerView& view, const bool& abort) {
  const Modem modem{line, clock, pump};
  if (!line.open()) return DialResult::PortNotOpened;
  const std::string dialing = "Dialing " + number;
  view.setDialerStatus(dialing);
  // Cleared on every way out, an abort included.
  struct WaitShown {
    DialerView& view;
    ~WaitShown() { view.setDialerWait(""); }
  } waitShown{view};
  WakeModem(modem);
  if (std::optional<DialResult> ended = Initialise(modem, initString, view, abort)) return *ended;
  view.setDialerStatus(dialing);
  const DialResult result = Dial(modem, number, view, abort);
  if (result != DialResult::Aborted) {
    line.discardBuffers();
    pump.yieldOnce();
  }
  return result;
}

DialResult DialModem(MeterLink& link, const std::string& initString, const std::string& number,
                     DialerView& view, const bool& abort) {
  LinkModemLine line(link);
  return DialModem(line, link.clock(), link.pump(), initString, number, view, abort);
}

bool HangUpModem(ModemLine& line, Clock& clock, EventPump& pump, DialerView& view) {
  const Modem modem{line, clock, pump};
  if (!line.isOpen()) return PulseDtrOnClosedPort(modem, view);
  view.setDialerStatus("Hanging up Line");
  Send(modem, "+++");
  pump.pauseWithoutYield(kGuardSeconds);
  Send(modem, "ATH0\r");
  DropDtrAndClose(modem);
  WaitYielding(modem, kDtrSeconds);
  if (line.open()) {
    pump.yieldOnce();
    line.setDtr(true);
    WaitYielding(modem, kDtrSeconds);
    DropDtrAndClose(modem);
  }
  view.setDialerStatus("Okay");
  return true;
}

bool HangUpModem(MeterLink& link, DialerView& view) {
  LinkModemLine line(link);
  return HangUpModem(line, link.clock(), link.pump(), view);
}

}  // namespace norvale
