#pragma once

#include <string>

namespace norvale {

// The device that port number n ("Comm" n) opens: a link named comN in the settings folder
// when there is one (for example to a /dev/serial/by-id/... name), else /dev/ttyUSB(n-1) when it
// exists, else /dev/ttyS(n-1). A one-line file comN holding a tcp:// or rfc2217:// address names
// a meter on a device server instead.
std::string CommPortDevice(int number, const std::string& settingsFolder);

}  // namespace norvale
