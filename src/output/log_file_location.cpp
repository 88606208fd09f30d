#include "output/log_file_location.h"

#include <filesystem>
#include <system_error>

namespace norvale {

std::string LogFileTarget(const std::string& name, const std::string& folder) {
  if (folder.empty() || (!name.empty() && name.front() == '/')) return name;
  return (std::filesystem::path(folder) / name).string();
}

std::string AbsoluteFileName(const std::string& path) {
  std::error_code error;
  std::filesystem::path absolute = std::filesystem::absolute(path, error);
  return error ? path : absolute.lexically_normal().string();
}

}  // namespace norvale
