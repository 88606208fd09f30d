#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace norvale {

// Request frames without their CRC (the link folds the CRC in as it sends), and the reply
// lengths the link waits for, counted in bytes waiting in the receive buffer.
//
//   3:  slave 03 startHi startLo countHi countLo            -> slave 03 n data[n] crc crc
//   16: slave 10 startHi startLo countHi countLo n data[n]  -> slave 10 startHi startLo countHi
//   countLo crc crc 96: slave 60 bank addrHi addrLo countHi countLo         -> slave 60 x x x lenHi
//   lenLo data[len] crc crc 97: slave 61 00 00 00 00 00                             -> slave 61
//   bank addrHi addrLo crc crc 99: slave 63                                            -> slave 63
//   x x data[20] crc crc
inline constexpr int kReadHoldingRegisters = 3;
inline constexpr int kWriteMultipleRegisters = 16;
inline constexpr int kReadLogBlock = 96;
inline constexpr int kReadLastDownloadPointer = 97;
inline constexpr int kReadLiveValues = 99;

std::string ReadHoldingRegistersFrame(int slave, int startHi, int startLo, int count);
std::string WriteMultipleRegistersFrame(int slave, int start, int count, int byteCount,
                                        const std::array<int16_t, 36>& hiBytes,
                                        const std::array<int16_t, 36>& loBytes);
std::string ReadLogBlockFrame(int slave, int bank, int addressHi, int addressLo, int words);
std::string ReadLastDownloadPointerFrame(int slave);
std::string ReadLiveValuesFrame(int slave);

// Only the low byte of the count counts, so a count above 255 is not supported.
int ReadHoldingRegistersReplyLength(int count);
inline constexpr int kWriteMultipleRegistersReplyLength = 8;
int ReadLogBlockReplyLength(int words);
inline constexpr int kReadLastDownloadPointerReplyLength = 7;
inline constexpr int kReadLiveValuesReplyLength = 26;

}  // namespace norvale
