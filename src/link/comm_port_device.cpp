#include "link/comm_port_device.h"

#include <filesystem>
#include <fstream>
#include <system_error>

#include "link/device_address.h"

namespace norvale {
namespace {

namespace fs = std::filesystem;

// A meter on a device server: a one-line file holding its address.
std::string NetworkAddressIn(const fs::path& file) {
  std::error_code ec;
  if (fs::is_symlink(file, ec) || !fs::is_regular_file(file, ec)) return {};
  std::ifstream in(file);
  std::string line;
  std::getline(in, line);
  line.erase(line.find_last_not_of(" \t\r") + 1);
  return IsNetworkAddress(line) ? line : std::string();
}

}  // namespace

std::string CommPortDevice(int number, const std::string& settingsFolder) {
  std::error_code ec;
  if (!settingsFolder.empty()) {
    fs::path link = fs::path(settingsFolder) / ("com" + std::to_string(number));
    if (std::string address = NetworkAddressIn(link); !address.empty()) return address;
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
