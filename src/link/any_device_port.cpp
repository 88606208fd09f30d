#include "link/any_device_port.h"

#include "link/device_address.h"

namespace norvale {

AnyDevicePort::AnyDevicePort(DeviceResolver resolver, EventPump& pump)
    : resolver_(std::move(resolver)), serial_(resolver_), network_(resolver_, pump) {}

// Settings go to both ports, so either opens with them.
void AnyDevicePort::setCommPort(int number) {
  commPort_ = number;
  serial_.setCommPort(number);
  network_.setCommPort(number);
}

PortStatus AnyDevicePort::setSettings(const std::string& settings) {
  PortStatus serial = serial_.setSettings(settings);
  PortStatus network = network_.setSettings(settings);
  return active_ == &serial_ ? serial : network;
}

void AnyDevicePort::setInputLen(int count) {
  serial_.setInputLen(count);
  network_.setInputLen(count);
}

void AnyDevicePort::setBinaryInputMode(bool binary) {
  serial_.setBinaryInputMode(binary);
  network_.setBinaryInputMode(binary);
}

PortStatus AnyDevicePort::setDtrEnable(bool enable) {
  PortStatus serial = serial_.setDtrEnable(enable);
  PortStatus network = network_.setDtrEnable(enable);
  return active_ == &serial_ ? serial : network;
}

PortStatus AnyDevicePort::setPortOpen(bool open) {
  if (open && !active_->portOpen()) {
    active_ =
        IsNetworkAddress(resolver_(commPort_)) ? static_cast<SerialPort*>(&network_) : &serial_;
  }
  return active_->setPortOpen(open);
}

}  // namespace norvale
