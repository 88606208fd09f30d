#pragma once

#include <cstddef>
#include <variant>

namespace norvale {

// A whole second on the time of day that a wait is timed from. The clock goes back at
// midnight: a mark the clock has gone back past moves to the second it shows then.
class SecondMark {
 public:
  explicit SecondMark(double now);
  // As last seen, for planning a wait.
  double at() const { return at_; }
  // As `now` sees it, moved first if midnight has passed.
  double at(double now);
  void restart(double now);

 private:
  double at_;
};

// What a rule does at a moment it acts on: a resend (from empty buffers or not), the give-up,
// or both (the resend first).
struct RuleAction {
  bool resend = false;
  bool emptyBuffersFirst = false;
  bool giveUp = false;
};

// Functions 3 and 16: the request again every second while no whole reply is there, keeping what
// has arrived (a late reply may still complete). The give-up is looked at only when a resend is
// due, so it comes at a whole-second resend moment.
class ResendEverySecond {
 public:
  ResendEverySecond(double now, double giveUpSeconds);
  double nextMoment() const { return resend_.at() + 1; }
  RuleAction actAt(double now);

 private:
  SecondMark resend_;
  SecondMark giveUp_;
  double giveUpSeconds_;
};

// Function 96: the request again once the reply's own line time has passed, from empty buffers:
// a reply half there when it goes out again would only be noise.
class ResendByReplyTime {
 public:
  ResendByReplyTime(double now, double giveUpSeconds, size_t replyBytes, double baud);
  double nextMoment() const;
  RuleAction actAt(double now);

 private:
  SecondMark resend_;
  SecondMark giveUp_;
  double giveUpSeconds_;
  double interval_;  // 0: never again (no baud rate to time it by)
};

// The pointer read and the live poll: sent once, given up after `giveUpSeconds`.
class NeverResend {
 public:
  NeverResend(double now, double giveUpSeconds);
  double nextMoment() const { return giveUp_.at() + giveUpSeconds_; }
  RuleAction actAt(double now);

 private:
  SecondMark giveUp_;
  double giveUpSeconds_;
};

using ResendRule = std::variant<ResendEverySecond, ResendByReplyTime, NeverResend>;

// The next moment the rule acts on: a resend or the give-up.
double NextMoment(const ResendRule& rule);
RuleAction ActAt(ResendRule& rule, double now);

}  // namespace norvale
