#include "link/resend_rules.h"

#include <gtest/gtest.h>

#include <cmath>
#include <ostream>
#include <string>
#include <vector>

namespace norvale {
namespace {

// What a rule did and when, in milliseconds of the day.
struct Act {
  long at;
  std::string what;
  bool operator==(const Act&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Act& act) {
  return out << act.what << " at " << act.at;
}

// Wakes the rule just past each moment it names, on a clock that wraps at midnight as the
// link's waits do, until it gives up.
std::vector<Act> ActsOf(ResendRule rule) {
  std::vector<Act> acts;
  for (int wakes = 0; wakes < 100; ++wakes) {
    const double now = std::fmod(NextMoment(rule) + 0.001, 86400);
    const RuleAction action = ActAt(rule, now);
    const long at = std::lround(now * 1000);
    if (action.resend) acts.push_back({at, action.emptyBuffersFirst ? "resend emptied" : "resend"});
    if (action.giveUp) {
      acts.push_back({at, "give up"});
      break;
    }
  }
  return acts;
}

// The marks are whole seconds; a clock gone back at midnight starts them again from the new
// day's second, so a give-up that spans midnight comes later than its limit, never sooner.
TEST(ResendRules, ActAtTheirMomentsAndStartAgainAfterMidnight) {
  struct Case {
    const char* what;
    ResendRule rule;
    std::vector<Act> acts;
  };
  const Case cases[] = {
      {"every second",
       ResendEverySecond(100.25, 3),
       {{101001, "resend"}, {102001, "resend"}, {103001, "give up"}}},
      {"every second over midnight",
       ResendEverySecond(86398.25, 3),
       {{86399001, "resend"},
        {1001, "resend"},
        {2001, "resend"},
        {3001, "resend"},
        {4001, "give up"}}},
      // 128 bytes at 9600 baud: 2 s of line time.
      {"by reply time",
       ResendByReplyTime(100.25, 5, 128, 9600),
       {{102001, "resend emptied"}, {104001, "resend emptied"}, {105001, "give up"}}},
      {"by reply time, no baud rate", ResendByReplyTime(100.25, 5, 128, 0), {{105001, "give up"}}},
      {"by reply time over midnight",
       ResendByReplyTime(86397.25, 4, 128, 9600),
       {{86399001, "resend emptied"},
        {3001, "resend emptied"},
        {5001, "resend emptied"},
        {5001, "give up"}}},
      {"never", NeverResend(100.25, 1), {{101001, "give up"}}},
      {"never over midnight", NeverResend(86399.25, 1), {{1001, "give up"}}},
  };
  for (const Case& c : cases) EXPECT_EQ(ActsOf(c.rule), c.acts) << c.what;
}

}  // namespace
}  // namespace norvale
