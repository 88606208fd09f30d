#include "cli/serial_device.h"

#include <filesystem>
#include <system_error>

namespace norvale {

std::string SerialDevicePath(const std::string& device) {
  if (device.empty() || device.find('/') != std::string::npos) return device;
  std::error_code error;
  const bool here = std::filesystem::symlink_status(device, error).type() !=
                    std::filesystem::file_type::not_found;
  return here && !error ? "./" + device : device;
}

std::string PortErrorLine(const PortErrorMessage& message) {
  return "norvale-cli: " + message.text + ": " + message.details;
}

}  // namespace norvale
