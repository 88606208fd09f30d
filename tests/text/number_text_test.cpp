#include "text/number_text.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <optional>
#include <ostream>
#include <random>

namespace norvale {
namespace {

struct NumberCase {
  double value;
  const char* text;
};

void PrintTo(const NumberCase& c, std::ostream* out) { *out << '"' << c.text << '"'; }

class NumberTextTest : public ::testing::TestWithParam<NumberCase> {};

TEST_P(NumberTextTest, WritesTheStoredForm) {
  EXPECT_EQ(NumberText(GetParam().value), GetParam().text) << GetParam().value;
}

INSTANTIATE_TEST_SUITE_P(
    Values, NumberTextTest,
    ::testing::Values(
        // Sign column and no zero before the point.
        NumberCase{0, " 0"}, NumberCase{-0.0, " 0"}, NumberCase{0.5, " .5"},
        NumberCase{-0.25, "-.25"}, NumberCase{1, " 1"}, NumberCase{-3, "-3"},
        NumberCase{100, " 100"}, NumberCase{1234.5, " 1234.5"}, NumberCase{0.1, " .1"},
        // Fifteen significant digits, rounded, trailing zeros dropped.
        NumberCase{12.500000745058104, " 12.5000007450581"},
        NumberCase{65537.00390630984, " 65537.0039063098"},
        NumberCase{1.0000000596046483, " 1.00000005960465"},
        NumberCase{1.0 / 3, " .333333333333333"}, NumberCase{-2.0 / 3, "-.666666666666667"},
        NumberCase{2.50000014901161, " 2.50000014901161"},
        // Fixed form from 1E-4 up to just below 1E15.
        NumberCase{1e-4, " .0001"}, NumberCase{0.00012345, " .00012345"},
        NumberCase{0.00009999999999999999, " .0001"}, NumberCase{1e14, " 100000000000000"},
        NumberCase{999999999999999.0, " 999999999999999"},
        // Exponent form outside it.
        NumberCase{1e15, " 1E+15"}, NumberCase{999999999999999.9, " 1E+15"},
        NumberCase{1e-5, " 1E-05"}, NumberCase{1.5e-5, " 1.5E-05"},
        NumberCase{123456789012345678.0, " 1.23456789012346E+17"}, NumberCase{-1e37, "-1E+37"},
        NumberCase{1e37, " 1E+37"}, NumberCase{1e-37, " 1E-37"}, NumberCase{-1e-37, "-1E-37"},
        NumberCase{1e300, " 1E+300"},
        NumberCase{std::numeric_limits<double>::denorm_min(), " 4.94065645841247E-324"},
        NumberCase{std::numeric_limits<double>::infinity(), " Inf"},
        NumberCase{-std::numeric_limits<double>::infinity(), "-Inf"},
        NumberCase{std::numeric_limits<double>::quiet_NaN(), " NaN"}));

// Whatever the magnitude, the text reads back as the value to 15 significant digits.
TEST(NumberTextValues, ReadBackWithinFifteenDigits) {
  std::mt19937_64 random(7);
  std::uniform_real_distribution<double> mantissa(-10, 10);
  std::uniform_int_distribution<int> exponent(-40, 40);
  for (int i = 0; i < 20000; ++i) {
    double value = mantissa(random) * std::pow(10.0, exponent(random));
    std::string text = NumberText(value);
    ASSERT_EQ(text[0], value < 0 ? '-' : ' ') << text;
    ASSERT_LE(text.size(), 22u) << text;
    double back = std::strtod(text.c_str() + (value < 0 ? 0 : 1), nullptr);
    ASSERT_NEAR(back, value, std::fabs(value) * 6e-15) << text;
  }
}

struct ReadCase {
  const char* text;
  std::optional<double> value;
};

void PrintTo(const ReadCase& c, std::ostream* out) { *out << '"' << c.text << '"'; }

class ReadNumberTextTest : public ::testing::TestWithParam<ReadCase> {};

TEST_P(ReadNumberTextTest, ReadsTheStoredFormOnly) {
  EXPECT_EQ(ReadNumberText(GetParam().text), GetParam().value);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, ReadNumberTextTest,
    ::testing::Values(
        ReadCase{" 0", 0.0}, ReadCase{" .5", 0.5}, ReadCase{"-.25", -0.25}, ReadCase{"-2", -2.0},
        ReadCase{" 12.5000007450581", 12.5000007450581}, ReadCase{" 1E+15", 1e15},
        ReadCase{" 1.5E-05", 1.5e-5}, ReadCase{"-1E+37", -1e37},
        ReadCase{" 4.94065645841247E-324", 4.94065645841247E-324},
        // The sign column is not optional, and nothing may follow the number.
        ReadCase{"", std::nullopt}, ReadCase{" ", std::nullopt}, ReadCase{"-", std::nullopt},
        ReadCase{".5", std::nullopt}, ReadCase{"12", std::nullopt}, ReadCase{" -1", std::nullopt},
        ReadCase{"  1", std::nullopt}, ReadCase{" +1", std::nullopt}, ReadCase{" 1 ", std::nullopt},
        ReadCase{" 1,5", std::nullopt}, ReadCase{" 1E+400", std::nullopt},
        // Not values a meter logs.
        ReadCase{" Inf", std::nullopt}, ReadCase{"-Inf", std::nullopt},
        ReadCase{" NaN", std::nullopt}, ReadCase{" inf", std::nullopt}));

// Fifteen digits name one double, so a stored text reads back as a value that writes the same.
TEST(NumberTextValues, ReadBackWritesTheSameText) {
  std::mt19937_64 random(11);
  std::uniform_int_distribution<uint64_t> bits;
  for (int i = 0; i < 20000; ++i) {
    const uint64_t pattern = bits(random);
    double value;
    std::memcpy(&value, &pattern, sizeof value);
    if (!std::isfinite(value)) continue;
    const std::string text = NumberText(value);
    const std::optional<double> back = ReadNumberText(text);
    ASSERT_TRUE(back) << text;
    ASSERT_EQ(NumberText(*back), text);
  }
}

}  // namespace
}  // namespace norvale
