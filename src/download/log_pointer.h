#pragma once

#include <cstdint>

namespace norvale {

// A position in the meter's log memory: bank, address high byte, address low byte.
// Banks 8..23 form a ring of 16 x 16384 bytes; inside a bank the high byte runs 128..191.
struct LogPointer {
  int bank = 0;
  int high = 0;
  int low = 0;

  friend bool operator==(const LogPointer&, const LogPointer&) = default;

  // Byte offset from the start of the ring.
  int32_t position() const { return (bank - 8) * 16384 + (high * 256 + low - 32768); }
  int32_t packed() const { return bank * 65536 + high * 256 + low; }
  // Whether it lies inside the log ring at all.
  bool inRing() const {
    return bank >= 8 && bank <= 23 && high >= 128 && high <= 191 && low >= 0 && low <= 255;
  }
  // Carries after an advance: low past 255 into high, high 192 to the next bank, bank 24 to 8.
  void carry();
};

inline constexpr int32_t kLogRingBytes = 262144;

// Bytes logged from start up to end, counting the wrap past bank 23.
int32_t LogByteCount(const LogPointer& start, const LogPointer& end);

}  // namespace norvale
