#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "link/clock.h"
#include "link/link_trace.h"

namespace norvale {

struct TraceCounts {
  int requests = 0;  // first copies only
  int resends = 0;
  int replies = 0;
  int crcFailures = 0;
  int exceptions = 0;
  int timeouts = 0;
};

// "hh:mm:ss.mmm -> 01 03 00 18 00 0A 45 CA  request": the time of day, the direction ("->" sent,
// "<-" received, "!!" nothing came), the bytes in hex and what the link made of them.
std::string FormatTraceLine(double timeOfDay, TraceEvent event, std::string_view bytes);

// The line trace a technician reads to find a swapped wire or a wrong slave ID: one line a frame,
// handed to `sink`, and the counts for a summary at the end. Bytes that start no frame are
// dropped one at a time by the link; they are gathered here into one line. Without a sink it
// only counts.
class LineTracer : public LinkTrace {
 public:
  using Sink = std::function<void(const std::string& line)>;
  LineTracer(Clock& clock, Sink sink = {});

  void traced(TraceEvent event, std::string_view bytes) override;
  // Writes the gathered noise bytes, if any.
  void flush();

  const TraceCounts& counts() const { return counts_; }
  // "requests 12, resends 1, replies 11, CRC failures 0, exceptions 0, timeouts 1"
  std::string summary() const;
  // The last line of a saved trace: "Summary: " and the counts.
  std::string summaryLine() const;
  // Why an exchange failed, in one line: the last request that went unanswered, then the CRC
  // failures and exception replies, e.g. "No reply to 01 03 00 18 00 0A 45 CA (slave 1,
  // function 3); CRC failures 0, exceptions 0".
  std::string failureReason() const;

 private:
  Clock& clock_;
  Sink sink_;
  TraceCounts counts_;
  std::string noise_;
  std::string unanswered_;  // the request of the last GaveUp
  double noiseTime_ = 0;
};

}  // namespace norvale
