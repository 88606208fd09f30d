#include "link/meter_link.h"

#include <utility>

#include "link/crc16.h"
#include "link/leading_number.h"
#include "link/modbus_frames.h"

namespace norvale {
namespace {

constexpr double kReadGiveUpSeconds = 30;
constexpr double kWriteGiveUpSeconds = 3;
constexpr double kLogBlockGiveUpSeconds = 30;
constexpr double kReplyByteLimitSeconds = 2;

}  // namespace

MeterLink::MeterLink(const SettingsRecord& settings, SerialPort& port, Clock& clock,
                     EventPump& pump, PortErrorReporter reportPortError)
    : settings_(settings),
      port_(port),
      clock_(clock),
      pump_(pump),
      reportPortError_(std::move(reportPortError)) {}

double MeterLink::wholeSecondNow() { return RoundHalfEven(clock_.timeOfDay()); }

bool MeterLink::failOpen(const PortStatus& status) {
  if (state_.CommErrorShown == 0) {
    state_.CommErrorShown = 1;
    PortErrorMessage message;
    message.details = status.reason;
    if (reportPortError_) reportPortError_(message);
  }
  return false;
}

bool MeterLink::OpenCommPort() {
  if (!port_.portOpen()) {
    port_.setCommPort(settings_.CommPort);
    if (PortStatus s = port_.setSettings(settings_.CommBaud + ",N,8,1"); !s.ok) return failOpen(s);
    port_.setInputLen(0);
    port_.setBinaryInputMode(true);
    if (PortStatus s = port_.setPortOpen(true); !s.ok) return failOpen(s);
    if (PortStatus s = port_.setDtrEnable(true); !s.ok) return failOpen(s);
  }
  bool open = port_.portOpen();
  // DTR is asserted on every call, also on a port that was already open.
  if (PortStatus s = port_.setDtrEnable(true); !s.ok) return failOpen(s);
  return open;
}

bool MeterLink::WaitForReply(int count) {
  double start = wholeSecondNow();
  port_.setInputLen(count);
  for (;;) {
    if (port_.inBufferCount() >= count) {
      state_.ReplyBuffer = port_.input();
      return true;
    }
    pump_.waitBriefly();
    double now = clock_.timeOfDay();
    if (now < start) start = RoundHalfEven(now);  // midnight passed
    if (now > start + kReplyByteLimitSeconds) return false;
  }
}

int32_t MeterLink::CrcUpdate(int byte) {
  state_.RunningCrc = CrcStep(static_cast<uint16_t>(state_.RunningCrc), static_cast<uint8_t>(byte));
  return state_.RunningCrc;
}

std::string MeterLink::SealRequest(const std::string& frame) {
  state_.RunningCrc = kCrcStart;
  for (char c : frame) CrcUpdate(static_cast<uint8_t>(c));
  state_.ReqCrcLo = state_.RunningCrc & 0xFF;
  state_.ReqCrcHi = (state_.RunningCrc & 0xFF00) / 256;
  std::string request = frame;
  request += static_cast<char>(state_.ReqCrcLo);
  request += static_cast<char>(state_.ReqCrcHi);
  return request;
}

bool MeterLink::TakeReplyByte(int& byte, bool foldIntoCrc) {
  if (!WaitForReply(1) || state_.ReplyBuffer.empty()) return false;
  byte = static_cast<uint8_t>(state_.ReplyBuffer[0]);
  if (foldIntoCrc) CrcUpdate(byte);
  return true;
}

bool MeterLink::TakeAndCheckReplyCrc() {
  state_.RespCrcHi = (state_.RunningCrc & 0xFF00) / 256;
  state_.RespCrcLo = state_.RunningCrc & 0xFF;
  int receivedLo = 0;
  int receivedHi = 0;
  if (!TakeReplyByte(receivedLo, false) || !TakeReplyByte(receivedHi, false)) return false;
  return receivedHi == state_.RespCrcHi && receivedLo == state_.RespCrcLo;
}

bool MeterLink::sendAndAwait(const std::string& request, int expectedLength, Resend resend,
                             double giveUpSeconds) {
  port_.output(request);
  pump_.yieldOnce();
  double resendMark = wholeSecondNow();
  double giveUpMark = resendMark;
  double baud = LeadingNumberValue(settings_.CommBaud);
  // Function 96 allows 150 bit times per expected byte before it asks again.
  double resendInterval = baud > 0 ? 150.0 * expectedLength / baud : 0;

  while (port_.inBufferCount() < expectedLength) {
    pump_.waitBriefly();
    if (port_.inBufferCount() >= expectedLength) break;
    // A port that closed under us (adapter pulled) will not deliver the rest.
    if (!port_.portOpen()) return false;
    double now = clock_.timeOfDay();
    if (resend == Resend::EverySecond) {
      if (now < resendMark) resendMark = RoundHalfEven(now);
      if (now - resendMark > 1) {
        if (now < giveUpMark) giveUpMark = RoundHalfEven(now);
        if (now - giveUpMark >= giveUpSeconds) return false;
        // The receive buffer is kept: a late reply may still complete.
        port_.output(request);
        resendMark = RoundHalfEven(now);
      }
    } else {
      if (now < resendMark) resendMark = RoundHalfEven(now);
      if (now < giveUpMark) giveUpMark = RoundHalfEven(now);
      if (resendInterval > 0 && now > resendMark + resendInterval) {
        port_.discardInBuffer();
        port_.discardOutBuffer();
        port_.output(request);
        resendMark = RoundHalfEven(now);
      }
      if (now > giveUpMark + giveUpSeconds) return false;
    }
  }
  return true;
}

bool MeterLink::AwaitReplyLength(int expectedLength, double limitSeconds) {
  double start = wholeSecondNow();
  while (port_.inBufferCount() < expectedLength) {
    pump_.waitBriefly();
    if (port_.inBufferCount() >= expectedLength) break;
    if (!port_.portOpen()) return false;
    double now = clock_.timeOfDay();
    if (now < start) start = RoundHalfEven(now);
    if (now > start + limitSeconds) return false;
  }
  return true;
}

bool MeterLink::BeginExchange(int function, int slave) {
  pump_.yieldOnce();
  if (!OpenCommPort()) return false;
  port_.discardInBuffer();
  port_.discardOutBuffer();
  pump_.yieldOnce();
  state_.ReqFunction = function;
  state_.ReqSlaveId = slave;
  return true;
}

bool MeterLink::ReadHoldingRegisters(int slave, int startHi, int startLo, int count) {
  Transaction transaction(*this);
  if (!transaction.acquired() || !BeginExchange(kReadHoldingRegisters, slave)) return false;
  state_.ReqCountHi = static_cast<int16_t>(count / 256);
  state_.ReqCountLo = static_cast<int16_t>(count & 0xFF);
  std::string request = SealRequest(ReadHoldingRegistersFrame(slave, startHi, startLo, count));
  if (!sendAndAwait(request, ReadHoldingRegistersReplyLength(count), Resend::EverySecond,
                    kReadGiveUpSeconds)) {
    return false;
  }

  state_.RunningCrc = kCrcStart;
  int byte = 0;
  if (!TakeReplyByte(byte, true) || !TakeReplyByte(byte, true)) return false;
  int byteCount = 0;
  if (!TakeReplyByte(byteCount, true)) return false;
  state_.ReplyText.clear();
  for (int i = 0; i < byteCount; ++i) {
    if (!TakeReplyByte(byte, true)) return false;
    state_.ReplyText += static_cast<char>(byte);
  }
  return TakeAndCheckReplyCrc();
}

bool MeterLink::WriteMultipleRegisters(int slave, int start, int count, int byteCount) {
  Transaction transaction(*this);
  if (!transaction.acquired() || !BeginExchange(kWriteMultipleRegisters, slave)) return false;
  state_.ReqCountHi = static_cast<int16_t>(count / 256);
  state_.ReqCountLo = static_cast<int16_t>(count & 0xFF);
  std::string request = SealRequest(WriteMultipleRegistersFrame(
      slave, start, count, byteCount, state_.WriteHiBytes, state_.WriteLoBytes));
  if (!sendAndAwait(request, kWriteMultipleRegistersReplyLength, Resend::EverySecond,
                    kWriteGiveUpSeconds)) {
    return false;
  }

  state_.RunningCrc = kCrcStart;
  int byte = 0;
  for (int i = 0; i < 6; ++i) {
    if (!TakeReplyByte(byte, true)) return false;
  }
  return TakeAndCheckReplyCrc();
}

bool MeterLink::ReadLogBlock(int slave, int bank, int addressHi, int addressLo, int words) {
  Transaction transaction(*this);
  if (!transaction.acquired() || !BeginExchange(kReadLogBlock, slave)) return false;
  state_.ReqCountHi = static_cast<int16_t>(words / 256);
  state_.ReqCountLo = static_cast<int16_t>(words & 0xFF);
  std::string request = SealRequest(ReadLogBlockFrame(slave, bank, addressHi, addressLo, words));
  if (!sendAndAwait(request, ReadLogBlockReplyLength(words), Resend::ByReplyTime,
                    kLogBlockGiveUpSeconds)) {
    return false;
  }

  state_.RunningCrc = kCrcStart;
  int byte = 0;
  for (int i = 0; i < 5; ++i) {
    if (!TakeReplyByte(byte, true)) return false;
  }
  int lengthHi = 0;
  int lengthLo = 0;
  if (!TakeReplyByte(lengthHi, true) || !TakeReplyByte(lengthLo, true)) return false;
  int dataLength = lengthHi * 256 + lengthLo;
  state_.ReplyText.clear();
  for (int i = 0; i < dataLength; ++i) {
    if (!TakeReplyByte(byte, true)) return false;
    state_.ReplyText += static_cast<char>(byte);
  }
  // A block damaged on the line must not be decoded as good data: refuse it so it is read again.
  return TakeAndCheckReplyCrc();
}

}  // namespace norvale
