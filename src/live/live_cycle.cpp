#include "live/live_cycle.h"

#include "link/modbus_frames.h"
#include "link/reply_frame.h"

namespace norvale {
namespace {

constexpr double kReplySeconds = 1;
constexpr size_t kBlockOffset = 4;  // slave, 0x63, two header bytes, then the block

}  // namespace

bool ReadLiveValues(MeterLink& link, int slave) {
  std::string reply;
  MeterLink::ReplyOutcome outcome =
      link.Transact(ReadLiveValuesFrame(slave), ReadLiveValuesReplyShape(slave),
                    MeterLink::Resend::Never, kReplySeconds, reply);
  if (outcome == MeterLink::ReplyOutcome::NoReply) return false;
  link.state().ReplyText = reply.substr(kBlockOffset, kLiveBlockSize);
  return outcome == MeterLink::ReplyOutcome::Answered;
}

bool RunLiveCycle(MeterLink& link, int slave, const LiveChoices& choices, LiveDisplayView& view) {
  if (!ReadLiveValues(link, slave)) return false;
  LiveLines lines = FormatLiveLines(DecodeLiveBlock(link.state().ReplyText), choices);
  view.setDisplayLine(0, lines.flow);
  view.setDisplayLine(1, lines.velocity);
  view.setDisplayLine(2, lines.forwardTotal);
  if (choices.kx60) view.setDisplayLine(3, lines.reverseTotal);
  view.setDisplayLine(4, lines.alarms);
  return true;
}

}  // namespace norvale
