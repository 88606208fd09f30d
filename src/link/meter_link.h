#pragma once

#include <string>
#include <utility>

#include "link/clock.h"
#include "link/event_pump.h"
#include "link/link_state.h"
#include "link/port_error_message.h"
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

  // Folds one byte into RunningCrc and returns the new register.
  int32_t CrcUpdate(int byte);

  LinkState& state() { return state_; }
  const LinkState& state() const { return state_; }
  SerialPort& port() { return port_; }
  Clock& clock() { return clock_; }
  EventPump& pump() { return pump_; }
  const SettingsRecord& settings() const { return settings_; }

  // The window installs its message box here once it exists.
  void setPortErrorReporter(PortErrorReporter reporter) { reportPortError_ = std::move(reporter); }

  // True while a transaction waits; a second one started meanwhile is refused.
  bool busy() const { return busy_; }

  // Held by every transaction, including those built on the link elsewhere (functions 97, 99).
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

  // The start every exchange shares, once its Transaction is held: yield, make sure the port is
  // open, empty both buffers, yield, and note the function and slave of the request.
  bool BeginExchange(int function, int slave);
  // Sets RunningCrc and the request CRC fields from a frame and returns it with its CRC appended.
  std::string SealRequest(const std::string& frame);
  // Takes the next reply byte through WaitForReply(1), folding it into RunningCrc when asked.
  bool TakeReplyByte(int& byte, bool foldIntoCrc);
  // Splits the running register into RespCrcHi/RespCrcLo and checks the two received bytes.
  bool TakeAndCheckReplyCrc();

  // Waits without resending until the receive buffer holds `expectedLength` bytes; false once the
  // clock reads more than `limitSeconds` after the whole-second start mark.
  bool AwaitReplyLength(int expectedLength, double limitSeconds);

  // Time of day rounded to a whole second: the marks every limit is measured from.
  double wholeSecondNow();

 private:
  enum class Resend { EverySecond, ByReplyTime };
  // Sends the request and waits for the reply length with the resend and give-up rules.
  bool sendAndAwait(const std::string& request, int expectedLength, Resend resend,
                    double giveUpSeconds);
  bool failOpen(const PortStatus& status);

  const SettingsRecord& settings_;
  SerialPort& port_;
  Clock& clock_;
  EventPump& pump_;
  PortErrorReporter reportPortError_;
  LinkState state_;
  bool busy_ = false;
};

}  // namespace norvale
