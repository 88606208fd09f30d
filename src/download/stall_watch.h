#pragma once

#include "link/clock.h"

namespace norvale {

// Tells when a download has stopped getting anywhere. A meter that answers every log read with
// garbage or an exception is asked again and again within each read's own limits, and "Since
// Last Time" repeats the whole attempt, so without this a dead download could run for many
// minutes. Progress is a channel set-up record or a log block read; the status and
// last-download reads that every attempt repeats are not.
class StallWatch {
 public:
  static constexpr double kLimitSeconds = 120;

  explicit StallWatch(Clock& clock) : clock_(clock), since_(clock.timeOfDay()) {}

  void progressed() { since_ = clock_.timeOfDay(); }
  bool stalled() const { return SecondsBetween(since_, clock_.timeOfDay()) >= kLimitSeconds; }

 private:
  Clock& clock_;
  double since_;
};

}  // namespace norvale
