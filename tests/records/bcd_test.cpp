#include "records/bcd.h"

#include <gtest/gtest.h>

#include <optional>

namespace norvale {
namespace {

TEST(DecodeBcd, ReadsDecimalDigitsAndRefusesHexDigits) {
  const struct {
    uint8_t packed;
    std::optional<int> value;
  } cases[] = {
      {0x00, 0},
      {0x09, 9},
      {0x10, 10},
      {0x31, 31},
      {0x59, 59},
      {0x90, 90},
      {0x99, 99},
      // Either digit above 9, alone or both.
      {0x0A, std::nullopt},
      {0x1F, std::nullopt},
      {0xA0, std::nullopt},
      {0xF9, std::nullopt},
      {0x9A, std::nullopt},
      {0xFF, std::nullopt},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(DecodeBcd(c.packed), c.value) << "byte 0x" << std::hex << int{c.packed};
  }
}

}  // namespace
}  // namespace norvale
