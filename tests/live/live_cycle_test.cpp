// The live and keypad cycles over a fake port and clock: what they send, what the boxes show, and
// what happens when the meter does not answer.
#include "live/live_cycle.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <string>
#include <utility>
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

// A meter that answers poll i (from 1) with the flow i, `delays[i - 1]` seconds after the
// request (negative: the request was lost on the line), always in the order asked.
struct LateLiveMeter {
  LateLiveMeter(testing::FakeSerialPort& port, testing::FakeClock& clock,
                std::vector<double> delays)
      : port_(port), clock_(clock), delays_(std::move(delays)) {
    port.onOutput = [this](const std::string&) {
      const size_t poll = ++polls_;
      const double delay = poll <= delays_.size() ? delays_[poll - 1] : 0.05;
      if (delay < 0) return;
      const double due = std::max(clock_.now + delay, due_.empty() ? 0 : due_.back().first);
      const float flow = static_cast<float>(poll);
      uint32_t bits = 0;
      std::memcpy(&bits, &flow, sizeof bits);
      std::string block =
          Bytes({int(bits >> 24), int(bits >> 16 & 0xFF), int(bits >> 8 & 0xFF), int(bits & 0xFF)});
      block.resize(20, '\0');
      due_.push_back({due, WithCrc(Bytes({1, 0x63, 0x00, 0x14}) + block)});
    };
  }
  void deliverDue() {
    while (!due_.empty() && due_.front().first <= clock_.now) {
      port_.receive(due_.front().second);
      due_.erase(due_.begin());
    }
  }

 private:
  testing::FakeSerialPort& port_;
  testing::FakeClock& clock_;
  std::vector<double> delays_;
  size_t polls_ = 0;
  std::vector<std::pair<double, std::string>> due_;
};

// Polls once a second, as norvale-cli live and the window's timer do: a reply that comes after
// its poll gave up is an answer to that poll, never shown as the next poll's values. A poll
// whose only answer was taken for the one before shows nothing, and the next is in step again.
TEST(LiveLateReplies, AreNeverShownAsTheNextPollsValues) {
  struct Case {
    const char* meter;
    std::vector<double> delays;
    std::vector<std::string> shown;  // "-" for a poll that shows nothing new
  };
  const Case cases[] = {
      {"prompt", {0.05, 0.05, 0.05}, {"1.", "2.", "3."}},
      {"reply 2 comes 1.8 s late", {0.05, 1.8, 0.05, 0.05}, {"1.", "-", "3.", "4."}},
      {"reply 2 comes 2.4 s late", {0.05, 2.4, 0.05, 0.05, 0.05}, {"1.", "-", "-", "4.", "5."}},
      {"request 2 is lost", {0.05, -1, 0.05, 0.05, 0.05}, {"1.", "-", "-", "4.", "5."}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.meter);
    SettingsRecord settings;
    settings.CommPort = 1;
    settings.CommBaud = "9600";
    testing::FakeSerialPort port;
    testing::FakeClock clock;
    testing::FakeEventPump pump(clock);
    MeterLink link(settings, port, clock, pump, nullptr);
    LateLiveMeter meter(port, clock, c.delays);
    pump.onRound = [&] { meter.deliverDue(); };
    std::vector<std::string> shown;
    for (size_t poll = 0; poll < c.shown.size(); ++poll) {
      const double start = clock.now;
      Boxes boxes;
      shown.push_back(RunLiveCycle(link, 1, {3, 0, -1, false}, boxes)
                          ? boxes.lines[0].substr(std::string("Flow = ").size())
                          : "-");
      if (clock.now < start + 1) clock.advance(start + 1 - clock.now);
      meter.deliverDue();
    }
    EXPECT_EQ(shown, c.shown);
  }
}

}  // namespace
}  // namespace norvale
