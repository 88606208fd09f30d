#pragma once

#include <cstddef>

namespace norvale {

inline constexpr int kReadHoldingRegisters = 3;
inline constexpr int kWriteMultipleRegisters = 16;
inline constexpr int kReadLogBlock = 96;
inline constexpr int kReadLastDownloadPointer = 97;
inline constexpr int kReadLiveValues = 99;

// The frames of each function the program uses, requests without their CRC (the link appends
// it), replies with theirs:
//
//   3   slave 03 startHi startLo countHi countLo
//       slave 03 n data[n] crc crc
//   16  slave 10 startHi startLo countHi countLo n data[n]
//       slave 10 startHi startLo countHi countLo crc crc
//   96  slave 60 bank addrHi addrLo countHi countLo
//       slave 60 bank addrHi addrLo lenHi lenLo data[len] crc crc
//   97  slave 61 00 00 00 00 00
//       slave 61 bank addrHi addrLo crc crc
//   99  slave 63
//       slave 63 x x data[20] crc crc
struct FrameShape {
  int function;
  size_t requestLength;   // without function 16's register data
  size_t replyLength;     // without the data whose length the reply gives
  size_t dataLengthAt;    // where the reply gives that length, high byte first
  size_t dataLengthSize;  // 0: the reply's length is fixed
  size_t largestData;     // a longer one is noise: a stray byte must not make the link wait long
};

// clang-format off
inline constexpr FrameShape kFrameShapes[] = {
    // function                request  reply  length at  size  largest data
    {kReadHoldingRegisters,    6,       5,     2,         1,    255},
    {kWriteMultipleRegisters,  7,       8,     0,         0,    0},
    {kReadLogBlock,            7,       9,     5,         2,    256},  // the 128 words asked for
    {kReadLastDownloadPointer, 7,       7,     0,         0,    0},
    {kReadLiveValues,          2,       26,    0,         0,    0},
};
// clang-format on

// Nothing for a function the program does not use.
constexpr const FrameShape* FrameShapeOf(int function) {
  for (const FrameShape& shape : kFrameShapes) {
    if (shape.function == function) return &shape;
  }
  return nullptr;
}

}  // namespace norvale
