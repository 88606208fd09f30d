#pragma once

#include <stdlib.h>

#include <filesystem>
#include <string>
#include <system_error>

namespace norvale::bench {

// A folder of the temporary directory for a bench's files (CSV files, the program's messages),
// removed again with everything in it. `path()` is empty when it could not be made.
class ScratchFolder {
 public:
  explicit ScratchFolder(const std::string& prefix) {
    std::string pattern =
        std::filesystem::temp_directory_path().string() + "/" + prefix + "-XXXXXX";
    if (mkdtemp(pattern.data())) path_ = pattern;
  }
  ~ScratchFolder() {
    std::error_code ec;
    if (!path_.empty()) std::filesystem::remove_all(path_, ec);
  }
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

}  // namespace norvale::bench
