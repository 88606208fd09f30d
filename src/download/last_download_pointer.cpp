#include "download/last_download_pointer.h"

#include "link/modbus_frames.h"
#include "link/reply_frame.h"

namespace norvale {
namespace {

constexpr double kReplySeconds = 5;

}  // namespace

bool ReadLastDownloadPointer(MeterLink& link, int slave, LogPointer& pointer) {
  // The reply carries no data for ReplyText, which starts empty all the same.
  link.state().ReplyText.clear();
  std::string reply;
  if (link.Transact(ReadLastDownloadPointerFrame(slave), ReadLastDownloadPointerReplyShape(slave),
                    MeterLink::Resend::Never, kReplySeconds,
                    reply) != MeterLink::ReplyOutcome::Answered) {
    return false;
  }
  // slave, 97, bank, address hi, address lo, CRC.
  pointer = {static_cast<unsigned char>(reply[2]), static_cast<unsigned char>(reply[3]),
             static_cast<unsigned char>(reply[4])};
  return true;
}

}  // namespace norvale
