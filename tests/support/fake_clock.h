#pragma once

#include <algorithm>
#include <functional>

#include "link/clock.h"
#include "link/event_pump.h"

namespace norvale::testing {

// Time of day that only moves when a test (or the pump) moves it.
class FakeClock : public Clock {
 public:
  explicit FakeClock(double start = 36000.0) : now(start) {}
  double timeOfDay() override { return now; }
  // Advances like a wall clock, wrapping at midnight.
  void advance(double seconds);
  double now;
};

// Each polling round advances the fake clock by a fixed step, so a 30-second limit passes in a
// few thousand rounds and no real time. onRound runs after the step, e.g. to deliver bytes.
class FakeEventPump : public EventPump {
 public:
  explicit FakeEventPump(FakeClock& clock, double roundSeconds = 0.01)
      : clock_(clock), roundSeconds_(roundSeconds) {}
  void yieldOnce() override {
    ++yields;
    if (onYield) onYield();
  }
  // A round lasts its step, or less when the wait is due sooner.
  void waitForEvents(double seconds) override {
    ++rounds;
    clock_.advance(std::min(roundSeconds_, seconds));
    if (onRound) onRound();
  }
  // To the fake port every round is alike.
  void waitForOtherEvents(double seconds) override { waitForEvents(seconds); }
  void pauseWithoutYield(double seconds) override {
    pausedSeconds += seconds;
    clock_.advance(seconds);
  }
  int yields = 0;
  int rounds = 0;
  double pausedSeconds = 0;
  std::function<void()> onYield;
  std::function<void()> onRound;

 private:
  FakeClock& clock_;
  double roundSeconds_;
};

}  // namespace norvale::testing
