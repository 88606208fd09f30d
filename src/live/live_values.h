#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace norvale {

// The 20-byte block of a function-99 reply:
//
//   1-4   flow, meter float, cubic feet per second     13-16 reverse total, as forward
//   5-8   velocity, meter float, feet per second       17-20 alarm word, meter float; its
//   9-12  forward total: b9 x 65536 + b10 x 4096             whole part is a bit set
//         + b11 x 256 + b12 (b10 weighs 4096)
struct LiveValues {
  double flow = 0;
  double velocity = 0;
  int64_t forwardTotal = 0;
  int64_t reverseTotal = 0;
  double alarm = 0;
};

inline constexpr size_t kLiveBlockSize = 20;

// Missing bytes count as 0.
LiveValues DecodeLiveBlock(std::string_view block);

// The factor from cubic feet per second to the flow unit at `index` of kFlowUnits; 1 for no
// selection.
double FlowUnitFactor(int index);
// Feet per second to the velocity unit at `index` ("FPS", "MPS"); 1 for no selection.
double VelocityUnitFactor(int index);

// The flow formats "#.", "#.#", "#.##", "#.###" by list position (1, "#.#", for no selection):
// integer digits without leading zeros, a point always, at most that many fraction digits,
// rounded, trailing zeros dropped. 1234.567 with "#.##" gives "1234.57", 0.5 gives ".5".
std::string FormatFlow(double value, int formatIndex);

// A number as plain text: up to 15 significant digits, "0.5" for a half.
std::string PlainNumberText(double value);

// The alarm labels of the set bits, in bit order; bit 32 ("4-20 Loop#2") only for the KX60.
// No text for a word beyond the 32-bit range.
std::string AlarmText(double alarmWord, bool kx60);

// The five display lines of one answered poll: flow, velocity, forward total, reverse total,
// alarms.
struct LiveLines {
  std::string flow, velocity, forwardTotal, reverseTotal, alarms;
};
struct LiveChoices {
  int flowUnit = -1;  // list positions, -1 for none
  int flowFormat = -1;
  int velocityUnit = -1;
  bool kx60 = false;
};
LiveLines FormatLiveLines(const LiveValues& values, const LiveChoices& choices);

}  // namespace norvale
