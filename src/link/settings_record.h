#pragma once

#include <cstdint>
#include <string>

namespace norvale {

// The user's settings as the whole program sees them: filled from the settings file and kept
// current by the window's handlers. Everything starts zero or empty.
struct SettingsRecord {
  int16_t CommPort = 0;        // serial port number 1..7
  std::string CommBaud;        // baud rate as decimal text, e.g. "38400"
  int16_t CommSlaveID = 0;     // Modbus address of every request
  std::string LogFilePath;     // CSV output file
  std::string LogFileFolder;   // where a relative LogFilePath lands; empty: the current folder
  std::string DatabasePath;    // handheld backup database
  bool PortableMeter = false;  // status block in the portable layout
  // A file of LogFilePath's name stays: the log takes name-2, name-3, ... instead.
  bool LogFileKeepsOthers = false;
};

}  // namespace norvale
