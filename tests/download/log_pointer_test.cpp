#include "download/log_pointer.h"

#include <gtest/gtest.h>

#include "download/status_block.h"

namespace norvale {
namespace {

TEST(LogPointer, ByteCountCountsTheWrapPastTheLastBank) {
  struct Case {
    LogPointer start, end;
    int32_t bytes;
  };
  for (Case c : {Case{{8, 0x80, 0}, {8, 0x84, 0}, 1024}, Case{{0x17, 0xBF, 0}, {8, 0x81, 0}, 512},
                 Case{{8, 0x80, 0}, {8, 0x80, 0}, 0}, Case{{8, 0x80, 0}, {8, 0x81, 8}, 264},
                 Case{{8, 0x80, 0}, {8, 0x80, 200}, 200}, Case{{8, 0x80, 8}, {8, 0x80, 0}, 262136},
                 Case{{8, 0x80, 0}, {0x17, 0xBF, 0xF8}, 262136}}) {
    EXPECT_EQ(LogByteCount(c.start, c.end), c.bytes);
  }
}

TEST(LogPointer, CarriesRunFromLowByteToHighByteToBankAndRoundTheRing) {
  LogPointer p{9, 0xBF, 0xF8};
  p.low += 8;
  p.carry();
  EXPECT_EQ(p, (LogPointer{0x0A, 0x80, 0x00}));

  LogPointer last{0x17, 0xBF, 0x00};
  last.high += 1;
  last.carry();
  EXPECT_EQ(last, (LogPointer{8, 0x80, 0x00}));

  EXPECT_TRUE((LogPointer{8, 0x80, 0}).inRing());
  EXPECT_FALSE((LogPointer{24, 0x80, 0}).inRing());
  EXPECT_FALSE((LogPointer{8, 0x7F, 0}).inRing());
}

TEST(StatusBlock, PortableLayoutTakesEveryFieldOneByteEarlier) {
  std::string standard = {0, 8, char(0x80), 0, 0, 8, char(0x84), 0, 0x42, 0, 0, 0, 0x47, 0, 0, 0};
  StatusBlock s = ParseStatusBlock(standard, false);
  EXPECT_EQ(s.start, (LogPointer{8, 0x80, 0}));
  EXPECT_EQ(s.end, (LogPointer{8, 0x84, 0}));
  EXPECT_EQ(s.recordsUsed[0], 0x42);
  EXPECT_EQ(s.recordsAvailable[0], 0x47);

  StatusBlock p = ParseStatusBlock(standard.substr(1) + '\0', true);
  EXPECT_EQ(p.start, s.start);
  EXPECT_EQ(p.end, s.end);
  EXPECT_EQ(p.recordsUsed, s.recordsUsed);
  EXPECT_EQ(p.recordsAvailable, s.recordsAvailable);

  // A short reply reads as zeros, not past the end.
  EXPECT_EQ(ParseStatusBlock("", false).end, (LogPointer{0, 0, 0}));
}

}  // namespace
}  // namespace norvale
