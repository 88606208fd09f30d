// The link against the meter simulator over a real pseudo-terminal: Qt Serial Port, the system
// clock and the Qt event loop, as the program runs them.

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "link/meter_link.h"
#include "link/qt_event_pump.h"
#include "link/qt_serial_port.h"
#include "link/system_clock.h"
#include "support/simulator_process.h"

namespace norvale {
namespace {

using testing::ScenarioFile;
using testing::SimulatorProcess;
using testing::SimulatorRequest;

// Four records (channels 1 to 4, 3 November 2020 21:30) from 08 80 00: the end pointer is 08 80 20.
const char* const kRecords[] = {"1B 03 21 30 41 48 00 00", "2B 03 21 30 3F 80 00 00",
                                "3B 03 21 30 47 80 00 80", "4B 03 21 30 C0 20 00 00"};

std::string bytes(std::initializer_list<int> values) {
  std::string text;
  for (int v : values) text += static_cast<char>(v);
  return text;
}

std::string fromHex(const std::string& hex) {
  std::string text;
  for (size_t i = 0; i + 1 < hex.size();) {
    if (hex[i] == ' ') {
      ++i;
      continue;
    }
    text += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
    i += 2;
  }
  return text;
}

std::string scenarioJson(bool portable = false, const std::string& start = "[8, 128, 0]") {
  std::string records;
  for (const char* record : kRecords) {
    records += std::string(records.empty() ? "" : ", ") + "\"" + record + "\"";
  }
  return R"({
    "slave": 1,
    "portable": )" +
         std::string(portable ? "true" : "false") + R"(,
    "channels": ["Flow", "Velocity", "Fwd Tot", "Reverse Totaliser, 32 characters"],
    "log": {"start": )" +
         start + R"(, "records": [)" + records + R"(]},
    "last_download": [8, 128, 8],
    "display": ["NORVALE KX40  ID 001", "Flow 2.500 CFS", "", "Menu"]
  })";
}

double secondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

std::vector<SimulatorRequest> requestsFor(const std::vector<SimulatorRequest>& log, int function) {
  std::vector<SimulatorRequest> matching;
  for (const SimulatorRequest& r : log) {
    if (r.function == function) matching.push_back(r);
  }
  return matching;
}

class SimulatorLinkTest : public ::testing::Test {
 protected:
  void start(const std::string& json, std::vector<std::string> args = {},
             const std::string& baud = "38400") {
    scenario_ = std::make_unique<ScenarioFile>(json);
    sim_ = std::make_unique<SimulatorProcess>(scenario_->path(), std::move(args));
    ASSERT_TRUE(sim_->started()) << sim_->error();
    settings_.CommPort = 1;
    settings_.CommBaud = baud;
    settings_.CommSlaveID = 1;
    std::string device = sim_->devicePath();
    port_ = std::make_unique<QtSerialPort>([device](int) { return device; });
    link_ =
        std::make_unique<MeterLink>(settings_, *port_, clock_, pump_,
                                    [this](const PortErrorMessage& m) { errors_.push_back(m); });
  }

  void TearDown() override {
    link_.reset();
    port_.reset();
    sim_.reset();
  }

  MeterLink& link() { return *link_; }
  SimulatorProcess& sim() { return *sim_; }

  std::unique_ptr<ScenarioFile> scenario_;
  std::unique_ptr<SimulatorProcess> sim_;
  SettingsRecord settings_;
  std::unique_ptr<QtSerialPort> port_;
  SystemClock clock_;
  QtEventPump pump_;
  std::unique_ptr<MeterLink> link_;
  std::vector<PortErrorMessage> errors_;
};

// --- Answers the program relies on ------------------------------------------------------------

struct StatusCase {
  bool portable;
  std::string block;
};

void PrintTo(const StatusCase& c, std::ostream* os) {
  *os << (c.portable ? "portable" : "standard");
}

class StatusBlockTest : public SimulatorLinkTest,
                        public ::testing::WithParamInterface<StatusCase> {};

TEST_P(StatusBlockTest, StatusRegistersCarryThePointersAndRecordCounts) {
  ASSERT_NO_FATAL_FAILURE(start(scenarioJson(GetParam().portable)));
  ASSERT_TRUE(link().ReadHoldingRegisters(1, 0, 76, 8));
  EXPECT_EQ(link().state().ReplyText, GetParam().block);
  EXPECT_TRUE(errors_.empty());
}

