#pragma once

#include <cstdio>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "link/meter_link.h"
#include "link/qt_event_pump.h"
#include "link/qt_serial_port.h"
#include "link/system_clock.h"
#include "support/handheld_database.h"
#include "support/simulator_process.h"

namespace norvale::bench {

// The program's link, slave 1 on "Comm1", talking to the demo meter simulated on a pty.
struct SimulatedLink {
  SimulatedLink(std::vector<std::string> simulatorArgs, int baud)
      : sim(testing::ToolScenario("demo.json"), std::move(simulatorArgs)) {
    settings.CommPort = 1;
    settings.CommBaud = std::to_string(baud);
    settings.CommSlaveID = 1;
    std::string device = sim.devicePath();
    port = std::make_unique<QtSerialPort>([device](int) { return device; });
    link = std::make_unique<MeterLink>(settings, *port, clock, pump, nullptr);
  }

  // Whether the simulator runs and the port opens; what stopped it is printed after `label`.
  bool ready(const char* label) {
    if (!sim.started()) {
      std::printf("%s simulator: %s\n", label, sim.error().c_str());
      return false;
    }
    if (!link->OpenCommPort()) {
      std::printf("%s the port did not open\n", label);
      return false;
    }
    return true;
  }

  testing::SimulatorProcess sim;
  SettingsRecord settings;
  std::unique_ptr<QtSerialPort> port;
  SystemClock clock;
  QtEventPump pump;
  std::unique_ptr<MeterLink> link;
};

}  // namespace norvale::bench
