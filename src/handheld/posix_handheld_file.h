#pragma once

#include <string>

#include "handheld/handheld_file.h"

namespace norvale {

// The database on disk, read with the system's own calls.
class PosixHandheldFile : public HandheldFile {
 public:
  ~PosixHandheldFile() override;
  Opened open(const std::string& path) override;
  int64_t read(char* buffer, int64_t count) override;
  bool seek(int64_t position) override;
  int64_t size() override;
  void close() override;

  // Why the last open failed, in the system's words ("No such file or directory", "Is a
  // directory", "Permission denied").
  const std::string& openFailure() const { return openFailure_; }

 private:
  Opened fail(int error);

  int fd_ = -1;
  std::string openFailure_;
};

}  // namespace norvale
