#include "link/qt_event_pump.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QThread>
#include <cmath>

namespace norvale {

void PreferPlainEventDispatcher() {
  if (!qEnvironmentVariableIsSet("QT_NO_GLIB")) qputenv("QT_NO_GLIB", "1");
}

QtEventPump::QtEventPump() {
  wakeUp_.setSingleShot(true);
  // A coarse timer may wake up to 5 % late: a resend due in a second would slip by 50 ms.
  wakeUp_.setTimerType(Qt::PreciseTimer);
}

namespace {

// Events that came in since the loop last ran less than this long ago can wait that much longer;
// back-to-back yields (three to an exchange) then cost a clock read instead of a trip through
// the event loop.
constexpr qint64 kFreshNanoseconds = 1'000'000;

}  // namespace

void QtEventPump::yieldOnce() {
  if (sinceEvents_.isValid() && sinceEvents_.nsecsElapsed() < kFreshNanoseconds) return;
  runEvents(QEventLoop::AllEvents);
}

void QtEventPump::runEvents(QEventLoop::ProcessEventsFlags flags) {
  QCoreApplication::processEvents(flags);
  sinceEvents_.start();
}

void QtEventPump::waitForEvents(double seconds) {
  if (seconds <= 0) {
    runEvents(QEventLoop::AllEvents);
    return;
  }
  const int milliseconds = static_cast<int>(std::ceil(seconds * 1000));
  // A reply comes a few bytes at a time, and after each the wait goes on to the same moment: the
  // timer armed for it still serves. Left armed, it at most wakes a later wait early.
  if (!wakeUp_.isActive() || std::abs(wakeUp_.remainingTime() - milliseconds) > 1) {
    wakeUp_.start(milliseconds);
  }
  runEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
}

// The serial port reads through a socket notifier; the window's own events do not come that way.
void QtEventPump::waitForOtherEvents(double seconds) {
  QDeadlineTimer until(static_cast<qint64>(seconds * 1000), Qt::PreciseTimer);
  for (qint64 left; (left = until.remainingTime()) > 0;) {
    wakeUp_.start(static_cast<int>(left));
    runEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents |
              QEventLoop::ExcludeSocketNotifiers);
  }
}

void QtEventPump::pauseWithoutYield(double seconds) {
  QThread::usleep(static_cast<unsigned long>(seconds * 1e6));
}

}  // namespace norvale
