#include "link/meter_link.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "link/crc16.h"
#include "link/modbus_frames.h"
#include "support/fake_clock.h"
#include "support/fake_serial_port.h"

namespace norvale {
namespace {

using testing::FakeClock;
using testing::FakeEventPump;
using testing::FakeSerialPort;

std::string Bytes(std::initializer_list<int> values) {
  std::string out;
  for (int v : values) out += static_cast<char>(v);
  return out;
}

std::string HoldingRegistersReply(const std::string& data) {
  return WithCrc(Bytes({1, 3, static_cast<int>(data.size())}) + data);
}

std::string LogBlockReply(const std::string& data) {
  int n = static_cast<int>(data.size());
  return WithCrc(Bytes({1, 0x60, 24, 0x81, 0, n / 256, n % 256}) + data);
}

struct LinkFixture : ::testing::Test {
  LinkFixture()
      : pump(clock), link(settings, port, clock, pump, [this](const PortErrorMessage& m) {
          messages.push_back(m);
        }) {
    settings.CommPort = 1;
    settings.CommBaud = "9600";
  }

  // Answers every request with the given reply.
  void answerWith(const std::string& reply) {
    port.onOutput = [this, reply](const std::string&) { port.receive(reply); };
  }

  double elapsedSince(double start) const {
    double d = clock.now - start;
    return d < 0 ? d + 86400 : d;
  }

