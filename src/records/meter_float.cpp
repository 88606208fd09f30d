#include "records/meter_float.h"

#include <cmath>

namespace norvale {

double DecodeMeterFloat(uint8_t p, uint8_t q, uint8_t r, uint8_t s) {
  constexpr double kDivisor = 16777215.0;
  constexpr double kLargest = 1e37;
  constexpr double kSmallestNegative = -1e-37;

  const bool negative = p > 127;
  const int exponent = (p & 127) * 2 + (q > 127 ? 1 : 0);
  const double mantissa = (q | 128) * 65536.0 + r * 256.0 + s;

  if (exponent < 2) return negative ? kSmallestNegative : 0.0;
  if (exponent > 252) return negative ? -kLargest : kLargest;
  double value = std::ldexp(mantissa / kDivisor, exponent - 126);
  if (negative) value = -value;
  return value > kLargest ? kLargest : value;
}

}  // namespace norvale
