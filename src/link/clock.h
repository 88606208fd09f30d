#pragma once

namespace norvale {

// Local time of day in seconds since midnight, with its fraction. Exchanges measure their limits
// with it, so a wait that crosses midnight sees the clock go backwards.
class Clock {
 public:
  virtual ~Clock() = default;
  virtual double timeOfDay() = 0;
};

// Seconds from one time of day to a later one, across midnight.
inline double SecondsBetween(double start, double now) {
  constexpr double kSecondsPerDay = 86400;
  const double elapsed = now - start;
  return elapsed < 0 ? elapsed + kSecondsPerDay : elapsed;
}

}  // namespace norvale