// Start 08 80 00, end 08 80 20, 3 records used since the last download at 08 80 08
// (40 40 00 00), 32765 available (46 FF FA 00); the portable meter's block starts one byte
// earlier.
INSTANTIATE_TEST_SUITE_P(
    Layouts, StatusBlockTest,
    ::testing::Values(StatusCase{false, bytes({0, 8, 0x80, 0, 0, 8, 0x80, 0x20, 0x40, 0x40, 0, 0,
                                               0x46, 0xFF, 0xFA, 0})},
                      StatusCase{true, bytes({8, 0x80, 0, 0, 8, 0x80, 0x20, 0x40, 0x40, 0, 0, 0x46,
                                              0xFF, 0xFA, 0, 0})}),
    [](const auto& info) { return std::string(info.param.portable ? "Portable" : "Standard"); });

TEST_F(SimulatorLinkTest, DisplayLinesReadAsTwentyCharactersEach) {
  ASSERT_NO_FATAL_FAILURE(start(scenarioJson()));
  const std::string lines[] = {"NORVALE KX40  ID 001", "Flow 2.500 CFS      ",
                               "                    ", "Menu                "};
  for (int n = 0; n < 4; ++n) {
    ASSERT_TRUE(link().ReadHoldingRegisters(1, 0, 24 + 10 * n, 10)) << "line " << n + 1;
    EXPECT_EQ(link().state().ReplyText, lines[n]) << "line " << n + 1;
  }
}

TEST_F(SimulatorLinkTest, KeysWrittenToTheKeyRegisterReachTheMeterInOrder) {
  ASSERT_NO_FATAL_FAILURE(start(scenarioJson()));
  for (char key : {'E', 'M'}) {
    link().state().WriteHiBytes[0] = key;
    link().state().WriteLoBytes[0] = key;
    ASSERT_TRUE(link().WriteMultipleRegisters(1, 208, 1, 2)) << key;
  }
  std::vector<SimulatorRequest> writes = requestsFor(sim().requestLog(), 16);
  ASSERT_EQ(writes.size(), 2u);
  EXPECT_EQ(writes[0].start, 208);
  EXPECT_EQ(writes[0].key, "E");
  EXPECT_EQ(writes[0].values, std::vector<int>{0x4545});
  EXPECT_EQ(writes[1].key, "M");
  EXPECT_EQ(writes[1].values, std::vector<int>{0x4D4D});
}

TEST_F(SimulatorLinkTest, LogBlockHoldsTheRecordsThenErasedMemory) {
  ASSERT_NO_FATAL_FAILURE(start(scenarioJson()));
  ASSERT_TRUE(link().ReadLogBlock(1, 8, 128, 0, 128));
  std::string expected;
  for (const char* record : kRecords) expected += fromHex(record);
  expected += std::string(256 - expected.size(), '\xFF');
  EXPECT_EQ(link().state().ReplyText, expected);

  std::vector<SimulatorRequest> reads = requestsFor(sim().requestLog(), 96);
  ASSERT_EQ(reads.size(), 1u);
  EXPECT_EQ(reads[0].bank, 8);
  EXPECT_EQ(reads[0].addrHi, 128);
  EXPECT_EQ(reads[0].addrLo, 0);
  EXPECT_EQ(reads[0].count, 128);
}

TEST_F(SimulatorLinkTest, BlockPastBankTwentyThreeContinuesInBankEight) {
  // The records straddle the end of the ring: two at 17 BF F0, two at 08 80 00.
  ASSERT_NO_FATAL_FAILURE(start(scenarioJson(false, "[23, 191, 240]")));
  ASSERT_TRUE(link().ReadLogBlock(1, 23, 191, 128, 128));
  std::string expected(112, '\xFF');
  for (const char* record : kRecords) expected += fromHex(record);
  expected += std::string(112, '\xFF');
  EXPECT_EQ(link().state().ReplyText, expected);
}

struct SetupCase {
  int channel;
  std::string name;
};

void PrintTo(const SetupCase& c, std::ostream* os) { *os << "Channel" << c.channel; }

