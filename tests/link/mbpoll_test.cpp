// A standard Modbus master (mbpoll) against the meter simulator: the simulator's frames, CRCs and
// exception replies must satisfy an implementation that is not ours.

#include <gtest/gtest.h>

#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QStringList>
#include <cstdio>
#include <map>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "support/simulator_process.h"

namespace norvale {
namespace {

using testing::ScenarioFile;
using testing::SimulatorProcess;
using testing::SimulatorRequest;

const char* const kDisplay[] = {"NORVALE KX40  ID 001", "Flow 2.500 CFS", "Vel 3.183 FPS",
                                "\"Menu\" 2nd"};

std::string scenarioJson() {
  return R"({
    "slave": 7,
    "channels": ["Flow"],
    "log": {"start": [9, 130, 16],
            "records": ["1B 03 21 30 41 48 00 00", "1B 03 21 45 41 48 00 00",
                        "1B 03 22 00 41 48 00 00"]},
    "display": ["NORVALE KX40  ID 001", "Flow 2.500 CFS", "Vel 3.183 FPS", "\"Menu\" 2nd"]
  })";
}

struct MbpollResult {
  int exitCode = -1;
  std::string output;                 // stdout and stderr together
  std::map<int, std::string> values;  // register -> value text as printed
};

class MbpollTest : public ::testing::Test {
 protected:
  void SetUp() override {
    mbpoll_ = QStandardPaths::findExecutable("mbpoll");
    if (mbpoll_.isEmpty()) GTEST_SKIP() << "mbpoll is not installed";
  }

  void start(const std::string& scenarioPath, std::vector<std::string> args = {}) {
    sim_ = std::make_unique<SimulatorProcess>(scenarioPath, std::move(args));
    ASSERT_TRUE(sim_->started()) << sim_->error();
  }

  // One poll, 0-based register numbers, 38400 8N1, slave 7.
  MbpollResult run(const QStringList& options, const QStringList& writeValues = {}) {
    QStringList args = {"-m", "rtu", "-b", "38400", "-P", "none", "-a", "7", "-0", "-1", "-o", "1"};
    args += options;
    args << QString::fromStdString(sim_->devicePath());
    args += writeValues;
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(mbpoll_, args);
    MbpollResult result;
    if (!process.waitForFinished(10000)) {
      process.kill();
      process.waitForFinished();
      return result;
    }
    result.exitCode = process.exitCode();
    result.output = process.readAll().toStdString();
    static const QRegularExpression line(R"(^\[(\d+)\]:\s+(\S+))",
                                         QRegularExpression::MultilineOption);
    auto it = line.globalMatch(QString::fromStdString(result.output));
    while (it.hasNext()) {
      QRegularExpressionMatch m = it.next();
      result.values[m.captured(1).toInt()] = m.captured(2).toStdString();
    }
    return result;
  }

  QString mbpoll_;
  std::unique_ptr<SimulatorProcess> sim_;
};

std::string hexWord(int value) {
  char text[8];
  std::snprintf(text, sizeof text, "0x%04X", value & 0xFFFF);
  return text;
}

TEST_F(MbpollTest, DisplayRegistersHoldTheFourLinesTwoCharactersEach) {
  ScenarioFile scenario(scenarioJson());
  ASSERT_NO_FATAL_FAILURE(start(scenario.path()));
  MbpollResult result = run({"-r", "24", "-c", "40", "-t", "4:hex"});
  ASSERT_EQ(result.exitCode, 0) << result.output;
  ASSERT_EQ(result.values.size(), 40u) << result.output;
  for (int n = 0; n < 4; ++n) {
    std::string line = kDisplay[n];
    line.resize(20, ' ');
    for (int i = 0; i < 10; ++i) {
      int reg = 24 + 10 * n + i;
      int expected = static_cast<unsigned char>(line[2 * i]) << 8 |
                     static_cast<unsigned char>(line[2 * i + 1]);
      EXPECT_EQ(result.values[reg], hexWord(expected)) << "register " << reg;
    }
  }
}

