#include "link/network_serial_port.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QTimer>

#include "link/qt_event_pump.h"
#include "support/tcp_ports.h"

namespace norvale {
namespace {

// Exit and Stop end the work through the pump: a connection being made gives up at once.
TEST(NetworkSerialPort, AStopWhileConnectingEndsTheWaitAtOnce) {
  testing::SilentListener silent;
  QtEventPump pump;
  NetworkSerialPort port([&](int) { return silent.address(); }, pump);
  QTimer::singleShot(200, [&] { pump.requestStop(); });
  QElapsedTimer taken;
  taken.start();
  const PortStatus status = port.setPortOpen(true);
  EXPECT_FALSE(status.ok);
  EXPECT_EQ(status.reason, silent.address() + ": stopped");
  EXPECT_LT(taken.elapsed(), 1000);
  EXPECT_FALSE(port.portOpen());
}

}  // namespace
}  // namespace norvale