  SettingsRecord settings;
  FakeSerialPort port;
  FakeClock clock{36000.0};
  FakeEventPump pump;
  std::vector<PortErrorMessage> messages;
  MeterLink link;
};

// Known-answer frames: what goes on the wire and how many bytes each transaction waits for.
TEST_F(LinkFixture, SendsTheWorkedFramesAndWaitsForTheirReplyLengths) {
  std::string display(20, 'A');
  answerWith(HoldingRegistersReply(display));
  ASSERT_TRUE(link.ReadHoldingRegisters(1, 0, 24, 10));
  EXPECT_EQ(port.writes.at(0), Bytes({0x01, 0x03, 0x00, 0x18, 0x00, 0x0A, 0x45, 0xCA}));
  EXPECT_EQ(link.state().ReplyText, display);

  port.writes.clear();
  answerWith(HoldingRegistersReply(std::string(16, '\x08')));
  ASSERT_TRUE(link.ReadHoldingRegisters(1, 0, 76, 8));
  EXPECT_EQ(port.writes.at(0), Bytes({0x01, 0x03, 0x00, 0x4C, 0x00, 0x08, 0x85, 0xDB}));

  port.writes.clear();
  link.state().WriteHiBytes[0] = 0x45;
  link.state().WriteLoBytes[0] = 0x45;
  answerWith(WithCrc(Bytes({1, 0x10, 0, 0xD0, 0, 1})));
  ASSERT_TRUE(link.WriteMultipleRegisters(1, 208, 1, 2));
  EXPECT_EQ(port.writes.at(0),
            Bytes({0x01, 0x10, 0x00, 0xD0, 0x00, 0x01, 0x02, 0x45, 0x45, 0x46, 0xA3}));

  port.writes.clear();
  std::string setup(200, '\xFF');
  answerWith(LogBlockReply(setup));
  ASSERT_TRUE(link.ReadLogBlock(1, 24, 0x81, 0x00, 100));
  EXPECT_EQ(port.writes.at(0), Bytes({0x01, 0x60, 0x18, 0x81, 0x00, 0x00, 0x64, 0x0B, 0xB5}));
  EXPECT_EQ(link.state().ReplyText, setup);

  EXPECT_EQ(ReadHoldingRegistersReplyLength(10), 25);
  EXPECT_EQ(ReadHoldingRegistersReplyLength(8), 21);
  EXPECT_EQ(ReadLogBlockReplyLength(100), 209);
  EXPECT_EQ(ReadLogBlockReplyLength(128), 265);
}

TEST_F(LinkFixture, ReplyShorterThanExpectedIsNotTakenApart) {
  // 24 of the 25 bytes: the transaction keeps waiting and finally gives up.
  std::string reply = HoldingRegistersReply(std::string(20, 'x'));
  port.onOutput = [&](const std::string&) {
    if (port.writes.size() == 1) port.receive(reply.substr(0, 24));
  };
  EXPECT_FALSE(link.ReadHoldingRegisters(1, 0, 24, 10));
  EXPECT_EQ(port.received.size(), 24u);
}

TEST_F(LinkFixture, SilentMeterGivesUpAfterThirtySecondsResendingAboutOncePerSecond) {
  double start = clock.now;
  EXPECT_FALSE(link.ReadHoldingRegisters(1, 0, 76, 8));
  EXPECT_NEAR(elapsedSince(start), 30.0, 0.6);
  EXPECT_GE(port.writes.size(), 28u);
  EXPECT_LE(port.writes.size(), 31u);
  for (const auto& w : port.writes) EXPECT_EQ(w, port.writes.front());
}

// However long the pump would let it sleep, a wait on a silent meter wakes only when a rule acts:
// each resend, and the give-up.
TEST_F(LinkFixture, WaitsWakeOnlyAtTheirDeadlinesOrForTheReply) {
  FakeEventPump sleeper(clock, 3600);
  MeterLink sleepy(settings, port, clock, sleeper, nullptr);
  std::vector<double> wakes;
  std::vector<double> sentAt;
  sleeper.onRound = [&] { wakes.push_back(clock.now); };
  port.onOutput = [&](const std::string&) { sentAt.push_back(clock.now); };

  clock.now = 36000.25;  // the marks are whole seconds: 36000
  EXPECT_FALSE(sleepy.ReadHoldingRegisters(1, 0, 76, 8));
  ASSERT_EQ(sentAt.size(), 30u);
  for (size_t i = 1; i < sentAt.size(); ++i) EXPECT_NEAR(sentAt[i], 36000.001 + i, 1e-6);
  ASSERT_EQ(wakes.size(), 30u);  // 29 resends, then the give-up at 36030.001
  EXPECT_NEAR(wakes.back(), 36030.001, 1e-6);

  // A log block: a resend every 150 x 209 / 9600 s from the last whole-second mark, the give-up
  // 30 s after the first.
  wakes.clear();
  sentAt.clear();
  clock.now = 40000.25;
  EXPECT_FALSE(sleepy.ReadLogBlock(1, 24, 0x81, 0, 100));
  ASSERT_GE(sentAt.size(), 9u);
  for (size_t i = 1; i < sentAt.size(); ++i) {
    EXPECT_NEAR(sentAt[i], std::round(sentAt[i - 1]) + 150.0 * 209 / 9600 + 0.001, 1e-6);
  }
  EXPECT_EQ(wakes.size(), sentAt.size());  // each resend, then the give-up
  EXPECT_NEAR(wakes.back(), 40030.001, 1e-6);

  // A reply under way: the wait naps through part of the missing bytes' line time (at most
  // 10 ms), and a reply that came whole meanwhile is taken at once, not at the next rule moment.
  const std::string reply = LogBlockReply(std::string(200, 'x'));
  port.onOutput = [&](const std::string&) { port.receive(reply.substr(0, 5)); };
  sleeper.onRound = [&] {
    if (port.received.size() + 5 < reply.size()) port.receive(reply.substr(5));
  };
  clock.now = 50000.25;
  EXPECT_TRUE(sleepy.ReadLogBlock(1, 24, 0x81, 0, 100));
  EXPECT_NEAR(clock.now, 50000.26, 1e-6);
}

TEST_F(LinkFixture, SilentMeterGivesUpAKeyWriteAfterThreeSeconds) {
  double start = clock.now;
  EXPECT_FALSE(link.WriteMultipleRegisters(1, 208, 1, 2));
  EXPECT_NEAR(elapsedSince(start), 3.0, 0.6);
  EXPECT_GE(port.writes.size(), 2u);
  EXPECT_LE(port.writes.size(), 4u);
}

TEST_F(LinkFixture, LogBlockResendsEveryReplyTimeAndGivesUpAfterThirtySeconds) {
  // 209 bytes at 9600 baud: 150 x 209 / 9600 = 3.27 s between sendings.
  std::vector<double> sentAt;
  port.onOutput = [&](const std::string&) { sentAt.push_back(clock.now); };
  double start = clock.now;
  EXPECT_FALSE(link.ReadLogBlock(1, 24, 0x81, 0, 100));
  EXPECT_NEAR(elapsedSince(start), 30.0, 1.0);
  ASSERT_GE(sentAt.size(), 9u);
  EXPECT_LE(sentAt.size(), 11u);
  for (size_t i = 2; i < sentAt.size(); ++i) EXPECT_NEAR(sentAt[i] - sentAt[i - 1], 3.27, 0.6);
  // Each resend starts from empty buffers.
  EXPECT_GE(port.inDiscards, static_cast<int>(sentAt.size()));
}

TEST_F(LinkFixture, LateReplyAfterAResendIsAccepted) {
  std::string reply = HoldingRegistersReply(std::string(16, '\x01'));
  port.onOutput = [&](const std::string&) {
    if (port.writes.size() == 3) port.receive(reply);
  };
  EXPECT_TRUE(link.ReadHoldingRegisters(1, 0, 76, 8));
  EXPECT_EQ(port.writes.size(), 3u);
}

// A slow meter: it answers every copy of every request it is sent, `delay` seconds later.
struct LateMeter {
  LateMeter(LinkFixture& f, double delay, std::function<std::string(const std::string&)> answer)
      : fixture(f) {
    f.port.onOutput = [this, delay, answer](const std::string& request) {
      due.push_back({fixture.clock.now + delay, answer(request)});
    };
    f.pump.onRound = [this] {
      while (!due.empty() && due.front().first <= fixture.clock.now) {
        fixture.port.receive(due.front().second);
        due.erase(due.begin());
      }
    };
  }
  LinkFixture& fixture;
  std::vector<std::pair<double, std::string>> due;
};

// Replies that echo nothing of the request (function 3) and replies that echo its address
// (function 96): a second answer to a request sent again is never the answer to the next one.
TEST_F(LinkFixture, LateAnswerToARequestSentAgainIsNotTakenForTheNextOne) {
  LateMeter registers(*this, 1.5, [](const std::string& request) {
    return HoldingRegistersReply(std::string(20, request[3] == 24 ? 'A' : 'B'));
  });
  ASSERT_TRUE(link.ReadHoldingRegisters(1, 0, 24, 10));
  EXPECT_EQ(port.writes.size(), 2u);  // sent again before the first answer came
  ASSERT_TRUE(link.ReadHoldingRegisters(1, 0, 34, 10));
  EXPECT_EQ(link.state().ReplyText, std::string(20, 'B'));

  settings.CommBaud = "38400";  // 209 bytes: sent again after 0.82 s
  port.writes.clear();
  LateMeter setup(*this, 1.2, [](const std::string& request) {
    std::string reply = LogBlockReply(std::string(200, request[3]));
    reply[3] = request[3];
    return WithCrc(reply.substr(0, reply.size() - 2));
  });
  ASSERT_TRUE(link.ReadLogBlock(1, 24, 0x81, 0, 100));
  EXPECT_EQ(link.state().ReplyText, std::string(200, '\x81'));
  EXPECT_GE(port.writes.size(), 2u);
  ASSERT_TRUE(link.ReadLogBlock(1, 24, 0x82, 0, 100));
  EXPECT_EQ(link.state().ReplyText, std::string(200, '\x82'));
}

TEST_F(LinkFixture, NoiseAndForeignFramesBeforeTheReplyAreSkipped) {
  std::string data(16, '\x07');
  // A stray byte, an exception reply and another slave's answer, then the reply itself.
  answerWith(Bytes({0x00}) + Bytes({0x01, 0x83, 0x02, 0xC0, 0xF1}) +
             WithCrc(Bytes({2, 3, 16}) + data) + HoldingRegistersReply(data));
  ASSERT_TRUE(link.ReadHoldingRegisters(1, 0, 76, 8));
  EXPECT_EQ(link.state().ReplyText, data);
  EXPECT_EQ(port.writes.size(), 1u);
}

TEST_F(LinkFixture, CrcMismatchFailsEveryTransaction) {
  std::string bad = HoldingRegistersReply(std::string(20, 'x'));
  bad.back() = static_cast<char>(bad.back() ^ 1);
  answerWith(bad);
  EXPECT_FALSE(link.ReadHoldingRegisters(1, 0, 24, 10));
  EXPECT_EQ(link.state().ReplyText, std::string(20, 'x'));  // data still there

  std::string ack = WithCrc(Bytes({1, 0x10, 0, 0xD0, 0, 1}));
  ack[6] = static_cast<char>(ack[6] ^ 0x80);
  answerWith(ack);
  EXPECT_FALSE(link.WriteMultipleRegisters(1, 208, 1, 2));

  // A log block damaged on the line is refused, so the download reads it again.
  std::string block = LogBlockReply(std::string(200, '\x11'));
  block[block.size() - 2] = static_cast<char>(block[block.size() - 2] ^ 0xFF);
  answerWith(block);
  EXPECT_FALSE(link.ReadLogBlock(1, 24, 0x81, 0, 100));
}

TEST_F(LinkFixture, ExceptionReplyIsTreatedAsSilence) {
  answerWith(Bytes({0x01, 0x83, 0x02, 0xC0, 0xF1}));
  double start = clock.now;
  EXPECT_FALSE(link.ReadHoldingRegisters(1, 0, 24, 10));
  // Each exception reply is dropped as a whole: the request goes out about once a second until
  // the limit, and five of them together are never taken apart as one 25-byte reply.
  EXPECT_NEAR(elapsedSince(start), 30.0, 0.6);
  EXPECT_GE(port.writes.size(), 28u);
}

TEST_F(LinkFixture, PortThatCannotOpenShowsTheMessageOnceUntilReset) {
  port.openFailure = "Permission denied";
  EXPECT_FALSE(link.ReadHoldingRegisters(1, 0, 76, 8));
  EXPECT_FALSE(link.ReadLogBlock(1, 8, 0x80, 0, 128));
  EXPECT_TRUE(port.writes.empty());
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].text, "Communications Port not Valid");
  EXPECT_EQ(messages[0].title, "Comm Error");
  EXPECT_EQ(messages[0].details, "Permission denied");

