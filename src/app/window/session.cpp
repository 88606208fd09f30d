#include "app/window/session.h"

#include <utility>

namespace norvale {

Session::Session(QString settingsFolder, SerialPort& port, Clock& clock, EventPump& pump)
    : link(settings, port, clock, pump, PortErrorReporter{}),
      settingsFolder_(std::move(settingsFolder)) {}

}  // namespace norvale
