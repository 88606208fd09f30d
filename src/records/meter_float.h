#pragma once

#include <cstdint>

namespace norvale {

// The meter's four-byte number, most significant byte first, laid out like a single-precision
// float: p = sign and exponent bits 7..1, q = exponent bit 0 and mantissa bits 22..16, r and s
// the rest. The meter's own reading differs from IEEE in three ways that stored logs rely on:
//   - the mantissa (leading 1 always set) is divided by 2^24 - 1, not 2^24, so 41 48 00 00
//     reads 12.500000745058104, not 12.5;
//   - an exponent below 2 reads 0, or -1E-37 when the sign is set;
//   - an exponent above 252, or any result above 1E37, reads 1E37 (-1E37 for the sign with
//     the large exponent; there is no limit on the negative side otherwise).
double DecodeMeterFloat(uint8_t p, uint8_t q, uint8_t r, uint8_t s);

}  // namespace norvale
