#pragma once

#include <string>

#include "link/port_error_message.h"

namespace norvale {

// The path to open for --device: a name without a slash is the file of that name in the current
// folder when there is one ("./ttyM"), else left to the serial port, which looks in /dev.
std::string SerialDevicePath(const std::string& device);

// A port that could not be opened, on standard error: "norvale-cli: " and the link's message
// with the device path and the system's reason.
std::string PortErrorLine(const PortErrorMessage& message);

}  // namespace norvale
