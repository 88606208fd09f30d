#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace norvale {

// What the meter transactions share with their callers: the registers a write sends, and the
// last reply left behind (ReplyText above all).
struct LinkState {
  std::string ReplyText;    // data bytes of the last reply, one char per byte
  std::string ReplyBuffer;  // what the last successful WaitForReply took from the port
  std::array<int16_t, 36> WriteHiBytes{};  // register values for function 16
  std::array<int16_t, 36> WriteLoBytes{};
  int16_t CommErrorShown = 0;  // 1 once the port error message has been shown
};

}  // namespace norvale
