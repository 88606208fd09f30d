#include "download/last_download_pointer.h"

#include "link/crc16.h"
#include "link/modbus_frames.h"

namespace norvale {

bool ReadLastDownloadPointer(MeterLink& link, int slave, LogPointer& pointer) {
  MeterLink::Transaction transaction(link);
  if (!transaction.acquired() || !link.BeginExchange(kReadLastDownloadPointer, slave)) {
    return false;
  }
  LinkState& state = link.state();
  link.port().output(link.SealRequest(ReadLastDownloadPointerFrame(slave)));
  link.pump().yieldOnce();
  state.ReplyText.clear();
  if (!link.AwaitReplyLength(kReadLastDownloadPointerReplyLength, 5)) return false;

  state.RunningCrc = kCrcStart;
  int byte = 0;
  LogPointer received;
  if (!link.TakeReplyByte(byte, true) || !link.TakeReplyByte(byte, true) ||
      !link.TakeReplyByte(received.bank, true) || !link.TakeReplyByte(received.high, true) ||
      !link.TakeReplyByte(received.low, true)) {
    return false;
  }
  if (!link.TakeAndCheckReplyCrc()) return false;
  pointer = received;
  return true;
}

}  // namespace norvale
