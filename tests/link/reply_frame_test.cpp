#include "link/reply_frame.h"

#include <gtest/gtest.h>

#include <string>

#include "link/crc16.h"

namespace norvale {
namespace {

// A whole reply of the shape, CRC good.
std::string ReplyOf(const ReplyShape& shape) {
  std::string frame = shape.prefix;
  frame.resize(shape.length - 2, '\x11');
  return WithCrc(frame);
}

// Every function's reply is known by its length whether it is the one awaited or not: a late or
// foreign one is skipped whole, never taken apart byte by byte as noise.
TEST(ReplyFrame, EachFunctionsReplyIsOneWholeFrameAwaitedOrNot) {
  struct Case {
    const char* function;
    ReplyShape shape;
    size_t length;
  };
  const Case cases[] = {
      {"3", ReadHoldingRegistersReplyShape(1, 10), 25},
      {"16", WriteMultipleRegistersReplyShape(1, 208, 1), 8},
      {"96", ReadLogBlockReplyShape(1, 24, 0x81, 0, 100), 209},
      {"97", ReadLastDownloadPointerReplyShape(1), 7},
      {"99", ReadLiveValuesReplyShape(1), 26},
  };
  const ReplyShape otherSlave = ReadLiveValuesReplyShape(9);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.function);
    ASSERT_EQ(c.shape.length, c.length);
    const std::string reply = ReplyOf(c.shape);
    const ReplyScan awaited = ScanReply(reply, c.shape);
    EXPECT_EQ(awaited.kind, ReplyScanKind::Reply);
    EXPECT_EQ(awaited.length, c.length);
    const ReplyScan other = ScanReply(reply, otherSlave);
    EXPECT_EQ(other.kind, ReplyScanKind::OtherFrame);
    EXPECT_EQ(other.length, c.length);
    const ReplyScan partial =
        ScanReply(std::string_view(reply).substr(0, c.length - 1), otherSlave);
    EXPECT_EQ(partial.kind, ReplyScanKind::NeedMore);
    EXPECT_EQ(partial.length, c.length);
  }
  // A log block longer than any asked for is a stray byte, not a header to wait behind.
  const ReplyScan stray =
      ScanReply(ReplyOf(ReadLogBlockReplyShape(1, 24, 0x81, 0, 129)), otherSlave);
  EXPECT_EQ(stray.kind, ReplyScanKind::Noise);
  EXPECT_EQ(stray.length, 1u);
}

}  // namespace
}  // namespace norvale
