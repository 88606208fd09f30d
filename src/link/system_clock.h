#pragma once

#include "link/clock.h"

namespace norvale {

// The machine's local time of day.
class SystemClock : public Clock {
 public:
  double timeOfDay() override;
};

}  // namespace norvale
