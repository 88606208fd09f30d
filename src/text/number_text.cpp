#include "text/number_text.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <optional>

namespace norvale {
namespace {

constexpr int kSignificantDigits = 15;
constexpr int kLowestFixedExponent = -4;
constexpr int kHighestFixedExponent = 14;

// A value's significant digits and the decimal exponent of the first.
struct Digits {
  char digits[kSignificantDigits];
  int count = 0;
  int exponent = 0;
};

// Takes "d.ddde+XX" (or "de-XX"), as to_chars writes in scientific form, apart: up to `room`
// digits and the exponent; the number of digits the text holds.
int splitScientific(const char* text, const char* end, char* digits, int room, int& exponent) {
  // The exponent has two or three digits, so its "e" is near the end.
  const char* e = end - 1;
  while (*e != 'e') --e;
  int count = 0;
  for (const char* p = text; p < e; ++p) {
    if (*p == '.') continue;
    if (count < room) digits[count] = *p;
    ++count;
  }
  const bool negative = e[1] == '-';
  int magnitude = 0;
  for (const char* p = e + 2; p < end; ++p) magnitude = magnitude * 10 + (*p - '0');
  exponent = negative ? -magnitude : magnitude;
  return count;
}

// The value correctly rounded to 15 significant digits, worked out exactly.
Digits roundedExactly(double magnitude) {
  char scientific[32];
  const char* end = std::to_chars(scientific, scientific + sizeof scientific, magnitude,
                                  std::chars_format::scientific, kSignificantDigits - 1)
                        .ptr;
  Digits d;
  d.count = splitScientific(scientific, end, d.digits, kSignificantDigits, d.exponent);
  return d;
}

// The same from the shortest text that reads back as the value (to_chars writes it about twice
// as fast), or nothing where that text cannot tell. That text lies within half a unit in the last
// place of the value, far less than half a unit in the 15th digit, as a normal double holds 15.9
// digits or more: with 15 digits or fewer it is the value rounded. With 16 or 17, no midpoint
// between 15-digit neighbours lies between the text and the value (that midpoint would be a text
// as short and closer), so its first 15 digits round like the value, unless the text is such a
// midpoint itself: 16 digits, the last a 5. Subnormal values hold fewer digits: the exact way.
std::optional<Digits> roundedFromShortest(double magnitude) {
  if (magnitude < std::numeric_limits<double>::min()) return std::nullopt;
  char shortest[32];
  const char* end =
      std::to_chars(shortest, shortest + sizeof shortest, magnitude, std::chars_format::scientific)
          .ptr;
  constexpr int kRoom = kSignificantDigits + 2;
  char all[kRoom];
  Digits d;
  const int count = splitScientific(shortest, end, all, kRoom, d.exponent);
  if (count > kRoom || (count == kSignificantDigits + 1 && all[kSignificantDigits] == '5')) {
    return std::nullopt;
  }
  d.count = std::min(count, kSignificantDigits);
  std::copy(all, all + d.count, d.digits);
  if (count > kSignificantDigits && all[kSignificantDigits] >= '5') {
    int i = kSignificantDigits - 1;
    for (; i >= 0 && d.digits[i] == '9'; --i) d.digits[i] = '0';
    if (i >= 0) {
      ++d.digits[i];
    } else {
      d.digits[0] = '1';
      ++d.exponent;
    }
  }
  return d;
}

char* putExponent(char* out, int exponent) {
  *out++ = 'E';
  *out++ = exponent < 0 ? '-' : '+';
  int magnitude = exponent < 0 ? -exponent : exponent;
  if (magnitude < 10) *out++ = '0';
  return std::to_chars(out, out + 4, magnitude).ptr;
}

char* putText(char* out, const char* text) {
  const size_t length = std::strlen(text);
  std::memcpy(out, text, length);
  return out + length;
}

}  // namespace

char* PutNumberText(char* out, double value) {
  if (std::isnan(value)) return putText(out, " NaN");
  if (std::isinf(value)) return putText(out, value < 0 ? "-Inf" : " Inf");

  *out++ = value < 0 ? '-' : ' ';
  double magnitude = std::fabs(value);
  if (magnitude == 0) {
    *out++ = '0';
    return out;
  }

  // Correctly rounded to 15 significant digits, locale-free.
  const std::optional<Digits> shortest = roundedFromShortest(magnitude);
  const Digits rounded = shortest ? *shortest : roundedExactly(magnitude);
  const char* digits = rounded.digits;
  int count = rounded.count;
  const int exponent = rounded.exponent;
  while (count > 1 && digits[count - 1] == '0') --count;

  if (exponent < kLowestFixedExponent || exponent > kHighestFixedExponent) {
    *out++ = digits[0];
    if (count > 1) {
      *out++ = '.';
      for (int i = 1; i < count; ++i) *out++ = digits[i];
    }
    return putExponent(out, exponent);
  }

  if (exponent < 0) {
    *out++ = '.';
    for (int i = -1; i > exponent; --i) *out++ = '0';
    for (int i = 0; i < count; ++i) *out++ = digits[i];
    return out;
  }
  for (int i = 0; i <= exponent; ++i) *out++ = i < count ? digits[i] : '0';
  if (count > exponent + 1) {
    *out++ = '.';
    for (int i = exponent + 1; i < count; ++i) *out++ = digits[i];
  }
  return out;
}

std::string NumberText(double value) {
  char text[kNumberTextRoom];
  return std::string(text, PutNumberText(text, value));
}

std::optional<double> ReadNumberText(std::string_view text) {
  // The sign column: a space before a value that is not negative, which from_chars does not
  // take; a "-" it reads itself.
  if (text.empty() || (text[0] != ' ' && text[0] != '-')) return std::nullopt;
  const std::string_view number = text[0] == ' ' ? text.substr(1) : text;
  const std::string_view digits = text.substr(1);
  // from_chars would also take "inf" and "nan".
  if (digits.empty() || (digits[0] != '.' && (digits[0] < '0' || digits[0] > '9'))) {
    return std::nullopt;
  }
  double value = 0;
  const char* end = number.data() + number.size();
  const auto [stop, error] = std::from_chars(number.data(), end, value);
  if (error != std::errc() || stop != end) return std::nullopt;
  return value;
}

}  // namespace norvale
