#include "support/fake_clock.h"

namespace norvale::testing {

void FakeClock::advance(double seconds) {
  now += seconds;
  if (now >= 86400.0) now -= 86400.0;
}

}  // namespace norvale::testing
