#include "link/device_address.h"

#include <gtest/gtest.h>

#include <string>

namespace norvale {
namespace {

TEST(DeviceAddress, NetworkAddressesGiveKindHostAndPort) {
  struct Case {
    const char* text;
    DeviceKind kind;
    const char* host;
    uint16_t port;
  };
  const Case cases[] = {
      {"tcp://192.168.1.20:4001", DeviceKind::RawTcp, "192.168.1.20", 4001},
      {"rfc2217://meter-gw.local:2217", DeviceKind::Rfc2217, "meter-gw.local", 2217},
      {"TCP://gw:65535", DeviceKind::RawTcp, "gw", 65535},
      {"tcp://[::1]:4001", DeviceKind::RawTcp, "::1", 4001},
      {"rfc2217://[fe80::1%eth0]:7000", DeviceKind::Rfc2217, "fe80::1%eth0", 7000},
      {"  tcp://gw:4001\r\n", DeviceKind::RawTcp, "gw", 4001},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_TRUE(IsNetworkAddress(c.text));
    const DeviceAddress address = ParseDeviceAddress(c.text);
    EXPECT_EQ(address.error, "");
    EXPECT_EQ(address.kind, c.kind);
    EXPECT_EQ(address.host, c.host);
    EXPECT_EQ(address.port, c.port);
  }
}

// Each mistake gets its own reason: the user sees it beside the address they typed.
TEST(DeviceAddress, BrokenNetworkAddressesSayWhy) {
  struct Case {
    const char* text;
    const char* error;
  };
  const Case cases[] = {
      {"tcp://gw", "missing port"},
      {"tcp://gw:", "missing port"},
      {"tcp://[::1]", "missing port"},
      {"tcp://gw:http", "port must be a number"},
      {"tcp://gw:0", "port must be 1..65535"},
      {"tcp://gw:65536", "port must be 1..65535"},
      {"tcp://::1:4001", "an IPv6 address must be in brackets, as in [::1]:4001"},
      {"tcp://:4001", "missing host"},
      {"rfc2217://[]:4001", "missing host"},
      {"tcp://[::1:4001", "unclosed '[' in host"},
      {"tcp://[::1]4001", "unexpected text after the host"},
      {"tcp://gw:4001/meter", "unexpected text after the port"},
      {"tcp://gw:4001x", "unexpected text after the port"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_TRUE(IsNetworkAddress(c.text));
    EXPECT_EQ(ParseDeviceAddress(c.text).error, c.error);
  }
}

TEST(DeviceAddress, AnythingElseIsASerialDevicePathLeftAlone) {
  for (const char* text : {"/dev/ttyUSB0", "COM3", "tcp:/gw:4001", "udp://gw:4001",
                           "/dev/serial/by-id/usb-tcp://x", ""}) {
    SCOPED_TRACE(text);
    EXPECT_FALSE(IsNetworkAddress(text));
    const DeviceAddress address = ParseDeviceAddress(text);
    EXPECT_EQ(address.kind, DeviceKind::SerialDevice);
    EXPECT_EQ(address.host, "");
    EXPECT_EQ(address.port, 0);
    EXPECT_EQ(address.error, "");
  }
}

}  // namespace
}  // namespace norvale
