#include "support/file_bytes.h"

#include <fstream>
#include <sstream>

namespace norvale::testing {

std::string FileBytes(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

}  // namespace norvale::testing
