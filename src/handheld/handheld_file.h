#pragma once

#include <cstdint>
#include <string>

namespace norvale {

// The handheld database as the reader needs it: open by path, read on from a position. Nothing
// here knows the record layout; tests put an in-memory file in its place.
class HandheldFile {
 public:
  enum class Opened { Yes, Missing, Unreadable };

  virtual ~HandheldFile() = default;
  // `path` in the system's own file-name encoding.
  virtual Opened open(const std::string& path) = 0;
  // Up to `count` bytes from the current position: how many were read, 0 at the end of the
  // file, -1 when the file cannot be read.
  virtual int64_t read(char* buffer, int64_t count) = 0;
  virtual bool seek(int64_t position) = 0;
  virtual int64_t size() = 0;
  virtual void close() = 0;
};

}  // namespace norvale
