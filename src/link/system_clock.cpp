#include "link/system_clock.h"

#include <time.h>

namespace norvale {

// Read on every polling round and every reply byte, so it must be cheap: localtime_r does not
// re-read the time-zone file on each call, as the Qt and C library conveniences do.
double SystemClock::timeOfDay() {
  timespec now{};
  clock_gettime(CLOCK_REALTIME, &now);
  tm local{};
  localtime_r(&now.tv_sec, &local);
  return local.tm_hour * 3600.0 + local.tm_min * 60.0 + local.tm_sec + now.tv_nsec / 1e9;
}

}  // namespace norvale
