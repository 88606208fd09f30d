#include "text/leading_number.h"

#include <gtest/gtest.h>

#include <optional>

#include "support/comma_locale.h"

namespace norvale {
namespace {

// Settings values and slave IDs are written with a point whatever the user's locale: under a
// comma-decimal locale "3.5" is still three and a half (a slave ID of 4), not 3.
TEST(LeadingNumber, ReadsThePointUnderACommaDecimalLocale) {
  testing::ScopedCommaLocale comma;
  if (!comma.active()) GTEST_SKIP() << testing::CommaDecimalLocale().skipReason;
  struct Case {
    const char* text;
    double value;
    std::optional<int16_t> id;
  };
  for (Case c : {Case{"3.5", 3.5, 4}, Case{"2.5", 2.5, 2}, Case{" 9600.0", 9600, 9600},
                 Case{"-12.75x", -12.75, -13}, Case{"1,5", 1, 1}}) {
    EXPECT_DOUBLE_EQ(LeadingNumberValue(c.text), c.value) << c.text;
    EXPECT_EQ(ToInt16HalfEven(LeadingNumberValue(c.text)), c.id) << c.text;
  }
}

// What follows a number makes it no number for the values that must be one as a whole.
TEST(LeadingNumber, WholeNumberRefusesTrailingText) {
  const std::pair<const char*, std::optional<double>> cases[] = {
      {"1", 1},           {" 1 ", 1},           {"-1", -1},
      {"1.5", 1.5},       {"1 2", 12},          {"1x", std::nullopt},
      {"", std::nullopt}, {"x1", std::nullopt}, {"1.2.3", std::nullopt}};
  for (const auto& [text, value] : cases) EXPECT_EQ(WholeNumberValue(text), value) << text;
}

}  // namespace
}  // namespace norvale
