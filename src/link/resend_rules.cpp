#include "link/resend_rules.h"

#include <algorithm>

#include "text/leading_number.h"

namespace norvale {
namespace {

// Function 96 allows 150 bit times per expected byte before it asks again.
constexpr double kBitTimesPerReplyByte = 150;

}  // namespace

SecondMark::SecondMark(double now) : at_(RoundHalfEven(now)) {}

double SecondMark::at(double now) {
  if (now < at_) restart(now);
  return at_;
}

void SecondMark::restart(double now) { at_ = RoundHalfEven(now); }

ResendEverySecond::ResendEverySecond(double now, double giveUpSeconds)
    : resend_(now), giveUp_(now), giveUpSeconds_(giveUpSeconds) {}

RuleAction ResendEverySecond::actAt(double now) {
  if (now - resend_.at(now) <= 1) return {};
  if (now - giveUp_.at(now) >= giveUpSeconds_) return {.giveUp = true};
  resend_.restart(now);
  return {.resend = true};
}

ResendByReplyTime::ResendByReplyTime(double now, double giveUpSeconds, size_t replyBytes,
                                     double baud)
    : resend_(now),
      giveUp_(now),
      giveUpSeconds_(giveUpSeconds),
      interval_(baud > 0 ? kBitTimesPerReplyByte * static_cast<double>(replyBytes) / baud : 0) {}

double ResendByReplyTime::nextMoment() const {
  const double giveUp = giveUp_.at() + giveUpSeconds_;
  return interval_ > 0 ? std::min(resend_.at() + interval_, giveUp) : giveUp;
}

RuleAction ResendByReplyTime::actAt(double now) {
  RuleAction action;
  // Both marks follow the clock past midnight whether or not a resend is due.
  const double resendMark = resend_.at(now);
  const double giveUpMark = giveUp_.at(now);
  if (interval_ > 0 && now > resendMark + interval_) {
    action.resend = action.emptyBuffersFirst = true;
    resend_.restart(now);
  }
  action.giveUp = now > giveUpMark + giveUpSeconds_;
  return action;
}

NeverResend::NeverResend(double now, double giveUpSeconds)
    : giveUp_(now), giveUpSeconds_(giveUpSeconds) {}

RuleAction NeverResend::actAt(double now) {
  return {.giveUp = now > giveUp_.at(now) + giveUpSeconds_};
}

double NextMoment(const ResendRule& rule) {
  return std::visit([](const auto& r) { return r.nextMoment(); }, rule);
}

RuleAction ActAt(ResendRule& rule, double now) {
  return std::visit([now](auto& r) { return r.actAt(now); }, rule);
}

}  // namespace norvale