TEST_F(MbpollTest, StatusRegistersHoldThePointersAndTheCountsAsBigEndianFloats) {
  ScenarioFile scenario(scenarioJson());
  ASSERT_NO_FATAL_FAILURE(start(scenario.path()));
  // Standard layout: 00 | 09 82 10 | 00 | 09 82 28 | 3.0 | 32765.0
  MbpollResult words = run({"-r", "76", "-c", "4", "-t", "4:hex"});
  ASSERT_EQ(words.exitCode, 0) << words.output;
  EXPECT_EQ(words.values[76], "0x0009");
  EXPECT_EQ(words.values[77], "0x8210");
  EXPECT_EQ(words.values[78], "0x0009");
  EXPECT_EQ(words.values[79], "0x8228");

  MbpollResult counts = run({"-r", "80", "-c", "2", "-t", "4:float", "-B"});
  ASSERT_EQ(counts.exitCode, 0) << counts.output;
  EXPECT_EQ(counts.values[80], "3");
  EXPECT_EQ(counts.values[82], "32765");
}

TEST_F(MbpollTest, DemoScenarioHoldsThreeDaysOfThreeChannels) {
  std::string demo = NORVALE_SIMULATOR;
  demo = demo.substr(0, demo.rfind('/')) + "/scenarios/demo.json";
  ASSERT_NO_FATAL_FAILURE(start(demo));
  MbpollResult result = run({"-a", "1", "-r", "80", "-c", "1", "-t", "4:float", "-B"});
  ASSERT_EQ(result.exitCode, 0) << result.output;
  // 288 intervals of 15 min x 3 channels = 864 records; 352 of them logged after the last
  // download at 08 90 00 count as used.
  EXPECT_EQ(result.values[80], "352");
}

TEST_F(MbpollTest, RegisterWriteIsAcknowledgedAndTheKeyLogged) {
  ScenarioFile scenario(scenarioJson());
  ASSERT_NO_FATAL_FAILURE(start(scenario.path()));
  // Two values, so mbpoll uses function 16 (one value would be function 6).
  MbpollResult result = run({"-r", "208", "-t", "4"}, {"17733", "17733"});
  ASSERT_EQ(result.exitCode, 0) << result.output;
  EXPECT_NE(result.output.find("Written 2 references"), std::string::npos) << result.output;
  std::vector<SimulatorRequest> log = sim_->requestLog();
  ASSERT_EQ(log.size(), 1u);
  EXPECT_EQ(log[0].function, 16);
  EXPECT_EQ(log[0].key, "E");
}

struct RefusalCase {
  const char* name;
  std::vector<std::string> simulatorArgs;
  QStringList mbpollOptions;
  const char* message;  // how mbpoll reports it; it says nothing about a timeout
};

void PrintTo(const RefusalCase& c, std::ostream* os) { *os << c.name; }

class MbpollRefusalTest : public MbpollTest, public ::testing::WithParamInterface<RefusalCase> {};

TEST_P(MbpollRefusalTest, MasterSeesTheInjectedFault) {
  ScenarioFile scenario(scenarioJson());
  ASSERT_NO_FATAL_FAILURE(start(scenario.path(), GetParam().simulatorArgs));
  MbpollResult result = run(GetParam().mbpollOptions);
  EXPECT_EQ(result.exitCode, 1) << result.output;
  EXPECT_NE(result.output.find(GetParam().message), std::string::npos) << result.output;
  EXPECT_TRUE(result.values.empty()) << result.output;
}

INSTANTIATE_TEST_SUITE_P(
    Faults, MbpollRefusalTest,
    ::testing::Values(
        RefusalCase{"InputRegistersAreNotOffered", {}, {"-r", "24", "-t", "3"}, "Illegal function"},
        RefusalCase{"ExceptionCodeIsCarried",
                    {"--fault", "exception,function=3,code=2"},
                    {"-r", "24", "-t", "4"},
                    "Illegal data address"},
        RefusalCase{"CorruptedCrc", {"--bad-crc", "3"}, {"-r", "24", "-t", "4"}, "Invalid CRC"},
        RefusalCase{"Silence", {"--silent", "3"}, {"-r", "24", "-t", "4"}, ""}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace norvale
