#include "link/meter_link.h"

#include <algorithm>
#include <optional>
#include <utility>

#include "link/crc16.h"
#include "link/modbus_frames.h"
#include "link/resend_rules.h"
#include "text/leading_number.h"

namespace norvale {
namespace {

constexpr double kReadGiveUpSeconds = 30;
constexpr double kWriteGiveUpSeconds = 3;
constexpr double kLogBlockGiveUpSeconds = 30;
constexpr double kReplyByteLimitSeconds = 2;
// A meter answers every copy of a request it receives, so a request sent again may be answered
// twice; the second answer comes before the answer to the next request, within a few seconds.
constexpr double kLateAnswerSeconds = 3;
// A wait wakes this long after the moment a rule acts on, so that the rule's strict "more than"
// holds. The moment is worked out before the wait, so a clock that goes back at midnight is seen
// on waking; kLongestWait (longer than any rule's wait) only bounds a moment gone wrong.
constexpr double kPastTheMoment = 0.001;
constexpr double kLongestWait = 60;
// A rule already due still gives the meter one short round first: the log-block resend, timed
// from a whole-second mark, is often due the moment its request has gone out.
constexpr double kShortestWait = EventPump::kBriefRoundSeconds;
// While a reply is coming in, the wait naps for part of the line time of the bytes still missing,
// at most as long as the old polling round, so that nothing comes later than it did.
constexpr double kBitsPerByte = 10;
constexpr double kNapShare = 0.9;
constexpr double kLongestNap = EventPump::kBriefRoundSeconds;
constexpr double kShortestNap = 0.002;

TraceEvent TraceEventOf(ReplyScanKind kind) {
  switch (kind) {
    case ReplyScanKind::Noise:
      return TraceEvent::Noise;
    case ReplyScanKind::OtherFrame:
      return TraceEvent::OtherFrame;
    case ReplyScanKind::DamagedReply:
      return TraceEvent::CrcMismatch;
    default:
      return TraceEvent::ReplyComplete;
  }
}

// A copy unanswered for longer than any meter takes will not be answered any more. `copies`
// holds send times, oldest first.
void ForgetCopiesPastAnswering(std::vector<double>& copies, double now) {
  auto answerable = copies.begin();
  while (answerable != copies.end() && SecondsBetween(*answerable, now) > kLateAnswerSeconds) {
    ++answerable;
  }
  copies.erase(copies.begin(), answerable);
}

ResendRule RuleFor(MeterLink::Resend resend, double now, double giveUpSeconds, size_t replyBytes,
                   double baud) {
  switch (resend) {
    case MeterLink::Resend::EverySecond:
      return ResendEverySecond(now, giveUpSeconds);
    case MeterLink::Resend::ByReplyTime:
      return ResendByReplyTime(now, giveUpSeconds, replyBytes, baud);
    case MeterLink::Resend::Never:
      break;
  }
  return NeverResend(now, giveUpSeconds);
}

}  // namespace

MeterLink::MeterLink(const SettingsRecord& settings, SerialPort& port, Clock& clock,
                     EventPump& pump, PortErrorReporter reportPortError)
    : settings_(settings),
      port_(port),
      clock_(clock),
      pump_(pump),
      reportPortError_(std::move(reportPortError)) {}

bool MeterLink::failOpen(const PortStatus& status) {
  if (state_.CommErrorShown == 0) {
    state_.CommErrorShown = 1;
    PortErrorMessage message;
    message.details = status.reason;
    if (reportPortError_) reportPortError_(message);
  }
  return false;
}

bool MeterLink::OpenCommPort() {
  if (halted()) return false;
  const OpenedAs chosen{settings_.CommPort, settings_.CommBaud + ",N,8,1",
                        port_.deviceFor(settings_.CommPort)};
  // The port shown is the port used: another port, device or baud rate chosen since the port
  // was opened takes effect with the next exchange, not only after a hang-up.
  if (port_.portOpen() && openedAs_ != chosen) port_.setPortOpen(false);
  if (!port_.portOpen()) {
    openedAs_ = chosen;
    port_.setCommPort(settings_.CommPort);
    if (PortStatus s = port_.setSettings(chosen.lineSettings); !s.ok) return failOpen(s);
    port_.setInputLen(0);
    port_.setBinaryInputMode(true);
    if (PortStatus s = port_.setPortOpen(true); !s.ok) return failOpen(s);
    // Asserted once per open: nothing else lowers it while the port stays open (hanging up the
    // modem closes the port).
    if (PortStatus s = port_.setDtrEnable(true); !s.ok) return failOpen(s);
  }
  return port_.portOpen();
}

void MeterLink::waitUntil(double moment, double now) {
  pump_.waitForEvents(std::clamp(moment - now + kPastTheMoment, kShortestWait, kLongestWait));
}

// A reply under way needs its line time to come in whole; woken by every byte, a wait at 9600 baud
// would wake a thousand times a second.
bool MeterLink::napWhileBytesCome(size_t have, size_t needed, double baud, double secondsToRule) {
  if (have == 0 || have >= needed || baud <= 0) return false;
  const double lineSeconds = kBitsPerByte * static_cast<double>(needed - have) / baud;
  const double nap = std::min({kNapShare * lineSeconds, kLongestNap, secondsToRule});
  if (nap < kShortestNap) return false;
  pump_.waitForOtherEvents(nap);
  // What came meanwhile is taken now, without waiting for more: the whole reply may be there.
  pump_.waitForEvents(0);
  return true;
}

bool MeterLink::WaitForReply(int count) {
  double now = clock_.timeOfDay();
  SecondMark start(now);
  port_.setInputLen(count);
  for (;;) {
    if (port_.inBufferCount() >= count) {
      state_.ReplyBuffer = port_.input();
      return true;
    }
    waitUntil(start.at() + kReplyByteLimitSeconds, now);
    if (halted()) return false;
    now = clock_.timeOfDay();
    if (now > start.at(now) + kReplyByteLimitSeconds) return false;
  }
}

void MeterLink::Shutdown() {
  shutDown_ = true;
  pump_.requestStop();
  received_.clear();
  if (port_.portOpen()) port_.setPortOpen(false);
}

void MeterLink::send(SentRequest& sent, bool again) {
  trace(again ? TraceEvent::Resent : TraceEvent::Sent, sent.request);
  port_.output(sent.request);
  sent.unansweredAt.push_back(clock_.timeOfDay());
}

// A frame that would answer the previous request, whose copies went out after its answer or
// went unanswered, is one of their late answers: the meter answers in order, so it comes before
// this request's own. Taken for this request it would put every later reply one behind; that
// holds for the same request asked again (a live poll after one that gave up) too.
bool MeterLink::isLateAnswer(std::string_view frame) {
  std::vector<double>& copies = previous_.unansweredAt;
  ForgetCopiesPastAnswering(copies, clock_.timeOfDay());
  if (copies.empty() || !FrameFits(frame, previous_.shape)) return false;
  copies.erase(copies.begin());
  return true;
}

// Frames shorter than the awaited reply (an exception reply) are only taken apart once that many
// bytes have come; a trace shows them when the wait ends without one. The next exchange empties
// the buffers in any case.
void MeterLink::traceUnscanned(const ReplyShape& shape) {
  if (port_.portOpen()) {
    port_.setInputLen(0);
    received_ += port_.input();
  }
  std::string_view rest(received_);
  while (!rest.empty()) {
    ReplyScan scan = ScanReply(rest, shape);
    if (scan.kind == ReplyScanKind::NeedMore) {
      trace(TraceEvent::Noise, rest);
      break;
    }
    trace(TraceEventOf(scan.kind), rest.substr(0, scan.length));
    rest.remove_prefix(scan.length);
  }
  received_.clear();
}

// A frame at the front of what has come that is not this request's reply: noise, an answer to
// something else, or a late answer to the request before. Each frame is traced as it is judged.
bool MeterLink::passesOver(Awaited& awaited, ReplyScanKind kind, std::string_view front) {
  // A request that is sent again within its own wait takes any answer to any of its copies; one
  // that is not (a live poll) drops the answers of the poll before.
  const bool sameRequest = previous_.request == awaited.sent.request;
  const bool late = kind == ReplyScanKind::Reply &&
                    (!sameRequest || awaited.resend == Resend::Never) && isLateAnswer(front);
  if (late && sameRequest) ++awaited.lateForSameRequest;
  trace(late ? TraceEvent::LateAnswer : TraceEventOf(kind), front);
  if (kind == ReplyScanKind::OtherFrame && !previous_.unansweredAt.empty() &&
      FrameFits(front, previous_.shape)) {
    previous_.unansweredAt.erase(previous_.unansweredAt.begin());
  }
  return kind == ReplyScanKind::Noise || kind == ReplyScanKind::OtherFrame || late;
}

// Takes what has come and looks through it: the outcome once the reply is there, `frame` then
// holding it; nothing while the frame at the front needs more bytes.
std::optional<MeterLink::ReplyOutcome> MeterLink::takeReply(Awaited& awaited, std::string& frame) {
  port_.setInputLen(0);
  received_ += port_.input();
  for (;;) {
    const ReplyScan scan = ScanReply(received_, awaited.sent.shape);
    if (scan.kind == ReplyScanKind::NeedMore) {
      awaited.needed = scan.length;
      return std::nullopt;
    }
    const std::string_view front(received_.data(), scan.length);
    const bool taken = !passesOver(awaited, scan.kind, front);
    if (taken) frame.assign(front);
    received_.erase(0, scan.length);
    if (taken) {
      return scan.kind == ReplyScanKind::Reply ? ReplyOutcome::Answered : ReplyOutcome::Damaged;
    }
  }
}

size_t MeterLink::waitingBytes() {
  return received_.size() + static_cast<size_t>(std::max(0, port_.inBufferCount()));
}

// The rules are looked at after a nap too: a meter that stops half-way is still asked again and
// given up on at the usual moments.
void MeterLink::waitForRule(const Awaited& awaited, double moment, double now) {
  if (!napWhileBytesCome(waitingBytes(), awaited.needed, awaited.baud, moment - now)) {
    waitUntil(moment, now);
  }
}

void MeterLink::sendAgain(Awaited& awaited, bool emptyBuffersFirst) {
  if (emptyBuffersFirst) {
    port_.discardBothBuffers();
    received_.clear();
    awaited.needed = awaited.sent.shape.length;
  }
  send(awaited.sent, true);
}

// The copies of this request left unanswered, for the next exchange to tell their late answers
// from its own reply.
void MeterLink::keepUnansweredCopies(Awaited& awaited, ReplyOutcome outcome) {
  std::vector<double>& copies = awaited.sent.unansweredAt;
  if (outcome != ReplyOutcome::NoReply && !copies.empty()) copies.erase(copies.begin());
  if (previous_.request == awaited.sent.request) {
    if (outcome == ReplyOutcome::NoReply && awaited.lateForSameRequest > 0) {
      // One answer came for an earlier copy and this one together: it may have been this one's,
      // the earlier request lost on the line. Counting this copy as unanswered would drop the
      // next exchange's own answer too, and so on for ever: start in step instead.
      copies.clear();
    } else {
      // Earlier copies still unanswered are answered before this one's copies.
      std::vector<double>& earlier = previous_.unansweredAt;
      ForgetCopiesPastAnswering(earlier, clock_.timeOfDay());
      copies.insert(copies.begin(), earlier.begin(), earlier.end());
    }
  }
  previous_ = std::move(awaited.sent);
}

MeterLink::ReplyOutcome MeterLink::finish(Awaited& awaited, ReplyOutcome outcome) {
  if (outcome == ReplyOutcome::NoReply && !halted() && trace_) {
    traceUnscanned(awaited.sent.shape);
    trace(TraceEvent::GaveUp, awaited.sent.request);
  }
  keepUnansweredCopies(awaited, outcome);
  return outcome;
}

MeterLink::ReplyOutcome MeterLink::Exchange(const std::string& request, const ReplyShape& shape,
                                            Resend resend, double giveUpSeconds,
                                            std::string& frame) {
  Awaited awaited{{request, shape, {}}, resend, shape.length};
  send(awaited.sent, false);
  pump_.yieldOnce();
  double now = clock_.timeOfDay();
  // The rate in force after the yield, which may have changed it.
  awaited.baud = LeadingNumberValue(settings_.CommBaud);
  ResendRule rule = RuleFor(resend, now, giveUpSeconds, shape.length, awaited.baud);
  for (;;) {
    while (waitingBytes() >= awaited.needed) {
      if (std::optional<ReplyOutcome> outcome = takeReply(awaited, frame)) {
        return finish(awaited, *outcome);
      }
    }
    waitForRule(awaited, NextMoment(rule), now);
    if (halted()) return finish(awaited, ReplyOutcome::NoReply);
    if (waitingBytes() >= awaited.needed) continue;
    // A port that closed under us (adapter pulled) will not deliver the rest.
    if (!port_.portOpen()) {
      ++linesLost_;
      return finish(awaited, ReplyOutcome::NoReply);
    }
    now = clock_.timeOfDay();
    const RuleAction action = ActAt(rule, now);
    if (action.resend) sendAgain(awaited, action.emptyBuffersFirst);
    if (action.giveUp) return finish(awaited, ReplyOutcome::NoReply);
  }
}

bool MeterLink::BeginExchange() {
  pump_.yieldOnce();
  if (!OpenCommPort()) return false;
  port_.discardBothBuffers();
  received_.clear();
  pump_.yieldOnce();
  return true;
}

MeterLink::ReplyOutcome MeterLink::Transact(const std::string& frame, const ReplyShape& shape,
                                            Resend resend, double giveUpSeconds,
                                            std::string& reply) {
  Transaction transaction(*this);
  lastOutcome_ = ReplyOutcome::NoReply;
  if (!transaction.acquired() || !BeginExchange()) return ReplyOutcome::NoReply;
  lastOutcome_ = Exchange(WithCrc(frame), shape, resend, giveUpSeconds, reply);
  return lastOutcome_;
}

bool MeterLink::ReadHoldingRegisters(int slave, int startHi, int startLo, int count) {
  std::string reply;
  ReplyOutcome outcome = Transact(ReadHoldingRegistersFrame(slave, startHi, startLo, count),
                                  ReadHoldingRegistersReplyShape(slave, count), Resend::EverySecond,
                                  kReadGiveUpSeconds, reply);
  if (outcome == ReplyOutcome::NoReply) return false;
  // slave, 3, byte count, data, CRC: the data stays in ReplyText even when the CRC is wrong.
  state_.ReplyText = reply.substr(3, reply.size() - 5);
  return outcome == ReplyOutcome::Answered;
}

bool MeterLink::WriteMultipleRegisters(int slave, int start, int count, int byteCount) {
  std::string reply;
  return Transact(WriteMultipleRegistersFrame(slave, start, count, byteCount, state_.WriteHiBytes,
                                              state_.WriteLoBytes),
                  WriteMultipleRegistersReplyShape(slave, start, count), Resend::EverySecond,
                  kWriteGiveUpSeconds, reply) == ReplyOutcome::Answered;
}

bool MeterLink::ReadLogBlock(int slave, int bank, int addressHi, int addressLo, int words) {
  std::string reply;
  ReplyOutcome outcome = Transact(ReadLogBlockFrame(slave, bank, addressHi, addressLo, words),
                                  ReadLogBlockReplyShape(slave, bank, addressHi, addressLo, words),
                                  Resend::ByReplyTime, kLogBlockGiveUpSeconds, reply);
  if (outcome == ReplyOutcome::NoReply) return false;
  // slave, 96, bank, address hi, address lo, data length (2), data, CRC.
  state_.ReplyText = reply.substr(7, reply.size() - 9);
  // A block damaged on the line must not be decoded as good data: refuse it so it is read again.
  return outcome == ReplyOutcome::Answered;
}

}  // namespace norvale
