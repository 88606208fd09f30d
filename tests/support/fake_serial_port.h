#pragma once

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "link/serial_port.h"

namespace norvale::testing {

// An in-memory serial control. Tests queue received bytes, read what was written, and may answer
// each write through onOutput (a scripted meter).
class FakeSerialPort : public SerialPort {
 public:
  void setCommPort(int number) override { commPort = number; }
  std::string deviceFor(int number) override {
    auto device = devices.find(number);
    return device == devices.end() ? std::string() : device->second;
  }
  PortStatus setSettings(const std::string& text) override;
  void setInputLen(int count) override { inputLen = count; }
  void setBinaryInputMode(bool binary) override { binaryMode = binary; }
  PortStatus setPortOpen(bool open) override;
  bool portOpen() const override { return isOpen; }
  PortStatus setDtrEnable(bool enable) override {
    dtr = enable;
    ++dtrCalls;
    return PortStatus::Ok();
  }
  int inBufferCount() override { return static_cast<int>(received.size()); }
  void discardInBuffer() override {
    received.clear();
    ++inDiscards;
  }
  void discardOutBuffer() override { ++outDiscards; }
  std::string input() override;
  PortStatus output(const std::string& bytes) override;

  // Bytes arriving from the far end.
  void receive(const std::string& bytes) { received += bytes; }

  int commPort = 0;
  std::string settings;
  int inputLen = 0;
  bool binaryMode = false;
  bool isOpen = false;
  bool dtr = false;
  int dtrCalls = 0;
  int opens = 0;
  int inDiscards = 0;
  int outDiscards = 0;
  std::string received;
  std::vector<std::string> writes;
  // The device each port number names, for deviceFor.
  std::map<int, std::string> devices;
  // When set, opening fails with this reason.
  std::string openFailure;
  std::function<void(const std::string&)> onOutput;
};

}  // namespace norvale::testing
