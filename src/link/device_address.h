#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace norvale {

enum class DeviceKind { SerialDevice, RawTcp, Rfc2217 };

// Where the link goes: a serial device path, or a network port that carries the meter's bytes
// (raw TCP, or telnet with the COM-PORT-OPTION when the far end sets the line itself).
struct DeviceAddress {
  DeviceKind kind = DeviceKind::SerialDevice;
  std::string host;  // without brackets for IPv6
  uint16_t port = 0;
  // Non-empty: the text looked like an address but is not a usable one; says why.
  std::string error;
};

// "tcp://HOST:PORT" or "rfc2217://HOST:PORT" (scheme case-insensitive); HOST a name, an IPv4
// address or a bracketed IPv6 address ("[::1]:4001"). Anything not starting with one of the two
// schemes is a serial device path (kind SerialDevice, nothing else set). Whitespace around the
// whole text is ignored: a one-line file may end in a newline.
DeviceAddress ParseDeviceAddress(std::string_view text);

// Starts with one of the two schemes.
bool IsNetworkAddress(std::string_view text);

}  // namespace norvale
