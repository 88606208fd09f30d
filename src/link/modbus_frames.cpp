#include "link/modbus_frames.h"

namespace norvale {
namespace {

char byteOf(int value) { return static_cast<char>(value & 0xFF); }
char hiOf(int value) { return byteOf(value / 256); }

}  // namespace

std::string ReadHoldingRegistersFrame(int slave, int startHi, int startLo, int count) {
  return {byteOf(slave),   byteOf(kReadHoldingRegisters),
          byteOf(startHi), byteOf(startLo),
          hiOf(count),     byteOf(count)};
}

std::string WriteMultipleRegistersFrame(int slave, int start, int count, int byteCount,
                                        const std::array<int16_t, 36>& hiBytes,
                                        const std::array<int16_t, 36>& loBytes) {
  std::string frame{byteOf(slave),    byteOf(kWriteMultipleRegisters),
                    hiOf(start),      byteOf(start),
                    hiOf(count),      byteOf(count),
                    byteOf(byteCount)};
  for (int i = 0; i < count && i < static_cast<int>(hiBytes.size()); ++i) {
    frame += byteOf(hiBytes[i]);
    frame += byteOf(loBytes[i]);
  }
  return frame;
}

std::string ReadLogBlockFrame(int slave, int bank, int addressHi, int addressLo, int words) {
  return {byteOf(slave),     byteOf(kReadLogBlock), byteOf(bank), byteOf(addressHi),
          byteOf(addressLo), hiOf(words),           byteOf(words)};
}

std::string ReadLastDownloadPointerFrame(int slave) {
  return {byteOf(slave), byteOf(kReadLastDownloadPointer), 0, 0, 0, 0, 0};
}

std::string ReadLiveValuesFrame(int slave) { return {byteOf(slave), byteOf(kReadLiveValues)}; }

int ReadHoldingRegistersReplyLength(int count) { return 2 * (count & 0xFF) + 5; }

int ReadLogBlockReplyLength(int words) { return 2 * words + 9; }

}  // namespace norvale
