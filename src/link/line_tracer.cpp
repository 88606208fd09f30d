#include "link/line_tracer.h"

#include <cmath>
#include <cstdint>
#include <cstdio>

namespace norvale {
namespace {

constexpr long long kMillisecondsPerDay = 86400LL * 1000;

const char* ExceptionName(int code) {
  switch (code) {
    case 1:
      return "illegal function";
    case 2:
      return "illegal data address";
    case 3:
      return "illegal data value";
    case 4:
      return "server device failure";
    case 5:
      return "acknowledge";
    case 6:
      return "server device busy";
    case 8:
      return "memory parity error";
    case 10:
      return "gateway path unavailable";
    case 11:
      return "gateway target failed to respond";
    default:
      return "unknown code";
  }
}

// slave, function | 0x80, code, CRC
bool IsExceptionReply(std::string_view frame) {
  return frame.size() == 5 && (static_cast<uint8_t>(frame[1]) & 0x80) != 0;
}

std::string Verdict(TraceEvent event, std::string_view bytes) {
  switch (event) {
    case TraceEvent::Sent:
      return "request";
    case TraceEvent::Resent:
      return "resend";
    case TraceEvent::ReplyComplete:
      return "reply complete";
    case TraceEvent::CrcMismatch:
      return "CRC mismatch";
    case TraceEvent::OtherFrame: {
      if (!IsExceptionReply(bytes)) return "answers another request, dropped";
      const int code = static_cast<uint8_t>(bytes[2]);
      char text[96];
      std::snprintf(text, sizeof text, "exception %02X (%s), dropped", code, ExceptionName(code));
      return text;
    }
    case TraceEvent::LateAnswer:
      return "late answer to a request sent again, dropped";
    case TraceEvent::Noise:
      return "no frame, dropped";
    case TraceEvent::GaveUp:
      return "gave up, no reply";
  }
  return {};
}

const char* Direction(TraceEvent event) {
  switch (event) {
    case TraceEvent::Sent:
    case TraceEvent::Resent:
      return "->";
    case TraceEvent::GaveUp:
      return "!!";
    default:
      return "<-";
  }
}

void AppendHex(std::string& line, std::string_view bytes) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  for (char c : bytes) {
    const auto byte = static_cast<uint8_t>(c);
    if (!line.empty()) line += ' ';
    line += kHex[byte >> 4];
    line += kHex[byte & 15];
  }
}

}  // namespace

std::string FormatTraceLine(double timeOfDay, TraceEvent event, std::string_view bytes) {
  long long ms = static_cast<long long>(std::floor(timeOfDay * 1000)) % kMillisecondsPerDay;
  if (ms < 0) ms += kMillisecondsPerDay;
  char time[32];
  std::snprintf(time, sizeof time, "%02lld:%02lld:%02lld.%03lld", ms / 3600000, ms / 60000 % 60,
                ms / 1000 % 60, ms % 1000);
  std::string line = std::string(time) + " " + Direction(event);
  line.reserve(line.size() + bytes.size() * 3 + 48);
  AppendHex(line, bytes);
  return line + "  " + Verdict(event, bytes);
}

LineTracer::LineTracer(Clock& clock, Sink sink) : clock_(clock), sink_(std::move(sink)) {}

void LineTracer::traced(TraceEvent event, std::string_view bytes) {
  if (event == TraceEvent::Noise) {
    if (noise_.empty()) noiseTime_ = clock_.timeOfDay();
    noise_.append(bytes);
    return;
  }
  flush();
  switch (event) {
    case TraceEvent::Sent:
      ++counts_.requests;
      break;
    case TraceEvent::Resent:
      ++counts_.resends;
      break;
    case TraceEvent::ReplyComplete:
      ++counts_.replies;
      break;
    case TraceEvent::CrcMismatch:
      ++counts_.crcFailures;
      break;
    case TraceEvent::OtherFrame:
      counts_.exceptions += IsExceptionReply(bytes) ? 1 : 0;
      break;
    case TraceEvent::GaveUp:
      ++counts_.timeouts;
      unanswered_.assign(bytes);
      break;
    default:
      break;
  }
  if (sink_) sink_(FormatTraceLine(clock_.timeOfDay(), event, bytes));
}

void LineTracer::flush() {
  if (noise_.empty()) return;
  if (sink_) sink_(FormatTraceLine(noiseTime_, TraceEvent::Noise, noise_));
  noise_.clear();
}

std::string LineTracer::summary() const {
  char text[160];
  std::snprintf(text, sizeof text,
                "requests %d, resends %d, replies %d, CRC failures %d, exceptions %d, timeouts %d",
                counts_.requests, counts_.resends, counts_.replies, counts_.crcFailures,
                counts_.exceptions, counts_.timeouts);
  return text;
}

std::string LineTracer::summaryLine() const { return "Summary: " + summary(); }

std::string LineTracer::failureReason() const {
  std::string reason;
  if (counts_.requests == 0) {
    reason = "No request went out";
  } else if (unanswered_.size() >= 2) {
    reason = "No reply to ";
    std::string hex;
    AppendHex(hex, unanswered_);
    reason += hex + " (slave " + std::to_string(static_cast<uint8_t>(unanswered_[0])) +
              ", function " + std::to_string(static_cast<uint8_t>(unanswered_[1])) + ")";
  } else {
    reason = "No request went unanswered";
  }
  return reason + "; CRC failures " + std::to_string(counts_.crcFailures) + ", exceptions " +
         std::to_string(counts_.exceptions);
}

}  // namespace norvale
