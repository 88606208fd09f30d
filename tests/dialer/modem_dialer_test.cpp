// The dialer over a fake port and clock: the commands byte for byte, the replies it waits for,
// its 120-s, 180-s and 3-s limits, and both forms of the hang-up.
#include "dialer/modem_dialer.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "support/fake_clock.h"
#include "support/fake_serial_port.h"

namespace norvale {
namespace {

struct StatusLine : DialerView {
  void setDialerStatus(const std::string& text) override { shown.push_back(text); }
  void setDialerWait(const std::string& text) override { waits.push_back(text); }
  std::vector<std::string> shown;
  std::vector<std::string> waits;
};

// A modem that answers the init string after 0.5 s, one byte at a time, and the dial command
// with `dialAnswer` after `connectAfter` seconds.
struct DialerTest : ::testing::Test {
  DialerTest()
      : pump(clock),
        link(settings, port, clock, pump, [this](const PortErrorMessage&) { ++portErrors; }) {
    settings.CommPort = 1;
    settings.CommBaud = "9600";
    port.onOutput = [this](const std::string& bytes) {
      if (bytes.rfind("ATE0", 0) == 0) later(0.5, "\r\nO"), later(0.6, "K\r\n");
      if (bytes.rfind("ATDT", 0) == 0) later(connectAfter, dialAnswer);
    };
    pump.onRound = [this] {
      while (!due.empty() && due.front().first <= clock.now) {
        port.receive(due.front().second);
        due.erase(due.begin());
      }
    };
  }
  void later(double seconds, std::string bytes) {
    due.emplace_back(clock.now + seconds, std::move(bytes));
  }
  DialResult dial() { return DialModem(link, "ATE0 S0=2 &C0", "5551234", status, abort); }

