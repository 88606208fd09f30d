#include "download/log_pointer.h"

namespace norvale {

void LogPointer::carry() {
  if (low >= 256) {
    low -= 256;
    high += 1;
  }
  if (high >= 192) {
    high = 128;
    bank += 1;
  }
  if (bank >= 24) bank = 8;
}

int32_t LogByteCount(const LogPointer& start, const LogPointer& end) {
  if (end.packed() == start.packed()) return 0;
  int32_t count = end.position() - start.position();
  return end.packed() > start.packed() ? count : count + kLogRingBytes;
}

}  // namespace norvale
