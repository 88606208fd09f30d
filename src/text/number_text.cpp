#include "text/number_text.h"

#include <charconv>
#include <cmath>

namespace norvale {
namespace {

constexpr int kSignificantDigits = 15;
constexpr int kLowestFixedExponent = -4;
constexpr int kHighestFixedExponent = 14;

char* putExponent(char* out, int exponent) {
  *out++ = 'E';
  *out++ = exponent < 0 ? '-' : '+';
  int magnitude = exponent < 0 ? -exponent : exponent;
  if (magnitude < 10) *out++ = '0';
  return std::to_chars(out, out + 4, magnitude).ptr;
}

}  // namespace

std::string NumberText(double value) {
  if (std::isnan(value)) return " NaN";
  if (std::isinf(value)) return value < 0 ? "-Inf" : " Inf";

  // Sign, up to 15 digits, point and exponent: well under 32 characters.
  char text[40];
  char* out = text;
  *out++ = value < 0 ? '-' : ' ';
  double magnitude = std::fabs(value);
  if (magnitude == 0) {
    *out++ = '0';
    return std::string(text, out);
  }

  // Correctly rounded to 15 significant digits, locale-free: "d.dddddddddddddde+XX".
  char scientific[32];
  auto end = std::to_chars(scientific, scientific + sizeof scientific, magnitude,
                           std::chars_format::scientific, kSignificantDigits - 1)
                 .ptr;
  char digits[kSignificantDigits];
  int count = 0;
  const char* p = scientific;
  for (; p < end && *p != 'e'; ++p) {
    if (*p != '.' && count < kSignificantDigits) digits[count++] = *p;
  }
  // from_chars takes a minus sign but not a plus.
  const char* exponentText = p + 1;
  if (exponentText < end && *exponentText == '+') ++exponentText;
  int exponent = 0;
  std::from_chars(exponentText, end, exponent);
  while (count > 1 && digits[count - 1] == '0') --count;

  if (exponent < kLowestFixedExponent || exponent > kHighestFixedExponent) {
    *out++ = digits[0];
    if (count > 1) {
      *out++ = '.';
      for (int i = 1; i < count; ++i) *out++ = digits[i];
    }
    out = putExponent(out, exponent);
    return std::string(text, out);
  }

  if (exponent < 0) {
    *out++ = '.';
    for (int i = -1; i > exponent; --i) *out++ = '0';
    for (int i = 0; i < count; ++i) *out++ = digits[i];
    return std::string(text, out);
  }
  for (int i = 0; i <= exponent; ++i) *out++ = i < count ? digits[i] : '0';
  if (count > exponent + 1) {
    *out++ = '.';
    for (int i = exponent + 1; i < count; ++i) *out++ = digits[i];
  }
  return std::string(text, out);
}

}  // namespace norvale
