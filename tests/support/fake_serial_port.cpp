#include "support/fake_serial_port.h"

#include <algorithm>

namespace norvale::testing {

PortStatus FakeSerialPort::setSettings(const std::string& text) {
  settings = text;
  return PortStatus::Ok();
}

PortStatus FakeSerialPort::setPortOpen(bool open) {
  if (open && !openFailure.empty()) return PortStatus::Failed(openFailure);
  if (open && !isOpen) ++opens;
  isOpen = open;
  return PortStatus::Ok();
}

std::string FakeSerialPort::input() {
  size_t take =
      inputLen == 0 ? received.size() : std::min(received.size(), static_cast<size_t>(inputLen));
  std::string out = received.substr(0, take);
  received.erase(0, take);
  return out;
}

PortStatus FakeSerialPort::output(const std::string& bytes) {
  writes.push_back(bytes);
  if (onOutput) onOutput(bytes);
  return PortStatus::Ok();
}

}  // namespace norvale::testing
