#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace norvale {

// The value of the longest leading decimal number of a text (blanks ignored, optional sign,
// digits, optional point and fraction); 0 when the text does not start with a number.
double LeadingNumberValue(std::string_view text);

// Whether the text starts with a number at all (after blanks), for readers that must
// tell "0" from "letters".
bool StartsWithNumber(std::string_view text);

// The value of a text that is a number as a whole (blanks ignored as above); nothing when
// anything else follows the number ("1x") or there is none.
std::optional<double> WholeNumberValue(std::string_view text);

// Round to the nearest integer, halves to the even neighbour.
double RoundHalfEven(double value);

// RoundHalfEven into a 16-bit signed integer; nothing when the result does not fit.
std::optional<int16_t> ToInt16HalfEven(double value);

}  // namespace norvale