  SettingsRecord settings;
  testing::FakeSerialPort port;
  testing::FakeClock clock{36000.0};
  testing::FakeEventPump pump;
  MeterLink link;
  StatusLine status;
  std::vector<std::pair<double, std::string>> due;
  double connectAfter = 20;
  std::string dialAnswer = "\r\nCONNECT 9600\r\n";
  bool abort = false;
  int portErrors = 0;
};

TEST_F(DialerTest, SendsTheCommandsAndWaitsForOkThenConnectAndThreeSecondsMore) {
  const double start = clock.now;
  EXPECT_EQ(dial(), DialResult::Connected);
  EXPECT_EQ(port.writes, (std::vector<std::string>{"\r", "ATE0 S0=2 &C0\r", "ATDT 5551234\r"}));
  EXPECT_EQ(pump.pausedSeconds, 1.0);  // the only wait that does not yield
  // "OK" arrived in two pieces and was found in the text so far.
  EXPECT_NE(std::find(status.shown.begin(), status.shown.end(), "Dialing 5551234"),
            status.shown.end());
  // The line end after "OK" is still waiting when the dial starts.
  EXPECT_EQ(status.shown.back(), "\r\n\r\nCONNECT 9600\r\n");
  EXPECT_NEAR(clock.now - start, 1 + 0.6 + 20 + 3, 0.1);
  EXPECT_TRUE(port.isOpen);
}

TEST_F(DialerTest, GivesUpAfter120SecondsWithoutOkAnd180WithoutConnect) {
  port.onOutput = nullptr;  // a modem that never answers
  double start = clock.now;
  EXPECT_EQ(dial(), DialResult::CouldNotConnect);
  EXPECT_EQ(status.shown.back(), "Could not connect");
  EXPECT_NEAR(clock.now - start, 1 + 120, 0.1);
  EXPECT_TRUE(port.isOpen);

  // BUSY is not recognised: shown, and the 180 s run out.
  DialerTest::SetUp();
  port.writes.clear();
  port.onOutput = [this](const std::string& bytes) {
    if (bytes.rfind("ATE0", 0) == 0) later(0.1, "OK");
    if (bytes.rfind("ATDT", 0) == 0) later(5, "\r\nBUSY\r\n");
  };
  start = clock.now;
  EXPECT_EQ(dial(), DialResult::CouldNotConnect);
  EXPECT_NEAR(clock.now - start, 1 + 0.1 + 180, 0.2);
}

// The modem may stay silent for minutes: the number and the limit that runs show from the start.
TEST_F(DialerTest, ShowsTheNumberAtOnceAndEachWaitWithItsLimit) {
  const std::string okWait = "Waiting up to 120 s for the modem's OK";
  const std::string connectWait = "Waiting up to 180 s for CONNECT";
  struct Case {
    const char* what;
    bool modemAnswers;
    double abortAfter;  // seconds; 0: never
    std::vector<std::string> waits;
  };
  const Case cases[] = {
      {"connects", true, 0, {okWait, connectWait, ""}},
      {"silent modem", false, 0, {okWait, ""}},
      {"hung up while waiting for OK", false, 10, {okWait, ""}},
  };
  const std::function<void()> deliver = pump.onRound;
  const std::function<void(const std::string&)> modem = port.onOutput;
  for (const Case& test : cases) {
    status = StatusLine();
    abort = false;
    port.onOutput = test.modemAnswers ? modem : nullptr;
    const double start = clock.now;
    std::string shownAtFirstWait;
    pump.onRound = [&] {
      if (shownAtFirstWait.empty() && !status.shown.empty()) shownAtFirstWait = status.shown.back();
      deliver();
      if (test.abortAfter > 0 && clock.now - start > test.abortAfter) abort = true;
    };
    dial();
    EXPECT_EQ(shownAtFirstWait, "Dialing 5551234") << test.what;
    EXPECT_EQ(status.waits, test.waits) << test.what;
  }
  pump.onRound = deliver;
}

TEST_F(DialerTest, ConnectInTheLastThreeSecondsStillCouldNotConnect) {
  connectAfter = 178.5;
  EXPECT_EQ(dial(), DialResult::CouldNotConnect);
  EXPECT_EQ(status.shown.back(), "Could not connect");
}

TEST_F(DialerTest, HangupAbortsADialThatWaits) {
  connectAfter = 100;
  std::function<void()> deliver = pump.onRound;
  pump.onRound = [this, deliver] {
    deliver();
    if (clock.now > 36030) abort = true;
  };
  EXPECT_EQ(dial(), DialResult::Aborted);
  EXPECT_LT(clock.now, 36031);
}

TEST_F(DialerTest, HangUpOpenAndClosedPort) {
  ASSERT_TRUE(link.OpenCommPort());
  EXPECT_TRUE(HangUpModem(link, status));
  EXPECT_EQ(port.writes, (std::vector<std::string>{"+++", "ATH0\r"}));
  EXPECT_EQ(pump.pausedSeconds, 2.0);  // the escape's guard time
  EXPECT_EQ(status.shown, (std::vector<std::string>{"Hanging up Line", "Okay"}));
  EXPECT_FALSE(port.isOpen);
  EXPECT_FALSE(port.dtr);
  EXPECT_EQ(port.opens, 2);

  status.shown.clear();
  EXPECT_TRUE(HangUpModem(link, status));
  EXPECT_EQ(status.shown, (std::vector<std::string>{"Com port already closed"}));
  EXPECT_EQ(pump.pausedSeconds, 4.0);  // a DTR pulse of 2 s
  EXPECT_FALSE(port.isOpen);
  EXPECT_EQ(port.opens, 3);

  // A port that cannot be opened: the link's port error, and it stays closed.
  port.openFailure = "No such file or directory";
  status.shown.clear();
  EXPECT_FALSE(HangUpModem(link, status));
  EXPECT_EQ(portErrors, 1);
  EXPECT_TRUE(status.shown.empty());
  EXPECT_FALSE(port.isOpen);
}

}  // namespace
}  // namespace norvale