  link.state().CommErrorShown = 0;  // a settings load or "Begin"
  EXPECT_FALSE(link.OpenCommPort());
  EXPECT_EQ(messages.size(), 2u);
}

// The port stays open between exchanges, DTR raised once per open; another port, baud rate or
// device behind the port number closes it and opens the one now chosen.
TEST_F(LinkFixture, OpenPortIsKeptUntilThePortOrItsSettingsChange) {
  struct Case {
    const char* change;
    std::function<void(LinkFixture&)> apply;
    int opens;
    int commPort;
    const char* lineSettings;
  };
  const Case cases[] = {
      {"nothing", [](LinkFixture&) {}, 1, 1, "9600,N,8,1"},
      {"port number", [](LinkFixture& f) { f.settings.CommPort = 2; }, 2, 2, "9600,N,8,1"},
      {"baud rate", [](LinkFixture& f) { f.settings.CommBaud = "38400"; }, 2, 1, "38400,N,8,1"},
      {"device of the number", [](LinkFixture& f) { f.port.devices[1] = "/dev/ttyUSB0"; }, 2, 1,
       "9600,N,8,1"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.change);
    settings.CommPort = 1;
    settings.CommBaud = "9600";
    port.devices = {{1, "/dev/ttyS0"}, {2, "/dev/ttyS1"}};
    port.setPortOpen(false);
    port.opens = 0;
    port.dtrCalls = 0;
    ASSERT_TRUE(link.OpenCommPort());
    EXPECT_TRUE(port.binaryMode);
    EXPECT_TRUE(port.dtr);
    c.apply(*this);
    answerWith(HoldingRegistersReply(std::string(16, '\x01')));
    EXPECT_TRUE(link.ReadHoldingRegisters(1, 0, 76, 8));
    EXPECT_TRUE(link.OpenCommPort());
    EXPECT_EQ(port.opens, c.opens);
    EXPECT_EQ(port.dtrCalls, c.opens);
    EXPECT_EQ(port.commPort, c.commPort);
    EXPECT_EQ(port.settings, c.lineSettings);
  }
}

