#pragma once

#include <functional>
#include <string>

#include "link/event_pump.h"
#include "link/network_serial_port.h"
#include "link/qt_serial_port.h"

namespace norvale {

// The port the programs use: a serial device, or a device server when the port's device is a
// tcp:// or rfc2217:// address. Which one is decided at each open, so a comN file or link changed
// meanwhile takes effect with the next exchange.
class AnyDevicePort : public SerialPort {
 public:
  using DeviceResolver = std::function<std::string(int)>;

  AnyDevicePort(DeviceResolver resolver, EventPump& pump);

  void setCommPort(int number) override;
  std::string deviceFor(int number) override { return resolver_(number); }
  PortStatus setSettings(const std::string& settings) override;
  void setInputLen(int count) override;
  void setBinaryInputMode(bool binary) override;
  PortStatus setPortOpen(bool open) override;
  bool portOpen() const override { return active_->portOpen(); }
  PortStatus setDtrEnable(bool enable) override;
  int inBufferCount() override { return active_->inBufferCount(); }
  void discardInBuffer() override { active_->discardInBuffer(); }
  void discardOutBuffer() override { active_->discardOutBuffer(); }
  void discardBothBuffers() override { active_->discardBothBuffers(); }
  std::string input() override { return active_->input(); }
  PortStatus output(const std::string& bytes) override { return active_->output(bytes); }

 private:
  DeviceResolver resolver_;
  QtSerialPort serial_;
  NetworkSerialPort network_;
  SerialPort* active_ = &serial_;
  int commPort_ = 1;
};

}  // namespace norvale
