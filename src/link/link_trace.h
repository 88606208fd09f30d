#pragma once

#include <string_view>

namespace norvale {

// What the link did with a frame on the line.
enum class TraceEvent {
  Sent,           // a request went out
  Resent,         // the same request went out again, unanswered so far
  ReplyComplete,  // the awaited reply, CRC good
  CrcMismatch,    // the awaited reply's shape with a wrong CRC
  OtherFrame,     // a whole frame answering something else (an exception reply among them)
  LateAnswer,     // the answer to an earlier copy of the previous request
  Noise,          // bytes that start no frame
  GaveUp,         // the limit passed without a reply; `bytes` is the request
};

// Told of every frame the link sends or takes apart. Installed only while someone watches, so an
// unwatched link pays one pointer test per frame.
class LinkTrace {
 public:
  virtual ~LinkTrace() = default;
  virtual void traced(TraceEvent event, std::string_view bytes) = 0;
};

}  // namespace norvale
