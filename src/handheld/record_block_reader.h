#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "handheld/handheld_file.h"

namespace norvale {

// Hands out the file's 32-byte blocks one after another from a position, reading ahead in large
// pieces. A last block shorter than 32 bytes is not handed out.
class RecordBlockReader {
 public:
  enum class Next { Block, End, Failed };

  RecordBlockReader(HandheldFile& file, int64_t start);
  Next next(std::string_view& block);
  // Bytes of the file handed out or passed so far, from its start.
  int64_t position() const { return position_; }

 private:
  HandheldFile& file_;
  int64_t position_;
  bool positioned_ = false;
  std::vector<char> buffer_;
  size_t begin_ = 0;  // the bytes read and not yet handed out
  size_t end_ = 0;
};

}  // namespace norvale
