#pragma once

#include <fstream>
#include <string>

namespace norvale::bench {

// This process's resident memory (VmRSS) in megabytes, or -1 when it cannot be read.
inline double ResidentMegabytes() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("VmRSS:", 0) == 0) return std::stod(line.substr(6)) / 1024.0;
  }
  return -1;
}

}  // namespace norvale::bench
