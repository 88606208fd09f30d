#pragma once

#include <cstdint>
#include <optional>

namespace norvale {

// Two packed decimal digits, as the meter's log and the handheld database store their date and
// time fields: 0x59 reads 59. Nothing when either digit is A to F (erased or damaged memory).
// Inline: the import reads four of these per record.
constexpr std::optional<int> DecodeBcd(uint8_t packed) {
  const int high = packed >> 4;
  const int low = packed & 15;
  if (high > 9 || low > 9) return std::nullopt;
  return high * 10 + low;
}

}  // namespace norvale
