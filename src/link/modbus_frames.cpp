#include "link/modbus_frames.h"

namespace norvale {
namespace {

char byteOf(int value) { return static_cast<char>(value & 0xFF); }
int hiOf(int value) { return value / 256; }

// Slave, function and the parameter bytes, as many as the function's shape has.
template <int kFunction, typename... Parameters>
std::string Request(int slave, Parameters... parameters) {
  static_assert(2 + sizeof...(parameters) == FrameShapeOf(kFunction)->requestLength);
  return {byteOf(slave), byteOf(kFunction), byteOf(parameters)...};
}

int ReplyLength(int function, int dataBytes) {
  return static_cast<int>(FrameShapeOf(function)->replyLength) + dataBytes;
}

}  // namespace

std::string ReadHoldingRegistersFrame(int slave, int startHi, int startLo, int count) {
  return Request<kReadHoldingRegisters>(slave, startHi, startLo, hiOf(count), count);
}

std::string WriteMultipleRegistersFrame(int slave, int start, int count, int byteCount,
                                        const std::array<int16_t, 36>& hiBytes,
                                        const std::array<int16_t, 36>& loBytes) {
  std::string frame =
      Request<kWriteMultipleRegisters>(slave, hiOf(start), start, hiOf(count), count, byteCount);
  for (int i = 0; i < count && i < static_cast<int>(hiBytes.size()); ++i) {
    frame += byteOf(hiBytes[i]);
    frame += byteOf(loBytes[i]);
  }
  return frame;
}

std::string ReadLogBlockFrame(int slave, int bank, int addressHi, int addressLo, int words) {
  return Request<kReadLogBlock>(slave, bank, addressHi, addressLo, hiOf(words), words);
}

std::string ReadLastDownloadPointerFrame(int slave) {
  return Request<kReadLastDownloadPointer>(slave, 0, 0, 0, 0, 0);
}

std::string ReadLiveValuesFrame(int slave) { return Request<kReadLiveValues>(slave); }

int ReadHoldingRegistersReplyLength(int count) {
  return ReplyLength(kReadHoldingRegisters, 2 * (count & 0xFF));
}

int ReadLogBlockReplyLength(int words) { return ReplyLength(kReadLogBlock, 2 * words); }

}  // namespace norvale
