#pragma once

#include <QString>

#include "app/window/link_trace_relay.h"
#include "link/clock.h"
#include "link/event_pump.h"
#include "link/meter_link.h"
#include "link/serial_port.h"
#include "link/settings_record.h"
#include "output/record_table.h"

namespace norvale {

// The program's shared module state: the settings, the record table and the meter link, with the
// folder of the settings file. The window works on it; the port, clock and pump come from outside
// so tests can put fakes underneath.
class Session {
 public:
  Session(QString settingsFolder, SerialPort& port, Clock& clock, EventPump& pump);
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  const QString& settingsFolder() const { return settingsFolder_; }

  // Declared before the link, which keeps a reference to the settings.
  SettingsRecord settings;
  RecordTable records;
  MeterLink link;
  // What the link traces goes through here.
  LinkTraceRelay traces{link};
  // True while a download, an import or an ID scan runs: the polling cycles leave the port and
  // the table alone meanwhile.
  bool longOperationRunning = false;

 private:
  QString settingsFolder_;
};

}  // namespace norvale
