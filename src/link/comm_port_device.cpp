#include "link/comm_port_device.h"

#include <filesystem>
#include <system_error>

namespace norvale {

std::string CommPortDevice(int number, const std::string& settingsFolder) {
  namespace fs = std::filesystem;
  std::error_code ec;
  if (!settingsFolder.empty()) {
    fs::path link = fs::path(settingsFolder) / ("com" + std::to_string(number));
    if (fs::is_symlink(link, ec) || fs::exists(link, ec)) {
      fs::path target = fs::canonical(link, ec);
      // A dangling link is opened as it stands, so the open error names it.
      return ec ? link.string() : target.string();
    }
  }
  std::string usb = "/dev/ttyUSB" + std::to_string(number - 1);
  if (fs::exists(usb, ec)) return usb;
  return "/dev/ttyS" + std::to_string(number - 1);
}

}  // namespace norvale
