// norvale-cli live against the meter simulator, as a user runs it: in the user's own locale, and
// with a meter whose reply comes after its poll gave up.
#include <gtest/gtest.h>

#include <QProcess>
#include <QProcessEnvironment>
#include <QStringList>
#include <regex>
#include <string>
#include <vector>

#include "support/comma_locale.h"
#include "support/simulator_process.h"

namespace norvale {
namespace {

using testing::ScenarioFile;
using testing::SimulatorProcess;

struct LiveRun {
  int exitCode = -1;
  std::string out;
  std::string err;
};

LiveRun RunLive(const QStringList& arguments, const QProcessEnvironment& environment) {
  QProcess process;
  process.setProcessEnvironment(environment);
  process.start(NORVALE_CLI, QStringList{"live"} + arguments);
  EXPECT_TRUE(process.waitForFinished(60000));
  return {process.exitCode(), process.readAllStandardOutput().toStdString(),
          process.readAllStandardError().toStdString()};
}

// Qt takes the locale from the environment at start; the numbers it prints must not follow it.
TEST(LiveCommand, PrintsPointsUnderACommaDecimalLocale) {
  const testing::CommaLocale& comma = testing::CommaDecimalLocale();
  if (!comma.skipReason.empty()) GTEST_SKIP() << comma.skipReason;
  ScenarioFile scenario(R"({"live": {"flow": 2.52, "velocity": 3.2}})");
  SimulatorProcess meter(scenario.path());
  ASSERT_TRUE(meter.started()) << meter.error();
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  environment.insert("LOCPATH", QString::fromStdString(comma.folder));
  environment.insert("LC_ALL", QString::fromStdString(comma.name));
  environment.insert("LANG", QString::fromStdString(comma.name));
  LiveRun run = RunLive({"--device", QString::fromStdString(meter.devicePath()), "--flow-unit",
                         "GPM", "--flow-format", "#.##", "--count", "1"},
                        environment);
  EXPECT_EQ(run.exitCode, 0) << run.err;
  // 2.52 and 3.2 as single-precision floats, through the meter's divisor.
  EXPECT_EQ(run.out, "Flow = 1131.05\nVelocity = 3.20000023841859\nForward Total = 0\n\n\n");
}

// The second reply comes 1.8 s after its request, when that poll has given up: it is dropped
// as that poll's answer, never printed as the next poll's values.
TEST(LiveCommand, LateReplyIsNotPrintedForTheNextPoll) {
  ScenarioFile scenario(R"({"live": {"flow": "n + 1"}})");
  SimulatorProcess meter(scenario.path(), {"--fault", "delay,function=99,nth=2,seconds=1.8"});
  ASSERT_TRUE(meter.started()) << meter.error();
  LiveRun run = RunLive({"--device", QString::fromStdString(meter.devicePath()), "--flow-format",
                         "#.", "--count", "5"},
                        QProcessEnvironment::systemEnvironment());
  EXPECT_EQ(run.exitCode, 0) << run.err;
  std::vector<int> flows;
  const std::regex flowLine("Flow = (\\d+)\\.\n");
  for (auto m = std::sregex_iterator(run.out.begin(), run.out.end(), flowLine);
       m != std::sregex_iterator(); ++m) {
    flows.push_back(std::stoi((*m)[1].str()));
  }
  ASSERT_FALSE(flows.empty()) << run.err;
  EXPECT_EQ(flows.front(), 1);
  for (size_t i = 1; i < flows.size(); ++i) EXPECT_GT(flows[i], flows[i - 1] + (i == 1 ? 1 : 0));
  EXPECT_NE(run.err.find("No answer to poll 2"), std::string::npos) << run.err;
}

}  // namespace
}  // namespace norvale
