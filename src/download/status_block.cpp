#include "download/status_block.h"

#include <cstdint>

namespace norvale {

StatusBlock ParseStatusBlock(const std::string& replyText, bool portableMeter) {
  // Byte n (1-based, as the layout is written) of the standard layout.
  int shift = portableMeter ? 1 : 0;
  auto byteAt = [&](int n) {
    size_t index = static_cast<size_t>(n - 1 - shift);
    return index < replyText.size() ? static_cast<uint8_t>(replyText[index]) : 0;
  };
  StatusBlock block;
  block.start = {byteAt(2), byteAt(3), byteAt(4)};
  block.end = {byteAt(6), byteAt(7), byteAt(8)};
  for (int i = 0; i < 4; ++i) {
    block.recordsUsed[i] = byteAt(9 + i);
    block.recordsAvailable[i] = byteAt(13 + i);
  }
  return block;
}

}  // namespace norvale
