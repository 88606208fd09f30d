#include "link/line_tracer.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/fake_clock.h"

namespace norvale {
namespace {

std::string Bytes(std::initializer_list<int> values) {
  std::string bytes;
  for (int v : values) bytes += static_cast<char>(v);
  return bytes;
}

TEST(LineTracer, EachFrameIsOneLineWithTimeDirectionHexAndVerdict) {
  testing::FakeClock clock(13 * 3600 + 5 * 60 + 9.0456);
  std::vector<std::string> lines;
  LineTracer tracer(clock, [&](const std::string& line) { lines.push_back(line); });
  const std::string request = Bytes({0x01, 0x03, 0x00, 0x18, 0x00, 0x0A, 0x45, 0xCA});
  tracer.traced(TraceEvent::Sent, request);
  tracer.traced(TraceEvent::Resent, request);
  // Bytes of noise arrive one at a time and make one line, written before the next frame.
  tracer.traced(TraceEvent::Noise, Bytes({0xFF}));
  tracer.traced(TraceEvent::Noise, Bytes({0x00}));
  tracer.traced(TraceEvent::OtherFrame, Bytes({0x01, 0x83, 0x02, 0xC0, 0xF1}));
  tracer.traced(TraceEvent::OtherFrame, Bytes({0x02, 0x10, 0x00, 0x01, 0x00, 0x01, 0x50, 0x3A}));
  tracer.traced(TraceEvent::CrcMismatch, Bytes({0x01, 0x03, 0x02, 0x00, 0x07, 0x00, 0x00}));
  tracer.traced(TraceEvent::ReplyComplete, Bytes({0x01, 0x03, 0x02, 0x00, 0x07, 0xF9, 0x86}));
  tracer.traced(TraceEvent::GaveUp, request);
  tracer.traced(TraceEvent::Noise, Bytes({0x55}));
  tracer.flush();

  const std::vector<std::string> expected{
      "13:05:09.045 -> 01 03 00 18 00 0A 45 CA  request",
      "13:05:09.045 -> 01 03 00 18 00 0A 45 CA  resend",
      "13:05:09.045 <- FF 00  no frame, dropped",
      "13:05:09.045 <- 01 83 02 C0 F1  exception 02 (illegal data address), dropped",
      "13:05:09.045 <- 02 10 00 01 00 01 50 3A  answers another request, dropped",
      "13:05:09.045 <- 01 03 02 00 07 00 00  CRC mismatch",
      "13:05:09.045 <- 01 03 02 00 07 F9 86  reply complete",
      "13:05:09.045 !! 01 03 00 18 00 0A 45 CA  gave up, no reply",
      "13:05:09.045 <- 55  no frame, dropped"};
  EXPECT_EQ(lines, expected);
  EXPECT_EQ(tracer.summary(),
            "requests 1, resends 1, replies 1, CRC failures 1, exceptions 1, timeouts 1");
}

TEST(LineTracer, TimeIsCutToTheMillisecondAndWrapsAtMidnight) {
  EXPECT_EQ(FormatTraceLine(0.0009, TraceEvent::Sent, "").substr(0, 12), "00:00:00.000");
  EXPECT_EQ(FormatTraceLine(86399.9999, TraceEvent::Sent, "").substr(0, 12), "23:59:59.999");
  EXPECT_EQ(FormatTraceLine(86400.5, TraceEvent::Sent, "").substr(0, 12), "00:00:00.500");
}

}  // namespace
}  // namespace norvale
