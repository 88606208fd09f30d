#include "link/reply_frame.h"

#include <algorithm>
#include <optional>

#include "link/crc16.h"
#include "link/frame_shapes.h"
#include "link/modbus_frames.h"

namespace norvale {
namespace {

constexpr size_t kCrcBytes = 2;
constexpr size_t kExceptionReplyLength = 5;

char byteOf(int value) { return static_cast<char>(value & 0xFF); }
int at(std::string_view bytes, size_t i) { return static_cast<unsigned char>(bytes[i]); }

bool crcGood(std::string_view frame) { return frame.size() > kCrcBytes && Crc16Modbus(frame) == 0; }

size_t FixedReplyLength(int function) { return FrameShapeOf(function)->replyLength; }

// Length of whatever well-formed reply starts the bytes: nothing when no reply can start
// there, 0 when more header bytes are needed to tell.
std::optional<size_t> frameLengthAt(std::string_view bytes) {
  if (bytes.size() < 2) return 0;
  const int function = at(bytes, 1);
  if (function & 0x80) return kExceptionReplyLength;
  const FrameShape* shape = FrameShapeOf(function);
  if (shape == nullptr) return std::nullopt;
  const size_t lengthEnd = shape->dataLengthAt + shape->dataLengthSize;
  if (bytes.size() < lengthEnd) return 0;
  size_t data = 0;
  for (size_t i = shape->dataLengthAt; i < lengthEnd; ++i) data = data * 256 + at(bytes, i);
  if (data > shape->largestData) return std::nullopt;
  return shape->replyLength + data;
}

}  // namespace

ReplyShape ReadHoldingRegistersReplyShape(int slave, int count) {
  return {{byteOf(slave), byteOf(kReadHoldingRegisters), byteOf(2 * (count & 0xFF))},
          static_cast<size_t>(ReadHoldingRegistersReplyLength(count))};
}

ReplyShape WriteMultipleRegistersReplyShape(int slave, int start, int count) {
  return {{byteOf(slave), byteOf(kWriteMultipleRegisters), byteOf(start / 256), byteOf(start),
           byteOf(count / 256), byteOf(count)},
          FixedReplyLength(kWriteMultipleRegisters)};
}

ReplyShape ReadLogBlockReplyShape(int slave, int bank, int addressHi, int addressLo, int words) {
  return {{byteOf(slave), byteOf(kReadLogBlock), byteOf(bank), byteOf(addressHi), byteOf(addressLo),
           byteOf(2 * words / 256), byteOf(2 * words)},
          static_cast<size_t>(ReadLogBlockReplyLength(words))};
}

ReplyShape ReadLastDownloadPointerReplyShape(int slave) {
  return {{byteOf(slave), byteOf(kReadLastDownloadPointer)},
          FixedReplyLength(kReadLastDownloadPointer)};
}

ReplyShape ReadLiveValuesReplyShape(int slave) {
  return {{byteOf(slave), byteOf(kReadLiveValues)}, FixedReplyLength(kReadLiveValues)};
}

bool FrameFits(std::string_view frame, const ReplyShape& shape) {
  return frame.size() == shape.length && frame.substr(0, shape.prefix.size()) == shape.prefix;
}

ReplyScan ScanReply(std::string_view received, const ReplyShape& awaited) {
  const std::string_view prefix = awaited.prefix;
  const size_t shared = std::min(received.size(), prefix.size());
  if (received.substr(0, shared) == prefix.substr(0, shared)) {
    if (received.size() < awaited.length) return {ReplyScanKind::NeedMore, awaited.length};
    bool good = crcGood(received.substr(0, awaited.length));
    return {good ? ReplyScanKind::Reply : ReplyScanKind::DamagedReply, awaited.length};
  }
  std::optional<size_t> length = frameLengthAt(received);
  if (!length) return {ReplyScanKind::Noise, 1};
  if (*length == 0 || received.size() < *length) {
    return {ReplyScanKind::NeedMore, std::max<size_t>(*length, received.size() + 1)};
  }
  if (crcGood(received.substr(0, *length))) return {ReplyScanKind::OtherFrame, *length};
  return {ReplyScanKind::Noise, 1};
}

}  // namespace norvale