TEST_F(LinkFixture, WaitForReplyTakesExactlyTheOldestBytes) {
  ASSERT_TRUE(link.OpenCommPort());
  port.receive("abc");
  EXPECT_TRUE(link.WaitForReply(1));
  EXPECT_EQ(link.state().ReplyBuffer, "a");
  EXPECT_EQ(port.received, "bc");
  EXPECT_EQ(pump.rounds, 0);
}

// The start second is the time of day rounded half-to-even; the wait ends at the first reading
// more than two seconds after it.
TEST_F(LinkFixture, WaitForReplyLimitFollowsTheRoundedStartSecond) {
  struct Case {
    double start;
    double expectedWait;
  };
  for (Case c : {Case{10.6, 2.4}, Case{10.4, 1.6}, Case{10.5, 1.5}, Case{11.5, 2.5}}) {
    clock.now = c.start;
    EXPECT_FALSE(link.WaitForReply(1));
    EXPECT_NEAR(clock.now - c.start, c.expectedWait, 0.02) << "called at " << c.start;
  }
}

TEST_F(LinkFixture, WaitsThatCrossMidnightStillEnd) {
  clock.now = 86399.0;
  EXPECT_FALSE(link.WaitForReply(1));
  EXPECT_LT(clock.now, 3.0);
  EXPECT_GT(clock.now, 1.9);

  clock.now = 86390.0;
  EXPECT_FALSE(link.ReadHoldingRegisters(1, 0, 76, 8));
  EXPECT_LT(clock.now, 60.0);

  clock.now = 86398.0;
  EXPECT_FALSE(link.WriteMultipleRegisters(1, 208, 1, 2));
  EXPECT_LT(clock.now, 10.0);

  clock.now = 86390.0;
  EXPECT_FALSE(link.ReadLogBlock(1, 8, 0x80, 0, 128));
  EXPECT_LT(clock.now, 60.0);
}

TEST_F(LinkFixture, SecondTransactionDuringAWaitIsRefusedAndSendsNothing) {
  std::optional<bool> nested;
  size_t writesBeforeNested = 0;
  std::string reply = HoldingRegistersReply(std::string(16, '\x01'));
  pump.onRound = [&] {
    if (!nested) {
      writesBeforeNested = port.writes.size();
      nested = link.ReadLogBlock(1, 8, 0x80, 0, 128);
      port.receive(reply);
    }
  };
  EXPECT_TRUE(link.ReadHoldingRegisters(1, 0, 76, 8));
  ASSERT_TRUE(nested.has_value());
  EXPECT_FALSE(*nested);
  EXPECT_EQ(port.writes.size(), writesBeforeNested);
  EXPECT_FALSE(link.busy());
}

TEST_F(LinkFixture, PortClosedDuringAWaitEndsTheTransaction) {
  pump.onRound = [&] { port.isOpen = false; };
  double start = clock.now;
  EXPECT_FALSE(link.ReadLogBlock(1, 8, 0x80, 0, 128));
  EXPECT_LT(elapsedSince(start), 1.0);
}

}  // namespace
}  // namespace norvale
