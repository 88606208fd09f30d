#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "link/clock.h"
#include "link/event_pump.h"
#include "link/link_state.h"
#include "link/link_trace.h"
#include "link/port_error_message.h"
#include "link/reply_frame.h"
#include "link/serial_port.h"
#include "link/settings_record.h"

namespace norvale {

// The serial port session and the Modbus RTU transactions with the meter. All results are
// True/False; nothing here shows anything but the port error message, through the reporter.
class MeterLink {
 public:
  MeterLink(const SettingsRecord& settings, SerialPort& port, Clock& clock, EventPump& pump,
            PortErrorReporter reportPortError);

  bool OpenCommPort();
  bool WaitForReply(int count);

  bool ReadHoldingRegisters(int slave, int startHi, int startLo, int count);
  bool WriteMultipleRegisters(int slave, int start, int count, int byteCount);
  bool ReadLogBlock(int slave, int bank, int addressHi, int addressLo, int words);

  LinkState& state() { return state_; }
  const LinkState& state() const { return state_; }
  SerialPort& port() { return port_; }
  Clock& clock() { return clock_; }
  EventPump& pump() { return pump_; }
  const SettingsRecord& settings() const { return settings_; }

  // The window installs its message box here once it exists.
  void setPortErrorReporter(PortErrorReporter reporter) { reportPortError_ = std::move(reporter); }

  // Every frame sent and received from now on is told to `trace`; nullptr stops it.
  void setTrace(LinkTrace* trace) { trace_ = trace; }

  // How many exchanges found the port closed under them: the line dropped.
  int linesLost() const { return linesLost_; }

  // True while a transaction waits; a second one started meanwhile is refused.
  bool busy() const { return busy_; }

  // Held by every transaction, and by the dialer while it talks to the modem on the port.
  class Transaction {
   public:
    explicit Transaction(MeterLink& link) : link_(link), acquired_(!link.busy_) {
      if (acquired_) link_.busy_ = true;
    }
    ~Transaction() {
      if (acquired_) link_.busy_ = false;
    }
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;
    bool acquired() const { return acquired_; }

   private:
    MeterLink& link_;
    bool acquired_;
  };

  // When a request is sent again: every second while no whole reply is there (functions 3 and
  // 16), after the reply's own line time with both buffers emptied first (function 96), or never.
  enum class Resend { Never, EverySecond, ByReplyTime };
  enum class ReplyOutcome { Answered, Damaged, NoReply };
  // One whole transaction, as every meter function has it: refused while another one waits;
  // yield, make sure the port is open, empty both buffers, yield; send the frame with its CRC;
  // wait, with the resend and give-up rules, for the frame that answers it. Answered (CRC good)
  // or Damaged (its shape, CRC wrong), `reply` then holding the whole frame; NoReply when it
  // could not start or the limit passed. Replies to anything else, late answers to a request
  // sent again among them, are dropped on the way and never taken for this one.
  ReplyOutcome Transact(const std::string& frame, const ReplyShape& shape, Resend resend,
                        double giveUpSeconds, std::string& reply);

  // How the last transaction ended: a caller that reads again tells a damaged reply (the meter
  // is there) from silence.
  ReplyOutcome lastReplyOutcome() const { return lastOutcome_; }

  // The program is ending: every wait ends at once, the port is closed, and no exchange starts
  // again.
  void Shutdown();
  bool shutDown() const { return shutDown_; }
  // Shut down, or the work under way stopped by the user (EventPump::requestCancel): waits end
  // and no exchange starts until the stop is cleared.
  bool halted() const { return shutDown_ || pump_.stopRequested(); }

 private:
  bool BeginExchange();
  ReplyOutcome Exchange(const std::string& request, const ReplyShape& shape, Resend resend,
                        double giveUpSeconds, std::string& frame);
  // Sleeps in the event loop until bytes arrive or just past `moment` (a time of day).
  void waitUntil(double moment, double now);
  // Naps while the rest of a reply under way comes in; false when there is nothing to nap for.
  bool napWhileBytesCome(size_t have, size_t needed, double baud, double secondsToRule);

  // A request with the copies of it that went out unanswered, so that their late answers can be
  // told from the reply to the next request.
  struct SentRequest {
    std::string request;
    ReplyShape shape;
    std::vector<double> unansweredAt;  // when each copy went out, oldest first
  };
  void send(SentRequest& sent, bool again);
  // The exchange under way: its request and what its reply still needs.
  struct Awaited {
    SentRequest sent;
    Resend resend;
    size_t needed;    // bytes to have before the front frame is looked at again
    double baud = 0;  // of the port's settings: the line time of a reply under way
    // Late answers dropped as the answers to the same request asked by the exchange before.
    int lateForSameRequest = 0;
  };
  std::optional<ReplyOutcome> takeReply(Awaited& awaited, std::string& frame);
  bool passesOver(Awaited& awaited, ReplyScanKind kind, std::string_view front);
  size_t waitingBytes();
  void waitForRule(const Awaited& awaited, double moment, double now);
  void sendAgain(Awaited& awaited, bool emptyBuffersFirst);
  void keepUnansweredCopies(Awaited& awaited, ReplyOutcome outcome);
  ReplyOutcome finish(Awaited& awaited, ReplyOutcome outcome);
  void traceUnscanned(const ReplyShape& shape);
  void trace(TraceEvent event, std::string_view bytes) {
    if (trace_) trace_->traced(event, bytes);
  }
  bool isLateAnswer(std::string_view frame);
  bool failOpen(const PortStatus& status);

  const SettingsRecord& settings_;
  SerialPort& port_;
  Clock& clock_;
  EventPump& pump_;
  PortErrorReporter reportPortError_;
  LinkState state_;
  bool busy_ = false;
  ReplyOutcome lastOutcome_ = ReplyOutcome::NoReply;
  bool shutDown_ = false;
  int linesLost_ = 0;
  std::string received_;  // taken from the port, not yet part of a reply
  SentRequest previous_;
  // What the open port was opened with, to tell it from the port and settings chosen now.
  struct OpenedAs {
    int16_t commPort = 0;
    std::string lineSettings;
    std::string device;
    bool operator==(const OpenedAs&) const = default;
  } openedAs_;
  LinkTrace* trace_ = nullptr;
};

}  // namespace norvale
