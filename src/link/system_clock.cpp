#include "link/system_clock.h"

#include <QTime>

namespace norvale {

double SystemClock::timeOfDay() { return QTime::currentTime().msecsSinceStartOfDay() / 1000.0; }

}  // namespace norvale
