#include "link/qt_event_pump.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QThread>

namespace norvale {

QtEventPump::QtEventPump(int roundMilliseconds) {
  wakeUp_.setSingleShot(true);
  wakeUp_.setInterval(roundMilliseconds);
}

void QtEventPump::yieldOnce() { QCoreApplication::processEvents(QEventLoop::AllEvents); }

void QtEventPump::waitBriefly() {
  wakeUp_.start();
  QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
  wakeUp_.stop();
}

void QtEventPump::pauseWithoutYield(double seconds) {
  QThread::usleep(static_cast<unsigned long>(seconds * 1e6));
}

}  // namespace norvale
