#include "text/leading_number.h"

#include <cfenv>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <string>

namespace norvale {
namespace {

struct Scan {
  double value = 0;
  bool found = false;
  size_t end = 0;  // where the number (and blanks after it) ended
};

bool isBlank(char c) { return c == ' ' || c == '\t'; }
bool isDigit(char c) { return c >= '0' && c <= '9'; }

// Blanks are ignored anywhere inside the number ("1 2" reads 12), as the classic reader does.
Scan scanLeadingNumber(std::string_view text) {
  size_t i = 0;
  auto skipBlanks = [&] {
    while (i < text.size() && isBlank(text[i])) ++i;
  };
  skipBlanks();
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    ++i;
  }
  std::string digits;
  bool seenPoint = false;
  bool seenDigit = false;
  for (; i < text.size(); ++i) {
    char c = text[i];
    if (isBlank(c)) continue;
    if (isDigit(c)) {
      digits += c;
      seenDigit = true;
    } else if (c == '.' && !seenPoint) {
      digits += c;
      seenPoint = true;
    } else {
      break;
    }
  }
  if (!seenDigit) return {};
  // from_chars reads "." whatever the user's locale; strtod would stop at it under a
  // comma-decimal locale and read "3.5" as 3.
  double value = 0;
  auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
  (void)end;
  if (error == std::errc::result_out_of_range) {
    // Too many whole digits overflow, as strtod's HUGE_VAL; a fraction too small to hold is 0.
    const std::string_view whole = std::string_view(digits).substr(0, digits.find('.'));
    value = whole.find_first_not_of('0') != std::string_view::npos ? HUGE_VAL : 0;
  }
  return {negative ? -value : value, true, i};
}

}  // namespace

double LeadingNumberValue(std::string_view text) { return scanLeadingNumber(text).value; }

bool StartsWithNumber(std::string_view text) { return scanLeadingNumber(text).found; }

std::optional<double> WholeNumberValue(std::string_view text) {
  Scan scan = scanLeadingNumber(text);
  if (!scan.found || scan.end != text.size()) return std::nullopt;
  return scan.value;
}

double RoundHalfEven(double value) {
  // nearbyint honours the current rounding mode; the default is to nearest, ties to even.
  return std::nearbyint(value);
}

std::optional<int16_t> ToInt16HalfEven(double value) {
  double rounded = RoundHalfEven(value);
  if (!(rounded >= INT16_MIN && rounded <= INT16_MAX)) return std::nullopt;
  return static_cast<int16_t>(rounded);
}

}  // namespace norvale
