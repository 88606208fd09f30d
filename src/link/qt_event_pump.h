#pragma once

#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include "link/event_pump.h"

namespace norvale {

// Before the application object exists: Qt's own event dispatcher instead of GLib's, unless the
// user chose (QT_NO_GLIB set). Only the plain one leaves the port's bytes alone while a wait naps
// (waitForOtherEvents), so a reply at 9600 baud costs tens of wake-ups, not hundreds. Programs
// without a window take it; the window keeps GLib's, which desktop file dialogs rely on.
void PreferPlainEventDispatcher();

// Yields to the Qt event loop. A wait sleeps in the event loop until an event arrives (the serial
// port's data notifier included) or its time is up.
class QtEventPump : public EventPump {
 public:
  QtEventPump();
  void yieldOnce() override;
  void waitForEvents(double seconds) override;
  void waitForOtherEvents(double seconds) override;
  void pauseWithoutYield(double seconds) override;

 private:
  void runEvents(QEventLoop::ProcessEventsFlags flags);

  QTimer wakeUp_;
  QElapsedTimer sinceEvents_;  // since the event loop last ran
};

}  // namespace norvale
