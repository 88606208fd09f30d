#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace norvale {

// What the answer to one request looks like (frame_shapes.h draws them): the bytes it must start
// with (slave, function and whatever the meter echoes of the request) and its whole length, CRC
// included.
struct ReplyShape {
  std::string prefix;
  size_t length = 0;
};

ReplyShape ReadHoldingRegistersReplyShape(int slave, int count);
ReplyShape WriteMultipleRegistersReplyShape(int slave, int start, int count);
ReplyShape ReadLogBlockReplyShape(int slave, int bank, int addressHi, int addressLo, int words);
ReplyShape ReadLastDownloadPointerReplyShape(int slave);
ReplyShape ReadLiveValuesReplyShape(int slave);

// Whether a whole frame has the shape (its CRC is not looked at).
bool FrameFits(std::string_view frame, const ReplyShape& shape);

enum class ReplyScanKind {
  NeedMore,      // the frame at the front is not complete: `length` bytes are needed
  Reply,         // the first `length` bytes are the awaited reply, CRC good
  DamagedReply,  // the first `length` bytes have the awaited reply's shape but a wrong CRC
  OtherFrame,    // a whole frame with a good CRC that answers something else: skip `length`
  Noise,         // no frame starts at the first byte: skip it
};

struct ReplyScan {
  ReplyScanKind kind = ReplyScanKind::NeedMore;
  size_t length = 0;
};

// Looks at the bytes received so far for the reply of the given shape. A late answer to an
// earlier request, an exception reply or the tail of a reply cut off by a resend is recognised
// as such (OtherFrame, Noise) so that the caller can drop it and go on waiting.
ReplyScan ScanReply(std::string_view received, const ReplyShape& awaited);

}  // namespace norvale
