#pragma once

#include <array>
#include <string>

#include "download/log_pointer.h"

namespace norvale {

// The 16 data bytes of holding registers 76..83. The portable meter puts every field one byte
// earlier:
//   standard: [1 unused][2-4 start][5 unused][6-8 end][9-12 used][13-16 available]
//   portable: [1-3 start][4 unused][5-7 end][8-11 used][12-15 available][16 unused]
struct StatusBlock {
  LogPointer start;
  LogPointer end;
  std::array<int, 4> recordsUsed{};  // four-byte meter number, most significant first
  std::array<int, 4> recordsAvailable{};
};

// Reads the block out of ReplyText; missing bytes count as 0.
StatusBlock ParseStatusBlock(const std::string& replyText, bool portableMeter);

}  // namespace norvale
