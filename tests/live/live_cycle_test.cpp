// The live and keypad cycles over a fake port and clock: what they send, what the boxes show, and
// what happens when the meter does not answer.
#include "live/live_cycle.h"

#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "link/crc16.h"
#include "live/keypad_cycle.h"
#include "support/fake_clock.h"
#include "support/fake_serial_port.h"

namespace norvale {
namespace {

std::string Bytes(std::initializer_list<int> values) {
  std::string out;
  for (int v : values) out += static_cast<char>(v);
  return out;
}

struct Boxes : LiveDisplayView {
  void setDisplayLine(int index, const std::string& text) override { lines.at(index) = text; }
  std::array<std::string, 5> lines{"old 0", "old 1", "old 2", "old 3", "old 4"};
};

// A scripted meter: live values, key acknowledgements (refused while `refuseKeys` > 0), and
// display lines naming the registers read.
struct CycleTest : ::testing::Test {
  CycleTest() : pump(clock), link(settings, port, clock, pump, nullptr) {
    settings.CommPort = 1;
    settings.CommBaud = "9600";
    port.onOutput = [this](const std::string& request) {
      if (silent) return;
      const int function = static_cast<unsigned char>(request[1]);
      if (function == 99) {
        // Flow 1, velocity 2.5, forward total 4096 + 1, reverse total 7, alarm 33.
        std::string block =
            Bytes({0x3F, 0x80, 0, 0, 0x40, 0x20, 0, 0, 0, 1, 0, 1, 0, 0, 0, 7, 0x42, 0x04, 0, 0});
        port.receive(WithCrc(Bytes({1, 0x63, 0x00, 0x14}) + block));
      } else if (function == 16) {
        keysWritten += request[7];
        if (refuseKeys) return;
        port.receive(WithCrc(request.substr(0, 6)));
      } else if (function == 3) {
        std::string line = "Line at " + std::to_string(static_cast<unsigned char>(request[3]));
        line.resize(20, '\xFF');
        port.receive(WithCrc(Bytes({1, 3, 20}) + line));
      }
    };
  }

  SettingsRecord settings;
  testing::FakeSerialPort port;
  testing::FakeClock clock;
  testing::FakeEventPump pump;
  MeterLink link;
  Boxes boxes;
  bool silent = false;
  bool refuseKeys = false;
  std::string keysWritten;
};

TEST_F(CycleTest, LivePollFillsTheLinesAndTheReverseTotalOnlyForTheKx60) {
  ASSERT_TRUE(RunLiveCycle(link, 1, {0, 2, -1, false}, boxes));
  EXPECT_EQ(port.writes.at(0), Bytes({0x01, 0x63, 0x40, 0x09}));
  EXPECT_EQ(boxes.lines,
            (std::array<std::string, 5>{"Flow = 448.83", "Velocity = 2.50000014901162",
                                        "Forward Total = 4097", "old 3", " Setpoint 1 "}));
  ASSERT_TRUE(RunLiveCycle(link, 1, {-1, -1, 1, true}, boxes));
  EXPECT_EQ(boxes.lines[0], "Flow = 1.");
  EXPECT_EQ(boxes.lines[1], "Velocity = 0.762000045418742");  // metres per second
  EXPECT_EQ(boxes.lines[3], "Reverse Total = 7");
  EXPECT_EQ(boxes.lines[4], " Setpoint 1  4-20 Loop#2 ");
}

TEST_F(CycleTest, SilentMeterLeavesTheLastValuesAndIsAskedOncePerTick) {
  ASSERT_TRUE(RunLiveCycle(link, 1, {}, boxes));
  const std::array<std::string, 5> shown = boxes.lines;
  silent = true;
  const double start = clock.now;
  EXPECT_FALSE(RunLiveCycle(link, 1, {}, boxes));
  EXPECT_EQ(boxes.lines, shown);
  EXPECT_EQ(port.writes.size(), 2u);  // no resend within the tick
  EXPECT_LE(clock.now - start, 1.6);  // one second from a whole-second mark
}

TEST_F(CycleTest, KeysGoOutOnePerTickInOrderAndAnUnacknowledgedKeyIsSentAgain) {
  KeypadCycle keypad;
  keypad.press(14);  // Enter
  keypad.press(12);  // Menu
  keypad.press(3);   // Help / .
  refuseKeys = true;
  keypad.RunTick(link, 1, boxes);
  EXPECT_EQ(keypad.KeyQueue, "EM.");  // not acknowledged within its 3 s: stays first
  EXPECT_EQ(port.writes.at(0), Bytes({1, 0x10, 0, 0xD0, 0, 1, 2, 0x45, 0x45, 0x46, 0xA3}));
  refuseKeys = false;
  keysWritten.clear();
  keypad.RunTick(link, 1, boxes);
  EXPECT_EQ(keypad.KeyQueue, "M.");
  keypad.RunTick(link, 1, boxes);
  EXPECT_EQ(keypad.KeyQueue, ".");
  EXPECT_EQ(keysWritten, "EM");
  // Display lines 24, 34, 44, 54, fill bytes shown as 157.
  EXPECT_EQ(boxes.lines[0], "Line at 24" + std::string(10, '\x9D'));
  EXPECT_EQ(boxes.lines[3], "Line at 54" + std::string(10, '\x9D'));
  EXPECT_EQ(boxes.lines[4], "old 4");
}

}  // namespace
}  // namespace norvale
