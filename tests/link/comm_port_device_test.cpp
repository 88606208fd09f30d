#include "link/comm_port_device.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace norvale {
namespace {

namespace fs = std::filesystem;

TEST(CommPortDevice, LinkInTheSettingsFolderWinsOverTheDefaultDevices) {
  fs::path folder = fs::temp_directory_path() / "norvale_comm_port_test";
  fs::remove_all(folder);
  fs::create_directories(folder);
  fs::path target = folder / "by-id-adapter";
  { std::ofstream(target.string()) << ""; }
  fs::create_symlink(target, folder / "com2");

  EXPECT_EQ(CommPortDevice(2, folder.string()), fs::canonical(target).string());
  // No link for port 7: the usual device names.
  std::string seven = CommPortDevice(7, folder.string());
  EXPECT_TRUE(seven == "/dev/ttyUSB6" || seven == "/dev/ttyS6") << seven;
  // A dangling link is still used, so the open error names it.
  fs::create_symlink(folder / "missing", folder / "com3");
  EXPECT_EQ(CommPortDevice(3, folder.string()), (folder / "com3").string());
  // A one-line file with a device server's address; a link to such a file is still a device.
  { std::ofstream(folder / "com4") << "rfc2217://[::1]:4001\r\n"; }
  EXPECT_EQ(CommPortDevice(4, folder.string()), "rfc2217://[::1]:4001");
  fs::create_symlink(folder / "com4", folder / "com5");
  EXPECT_EQ(CommPortDevice(5, folder.string()), fs::canonical(folder / "com4").string());
  fs::remove_all(folder);
}

}  // namespace
}  // namespace norvale
