#include "live/live_values.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstddef>
#include <string_view>

#include "live/live_units.h"
#include "records/meter_float.h"
#include "text/number_text.h"

namespace norvale {
namespace {

constexpr double kFeetToMetres = 0.3048;
constexpr std::array<const char*, 6> kAlarmLabels = {" Setpoint 1 ",  " Setpoint 2 ",
                                                     " Setpoint 3 ",  " Lost Signal ",
                                                     " 4-20 Loop#1 ", " 4-20 Loop#2 "};
constexpr int kKx60OnlyBit = 5;

uint8_t at(std::string_view block, size_t i) {
  return i < block.size() ? static_cast<uint8_t>(block[i]) : 0;
}

double floatAt(std::string_view block, size_t i) {
  return DecodeMeterFloat(at(block, i), at(block, i + 1), at(block, i + 2), at(block, i + 3));
}

int64_t totalAt(std::string_view block, size_t i) {
  return int64_t{at(block, i)} * 65536 + int64_t{at(block, i + 1)} * 4096 +
         int64_t{at(block, i + 2)} * 256 + at(block, i + 3);
}

}  // namespace

LiveValues DecodeLiveBlock(std::string_view block) {
  return {floatAt(block, 0), floatAt(block, 4), totalAt(block, 8), totalAt(block, 12),
          floatAt(block, 16)};
}

double FlowUnitFactor(int index) {
  return index >= 0 && index < static_cast<int>(kFlowUnits.size())
             ? kFlowUnits[static_cast<size_t>(index)].perCubicFootPerSecond
             : 1;
}

double VelocityUnitFactor(int index) { return index == 1 ? kFeetToMetres : 1; }

std::string FormatFlow(double value, int formatIndex) {
  const int places = formatIndex == 0 ? 0 : formatIndex == 2 ? 2 : formatIndex == 3 ? 3 : 1;
  if (!std::isfinite(value)) return PlainNumberText(value);
  // Halves round away from zero, as a format pattern does; fixed-form conversion alone would
  // round 2.25 to 2.2.
  const double scale = std::pow(10.0, places);
  const double rounded = std::round(value * scale) / scale;
  // Any double in fixed form, with its point and up to three places: well under 400 characters.
  // to_chars writes "." whatever the locale.
  char text[400];
  const auto written =
      std::to_chars(text, text + sizeof text, std::isfinite(rounded) ? rounded : value,
                    std::chars_format::fixed, places);
  std::string out(text, written.ptr);
  // "#" digits: no zero before the point, none after the last significant fraction digit.
  if (places > 0) {
    while (out.back() == '0') out.pop_back();
  } else {
    out += '.';
  }
  bool negative = out[0] == '-';
  std::string digits = negative ? out.substr(1) : out;
  if (digits.rfind("0.", 0) == 0) digits.erase(0, 1);
  if (negative && digits == ".") negative = false;  // -0.001 rounds to nothing
  return negative ? digits.insert(0, 1, '-') : digits;
}

std::string PlainNumberText(double value) {
  const std::string text = NumberText(value);
  std::string_view digits = text;
  if (!digits.empty() && digits[0] == ' ') digits.remove_prefix(1);
  const bool negative = !digits.empty() && digits[0] == '-';
  if (negative) digits.remove_prefix(1);
  // A zero goes before a leading point. Filled in place: growing the string by insert or append
  // trips a false -Wrestrict in GCC 12 at -O3.
  const size_t zero = !digits.empty() && digits[0] == '.' ? 1 : 0;
  const size_t sign = negative ? 1 : 0;
  std::string plain(sign + zero + digits.size(), '0');
  if (negative) plain[0] = '-';
  std::copy(digits.begin(), digits.end(), plain.begin() + static_cast<ptrdiff_t>(sign + zero));
  return plain;
}

std::string AlarmText(double alarmWord, bool kx60) {
  double whole = std::floor(alarmWord);
  if (!(whole >= -2147483648.0 && whole <= 2147483647.0)) return {};
  const auto bits = static_cast<int64_t>(whole);
  std::string text;
  for (size_t bit = 0; bit < kAlarmLabels.size(); ++bit) {
    if (static_cast<int>(bit) == kKx60OnlyBit && !kx60) continue;
    if (bits & (int64_t{1} << bit)) text += kAlarmLabels[bit];
  }
  return text;
}

LiveLines FormatLiveLines(const LiveValues& values, const LiveChoices& choices) {
  // Built by appending: "text" + std::string trips a false -Wrestrict in GCC 12 at -O3.
  auto line = [](const char* label, const std::string& value) {
    return std::string(label).append(value);
  };
  return {line("Flow = ",
               FormatFlow(values.flow * FlowUnitFactor(choices.flowUnit), choices.flowFormat)),
          line("Velocity = ",
               PlainNumberText(values.velocity * VelocityUnitFactor(choices.velocityUnit))),
          line("Forward Total = ", std::to_string(values.forwardTotal)),
          line("Reverse Total = ", std::to_string(values.reverseTotal)),
          AlarmText(values.alarm, choices.kx60)};
}

}  // namespace norvale