class SetupRecordTest : public SimulatorLinkTest,
                        public ::testing::WithParamInterface<SetupCase> {};

TEST_P(SetupRecordTest, SetupRecordCarriesTheChannelNamePaddedWithFill) {
  ASSERT_NO_FATAL_FAILURE(start(scenarioJson()));
  ASSERT_TRUE(link().ReadLogBlock(1, 24, 128 + GetParam().channel, 0, 100));
  const std::string& reply = link().state().ReplyText;
  ASSERT_EQ(reply.size(), 200u);
  std::string name = GetParam().name;
  ASSERT_LE(name.size(), 32u);
  EXPECT_EQ(reply.substr(64, 32), name + std::string(32 - name.size(), '\xFF'));
}

INSTANTIATE_TEST_SUITE_P(Channels, SetupRecordTest,
                         ::testing::Values(SetupCase{1, "Flow"}, SetupCase{3, "Fwd Tot"},
                                           SetupCase{4, "Reverse Totaliser, 32 characters"},
                                           SetupCase{5, "Not Used"}, SetupCase{8, "Not Used"}),
                         [](const auto& info) {
                           return "Channel" + std::to_string(info.param.channel);
                         });

// --- A meter that misbehaves ------------------------------------------------------------------

struct SilenceCase {
  const char* name;
  int function;
  double maxSeconds;  // first resend plus the reply, with room for a loaded machine
};

void PrintTo(const SilenceCase& c, std::ostream* os) { *os << c.name; }

class SilentOnceTest : public SimulatorLinkTest,
                       public ::testing::WithParamInterface<SilenceCase> {};

bool call(MeterLink& link, int function) {
  switch (function) {
    case 3:
      return link.ReadHoldingRegisters(1, 0, 76, 8);
    case 16:
      link.state().WriteHiBytes[0] = 'N';
      link.state().WriteLoBytes[0] = 'N';
      return link.WriteMultipleRegisters(1, 208, 1, 2);
    default:
      return link.ReadLogBlock(1, 8, 128, 0, 128);
  }
}

TEST_P(SilentOnceTest, UnansweredRequestIsSentAgainAndTheSecondAnswerCounts) {
  const SilenceCase& c = GetParam();
  ASSERT_NO_FATAL_FAILURE(start(
      scenarioJson(), {"--fault", "silent,function=" + std::to_string(c.function) + ",first=1"}));
  auto begin = std::chrono::steady_clock::now();
  EXPECT_TRUE(call(link(), c.function));
  EXPECT_LT(secondsSince(begin), c.maxSeconds);

  std::vector<SimulatorRequest> requests = requestsFor(sim().requestLog(), c.function);
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(requests[0].action, "silent");
  EXPECT_EQ(requests[1].action, "answered");
}

// Functions 3 and 16 resend about a second after the first sending; function 96 waits 150 bit
// times per expected byte (265 bytes at 38400 baud: about 1.03 s) after a whole-second mark.
INSTANTIATE_TEST_SUITE_P(Functions, SilentOnceTest,
                         ::testing::Values(SilenceCase{"ReadHoldingRegisters", 3, 4},
                                           SilenceCase{"WriteMultipleRegisters", 16, 4},
                                           SilenceCase{"ReadLogBlock", 96, 5}),
                         [](const auto& info) { return std::string(info.param.name); });

class CorruptedCrcTest : public SimulatorLinkTest,
                         public ::testing::WithParamInterface<SilenceCase> {};

TEST_P(CorruptedCrcTest, ReplyWithAWrongCrcIsRefused) {
  const SilenceCase& c = GetParam();
  ASSERT_NO_FATAL_FAILURE(start(scenarioJson(), {"--bad-crc", std::to_string(c.function)}));
  auto begin = std::chrono::steady_clock::now();
  EXPECT_FALSE(call(link(), c.function));
  // The whole reply arrived, so the link decides at once instead of waiting out its limit.
  EXPECT_LT(secondsSince(begin), c.maxSeconds);
  std::vector<SimulatorRequest> requests = requestsFor(sim().requestLog(), c.function);
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].action, "corrupted");
}

