#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace norvale {

// The request and reply fields every meter transaction shares. Each transaction overwrites them
// and leaves its last request and reply behind for the caller (ReplyText above all).
struct LinkState {
  int32_t RunningCrc = 0;
  int32_t ReqSlaveId = 0;
  int32_t ReqFunction = 0;
  int16_t ReqCountHi = 0;
  int16_t ReqCountLo = 0;
  int32_t ReqCrcLo = 0;
  int32_t ReqCrcHi = 0;
  int32_t RespCrcHi = 0;
  int32_t RespCrcLo = 0;
  std::string ReplyText;    // data bytes of the last reply, one char per byte
  std::string ReplyBuffer;  // what the last successful WaitForReply took from the port
  std::array<int16_t, 36> WriteHiBytes{};  // register values for function 16
  std::array<int16_t, 36> WriteLoBytes{};
  int16_t CommErrorShown = 0;  // 1 once the port error message has been shown
};

}  // namespace norvale
