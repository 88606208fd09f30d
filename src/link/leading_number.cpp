#include "link/leading_number.h"

#include <cfenv>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>

namespace norvale {
namespace {

struct Scan {
  double value = 0;
  bool found = false;
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
  double value = std::strtod(digits.c_str(), nullptr);
  return {negative ? -value : value, true};
}

}  // namespace

double LeadingNumberValue(std::string_view text) { return scanLeadingNumber(text).value; }

bool StartsWithNumber(std::string_view text) { return scanLeadingNumber(text).found; }

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
