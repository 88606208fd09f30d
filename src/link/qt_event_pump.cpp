#include "link/qt_event_pump.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QThread>
#include <cmath>

namespace norvale {

QtEventPump::QtEventPump() {
  wakeUp_.setSingleShot(true);
  // A coarse timer may wake up to 5 % late: a resend due in a second would slip by 50 ms.
  wakeUp_.setTimerType(Qt::PreciseTimer);
}

void QtEventPump::yieldOnce() { QCoreApplication::processEvents(QEventLoop::AllEvents); }

void QtEventPump::waitForEvents(double seconds) {
  if (seconds <= 0) {
    yieldOnce();
    return;
  }
  wakeUp_.start(static_cast<int>(std::ceil(seconds * 1000)));
  QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
  wakeUp_.stop();
}

void QtEventPump::pauseWithoutYield(double seconds) {
  QThread::usleep(static_cast<unsigned long>(seconds * 1e6));
}

}  // namespace norvale
