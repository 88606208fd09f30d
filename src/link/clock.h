#pragma once

namespace norvale {

// Local time of day in seconds since midnight, with its fraction. Exchanges measure their limits
// with it, so a wait that crosses midnight sees the clock go backwards.
class Clock {
 public:
  virtual ~Clock() = default;
  virtual double timeOfDay() = 0;
};

}  // namespace norvale
