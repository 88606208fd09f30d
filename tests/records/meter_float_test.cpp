#include "records/meter_float.h"

#include <gtest/gtest.h>

#include <ostream>

namespace norvale {
namespace {

struct FloatCase {
  uint8_t p, q, r, s;
  double value;
};

void PrintTo(const FloatCase& c, std::ostream* out) {
  *out << std::hex << +c.p << ' ' << +c.q << ' ' << +c.r << ' ' << +c.s;
}

class DecodeMeterFloatTest : public ::testing::TestWithParam<FloatCase> {};

TEST_P(DecodeMeterFloatTest, ReadsTheMetersValue) {
  const FloatCase& c = GetParam();
  EXPECT_DOUBLE_EQ(DecodeMeterFloat(c.p, c.q, c.r, c.s), c.value);
}

INSTANTIATE_TEST_SUITE_P(
    Bytes, DecodeMeterFloatTest,
    ::testing::Values(
        // The divisor is 2^24 - 1, so round binary values come out a shade high.
        FloatCase{0x41, 0x48, 0x00, 0x00, 12.500000745058104},
        FloatCase{0x3F, 0x80, 0x00, 0x00, 1.0000000596046483},
        FloatCase{0xBF, 0x80, 0x00, 0x00, -1.0000000596046483},
        FloatCase{0x47, 0x80, 0x00, 0x80, 65537.00390630984},
        FloatCase{0xC0, 0x20, 0x00, 0x00, -2.500000149011621},
        // Exponent below 2: zero, or the smallest negative stand-in.
        FloatCase{0x00, 0x00, 0x00, 0x00, 0.0}, FloatCase{0x00, 0x80, 0x12, 0x34, 0.0},
        FloatCase{0x80, 0x00, 0x00, 0x00, -1e-37}, FloatCase{0x80, 0xFF, 0xFF, 0xFF, -1e-37},
        // Exponent above 252: the largest stand-ins.
        FloatCase{0x7F, 0x80, 0x00, 0x00, 1e37}, FloatCase{0xFF, 0x80, 0x00, 0x00, -1e37},
        // Negative at the cap and beyond: exponents 253 and 254 with the smallest and the
        // largest mantissa (without the cap, FE 80 00 00 would be about -8.5E37).
        FloatCase{0xFE, 0x80, 0x00, 0x00, -1e37}, FloatCase{0xFE, 0xFF, 0xFF, 0xFF, -1e37},
        FloatCase{0xFF, 0x00, 0x00, 0x00, -1e37}, FloatCase{0xFF, 0x7F, 0xFF, 0xFF, -1e37},
        FloatCase{0x7E, 0x80, 0x00, 0x00, 1e37},
        // Exponent 252 with a full mantissa is 2^126 (about 8.5E37): capped on the positive
        // side only.
        FloatCase{0x7E, 0x7F, 0xFF, 0xFF, 1e37},
        FloatCase{0xFE, 0x7F, 0xFF, 0xFF, -85070591730234615865843651857942052864.0},
        // Exponent 2, the smallest magnitude that is not replaced.
        FloatCase{0x01, 0x00, 0x00, 0x00, 8388608.0 / 16777215.0 * 0x1p-124}));

}  // namespace
}  // namespace norvale
