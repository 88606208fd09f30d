#pragma once

#include <QTimer>

#include "link/event_pump.h"

namespace norvale {

// Yields to the Qt event loop. A wait sleeps in the event loop until an event arrives (the serial
// port's data notifier included) or its time is up.
class QtEventPump : public EventPump {
 public:
  QtEventPump();
  void yieldOnce() override;
  void waitForEvents(double seconds) override;
  void pauseWithoutYield(double seconds) override;

 private:
  QTimer wakeUp_;
};

}  // namespace norvale
