#pragma once

#include "link/meter_link.h"

namespace norvale {

// Tells when a download has stopped getting anywhere. A meter that answers every log read with
// garbage or an exception is asked again and again within each read's own limits, and "Since
// Last Time" repeats the whole attempt, so without this a dead download could run for many
// minutes. Progress is a channel set-up record or a log block read; the status and
// last-download reads that every attempt repeats are not. A line that dropped under an exchange
// (a device server's connection closed, an adapter pulled) ends it at once: reconnecting in the
// middle would hide the loss.
class StallWatch {
 public:
  static constexpr double kLimitSeconds = 120;

  explicit StallWatch(MeterLink& link)
      : link_(link), since_(link.clock().timeOfDay()), linesLost_(link.linesLost()) {}

  void progressed() { since_ = link_.clock().timeOfDay(); }
  bool stalled() const {
    return link_.linesLost() != linesLost_ ||
           SecondsBetween(since_, link_.clock().timeOfDay()) >= kLimitSeconds;
  }

 private:
  MeterLink& link_;
  double since_;
  int linesLost_;
};

}  // namespace norvale
