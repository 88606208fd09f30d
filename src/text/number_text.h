#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace norvale {

// The text of a channel value in the record table and the CSV file:
//   - a leading space when the value is not negative, "-" when it is;
//   - "." as decimal point whatever the locale, and no "0" before it (" .5", "-.25");
//   - at most 15 significant digits, trailing zeros dropped, whole numbers without a point;
//   - exponent form only when the rounded magnitude is below 1E-4 or at least 1E15:
//     mantissa as above, "E", the exponent's sign and at least two digits
//     (" 1E+15", " 1.5E-05", "-1E+37", " 1.23456789012346E+17").
// Infinities and NaN, which no meter value decodes to, read " Inf", "-Inf" and " NaN".
std::string NumberText(double value);

// Room for any number text: sign, 15 digits, point, "E", the exponent's sign and three digits.
inline constexpr int kNumberTextRoom = 24;
// The same text written at `out`, which has room for kNumberTextRoom characters; returns its
// end. For a caller that writes many numbers and keeps none as a string of its own.
char* PutNumberText(char* out, double value);

// The value a number text names, read back exactly as from_chars reads the digits: " .5", "-2",
// " 12.5000007450581", " 1.5E-05". Nothing for any other text, for an empty one, and for " Inf",
// "-Inf" and " NaN", which no stored file should keep as a value.
std::optional<double> ReadNumberText(std::string_view text);

}  // namespace norvale
