#pragma once

#include <QTimer>

#include "link/event_pump.h"

namespace norvale {

// Yields to the Qt event loop. A polling round sleeps in the event loop until an event arrives
// (the serial port's data notifier included) or a few milliseconds pass.
class QtEventPump : public EventPump {
 public:
  explicit QtEventPump(int roundMilliseconds = 10);
  void yieldOnce() override;
  void waitBriefly() override;
  void pauseWithoutYield(double seconds) override;

 private:
  QTimer wakeUp_;
};

}  // namespace norvale