INSTANTIATE_TEST_SUITE_P(Functions, CorruptedCrcTest,
                         ::testing::Values(SilenceCase{"ReadHoldingRegisters", 3, 1},
                                           SilenceCase{"WriteMultipleRegisters", 16, 1},
                                           SilenceCase{"ReadLogBlock", 96, 1}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(SimulatorLinkTest, ExceptionReplyIsNotTakenForAnAnswer) {
  // The 5-byte exception reply is dropped like silence: the key write is sent again about once a
  // second until its 3-second limit.
  ASSERT_NO_FATAL_FAILURE(start(scenarioJson(), {"--fault", "exception,function=16,code=2"}));
  link().state().WriteHiBytes[0] = 'E';
  link().state().WriteLoBytes[0] = 'E';
  auto begin = std::chrono::steady_clock::now();
  EXPECT_FALSE(link().WriteMultipleRegisters(1, 208, 1, 2));
  EXPECT_GE(secondsSince(begin), 2.5);
  EXPECT_LT(secondsSince(begin), 5);
  std::vector<SimulatorRequest> requests = requestsFor(sim().requestLog(), 16);
  ASSERT_GE(requests.size(), 2u);
  EXPECT_EQ(requests[0].action, "exception");
  EXPECT_EQ(requests[0].code, 2);
}

TEST_F(SimulatorLinkTest, DelayedBlockShorterThanTheResendIntervalIsAskedForOnce) {
  ASSERT_NO_FATAL_FAILURE(start(scenarioJson(), {"--fault", "delay,function=96,seconds=0.4"}));
  auto begin = std::chrono::steady_clock::now();
  EXPECT_TRUE(link().ReadLogBlock(1, 8, 128, 0, 128));
  EXPECT_GE(secondsSince(begin), 0.4);
  EXPECT_EQ(requestsFor(sim().requestLog(), 96).size(), 1u);
}

TEST_F(SimulatorLinkTest, BlockPacedAtNineSixHundredBaudArrivesWithoutResend) {
  ASSERT_NO_FATAL_FAILURE(start(scenarioJson(), {"--baud", "9600"}, "9600"));
  auto begin = std::chrono::steady_clock::now();
  ASSERT_TRUE(link().ReadLogBlock(1, 8, 128, 0, 128));
  // 9 request bytes and 265 reply bytes of 10 bits each.
  EXPECT_GE(secondsSince(begin), 274 * 10 / 9600.0 * 0.95);
  EXPECT_EQ(link().state().ReplyText.size(), 256u);
  EXPECT_EQ(requestsFor(sim().requestLog(), 96).size(), 1u);
}

TEST_F(SimulatorLinkTest, RequestsForAnotherSlaveGoUnanswered) {
  ASSERT_NO_FATAL_FAILURE(start(scenarioJson(), {"--slave", "2"}));
  auto begin = std::chrono::steady_clock::now();
  link().state().WriteHiBytes[0] = 'E';
  link().state().WriteLoBytes[0] = 'E';
  EXPECT_FALSE(link().WriteMultipleRegisters(1, 208, 1, 2));
  double elapsed = secondsSince(begin);
  EXPECT_GE(elapsed, 2.5);  // the function-16 limit of 3 s from a whole-second mark
  EXPECT_LT(elapsed, 5);
  std::vector<SimulatorRequest> requests = requestsFor(sim().requestLog(), 16);
  ASSERT_GE(requests.size(), 2u);  // sent again about once a second
  for (const SimulatorRequest& r : requests) EXPECT_EQ(r.action, "ignored");
}

TEST_F(SimulatorLinkTest, LineThatDropsFailsTheExchangeAndClosesThePort) {
  ASSERT_NO_FATAL_FAILURE(start(scenarioJson(), {"--drop-after", "1"}));
  ASSERT_TRUE(link().ReadHoldingRegisters(1, 0, 76, 8));
  ASSERT_TRUE(link().port().portOpen());

  auto begin = std::chrono::steady_clock::now();
  EXPECT_FALSE(link().ReadLogBlock(1, 8, 128, 0, 128));
  EXPECT_LT(secondsSince(begin), 5);  // not the 30-s limit, and certainly not forever
  EXPECT_FALSE(link().port().portOpen());
  EXPECT_TRUE(sim().waitForExit(2));
  std::vector<SimulatorRequest> requests = sim().requestLog();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(requests[1].action, "dropped");
}

}  // namespace
}  // namespace norvale
