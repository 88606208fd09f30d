#include "download/last_download_pointer.h"

#include "link/modbus_frames.h"
#include "link/reply_frame.h"

namespace norvale {
namespace {

constexpr double kReplySeconds = 5;

}  // namespace

bool ReadLastDownloadPointer(MeterLink& link, int slave, LogPointer& pointer) {
  MeterLink::Transaction transaction(link);
  if (!transaction.acquired() || !link.BeginExchange(kReadLastDownloadPointer, slave)) {
    return false;
  }
  std::string request = link.SealRequest(ReadLastDownloadPointerFrame(slave));
  link.state().ReplyText.clear();
  std::string frame;
  MeterLink::ReplyOutcome outcome = link.Exchange(request, ReadLastDownloadPointerReplyShape(slave),
                                                  MeterLink::Resend::Never, kReplySeconds, frame);
  if (outcome == MeterLink::ReplyOutcome::NoReply) return false;
  // slave, 97, bank, address hi, address lo, CRC.
  link.FoldReplyCrc(frame);
  if (outcome != MeterLink::ReplyOutcome::Answered) return false;
  pointer = {static_cast<unsigned char>(frame[2]), static_cast<unsigned char>(frame[3]),
             static_cast<unsigned char>(frame[4])};
  return true;
}

}  // namespace norvale
