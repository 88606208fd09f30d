#include "records/fill_bytes.h"

#include <gtest/gtest.h>

namespace norvale {
namespace {

TEST(StripFillBytes, LeavesTheNameOfAPaddedField) {
  std::string field = "Flow Rate";
  field.append(32 - field.size(), '\377');
  EXPECT_EQ(StripFillBytes(field), "Flow Rate");
  EXPECT_EQ(StripFillBytes(std::string(32, '\377')), "");
}

// Octal escapes: \376 = 254, \377 = 255, \375 = 253, \260 = 176.
TEST(StripFillBytes, DropsOnly254And255WhereverTheyStand) {
  EXPECT_EQ(StripFillBytes("\376A\377B\376\376C"), "ABC");
  // Spaces, other high bytes and NUL stay.
  EXPECT_EQ(StripFillBytes(std::string(" Tot \375\260C \0 \377", 12)),
            std::string(" Tot \375\260C \0 ", 11));
}

}  // namespace
}  // namespace norvale
