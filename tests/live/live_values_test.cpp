#include "live/live_values.h"

#include <gtest/gtest.h>

#include "live/keypad.h"
#include "support/comma_locale.h"

namespace norvale {
namespace {

std::string Block(std::initializer_list<int> values) {
  std::string out;
  for (int v : values) out += static_cast<char>(v);
  out.resize(kLiveBlockSize, '\0');
  return out;
}

TEST(LiveValues, WorkedValuesAndFormats) {
  // Flow 1 (3F 80 00 00): 448.831 GPM with "#.##".
  LiveValues one = DecodeLiveBlock(Block({0x3F, 0x80, 0, 0}));
  EXPECT_EQ(FormatFlow(one.flow * FlowUnitFactor(0), 2), "448.83");
  EXPECT_EQ(FormatFlow(1234.567, 2), "1234.57");
  EXPECT_EQ(FormatFlow(2, 1), "2.");
  EXPECT_EQ(FormatFlow(0.5, 2), ".5");
  EXPECT_EQ(FormatFlow(-3.25, 0), "-3.");
  EXPECT_EQ(FormatFlow(2.25, -1), "2.3");  // no selection: "#.#"
  EXPECT_EQ(FormatFlow(0.04, 1), ".");
  EXPECT_EQ(FlowUnitFactor(-1), 1);
  EXPECT_EQ(FlowUnitFactor(14), 641.1);
  EXPECT_DOUBLE_EQ(VelocityUnitFactor(1) * 10, 3.048);
  EXPECT_EQ(PlainNumberText(0.5), "0.5");
  EXPECT_EQ(PlainNumberText(-3.183), "-3.183");

  // Byte 10 weighs 4096.
  EXPECT_EQ(DecodeLiveBlock(Block({0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0})).forwardTotal, 4096);
  EXPECT_EQ(DecodeLiveBlock(Block({0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0})).forwardTotal, 65536);
  EXPECT_EQ(DecodeLiveBlock(Block({0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF}))
                .reverseTotal,
            255 * 65536 + 255 * 4096 + 255 * 256 + 255);
}

// The flow line of a meter reading 1000 CFS in each unit of the list, with "#.###".
struct UnitLine {
  int index;
  const char* unit;
  const char* flow;
};
constexpr UnitLine kUnitLines[] = {
    {0, "GPM", "Flow = 448831."},     {1, "GPD", "Flow = 646316841.6"},
    {2, "MGD", "Flow = 646.316"},     {3, "CFS", "Flow = 1000."},
    {4, "CFM", "Flow = 60000."},      {5, "CFD", "Flow = 86400000."},
    {6, "LPS", "Flow = 28317.016"},   {7, "LPM", "Flow = 1699200."},
    {8, "LPD", "Flow = 2446590180."}, {9, "MLD", "Flow = 2446.589"},
    {10, "M3S", "Flow = 28.32"},      {11, "M3H", "Flow = 101952."},
    {12, "M3D", "Flow = 2446848."},   {13, "IGM", "Flow = 373830."},
    {14, "BPH", "Flow = 641100."},
};

void ExpectEveryUnitsFlowLine() {
  LiveValues thousand;
  thousand.flow = 1000;
  thousand.velocity = 2.5;
  for (const UnitLine& u : kUnitLines) {
    LiveLines lines = FormatLiveLines(thousand, {u.index, 3, -1, false});
    EXPECT_EQ(lines.flow, u.flow) << u.unit;
    EXPECT_EQ(lines.velocity, "Velocity = 2.5") << u.unit;
  }
}

TEST(LiveValues, FlowLineOfEveryUnit) { ExpectEveryUnitsFlowLine(); }

// A German or French user's locale writes "448,83" with printf; the meter display never does.
TEST(LiveValues, LinesKeepThePointUnderACommaDecimalLocale) {
  testing::ScopedCommaLocale comma;
  if (!comma.active()) GTEST_SKIP() << testing::CommaDecimalLocale().skipReason;
  ExpectEveryUnitsFlowLine();
  EXPECT_EQ(FormatFlow(1234.567, 2), "1234.57");
  EXPECT_EQ(PlainNumberText(-3.183), "-3.183");
}

TEST(LiveValues, AlarmLabelsByBitAndMeterType) {
  EXPECT_EQ(AlarmText(9, false), " Setpoint 1  Lost Signal ");
  EXPECT_EQ(AlarmText(9.9, false), " Setpoint 1  Lost Signal ");
  EXPECT_EQ(AlarmText(32, true), " 4-20 Loop#2 ");
  EXPECT_EQ(AlarmText(32, false), "");
  EXPECT_EQ(AlarmText(63, false), " Setpoint 1  Setpoint 2  Setpoint 3  Lost Signal  4-20 Loop#1 ");
  EXPECT_EQ(AlarmText(64 + 128, true), "");
  EXPECT_EQ(AlarmText(1e10, true), "");  // beyond 32 bits: no text
  EXPECT_EQ(AlarmText(0, true), "");
}

TEST(LiveValues, DisplayTextMasksControlAndFillBytes) {
  EXPECT_EQ(MaskDisplayText(std::string("A\x00 \x0A\x0B\xFE\xFF", 7)),
            std::string("A\x9D \x9D\x0B\x9D\x9D", 7));
  EXPECT_EQ(KeyCodeOf(3), '.');
  EXPECT_EQ(KeyCodeOf(11), 'L');
  EXPECT_EQ(KeyCodeOf(15), 'F');
  EXPECT_EQ(KeyCodeOf(16), '\0');
}

}  // namespace
}  // namespace norvale
