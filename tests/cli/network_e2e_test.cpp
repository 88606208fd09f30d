// Meters behind a serial device server: Debian's ser2net in front of the simulator's pty, and
// the simulator listening on TCP itself for the faults a server shows.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QElapsedTimer>
#include <QProcess>
#include <QThread>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "cli/exit_codes.h"
#include "support/cli_run.h"
#include "support/file_bytes.h"
#include "support/ser2net_process.h"
#include "support/simulator_process.h"
#include "support/tcp_ports.h"

namespace norvale {
namespace {

namespace fs = std::filesystem;
using testing::CliRun;
using testing::FileBytes;
using testing::RunCli;
using testing::ScenarioFile;
using testing::Ser2netProcess;
using testing::SilentListener;
using testing::SimulatorProcess;

// Erased log memory and set-up records read 0xFF, and -1.9999999 is BF FF FF FF: blocks full of
// the byte telnet must double.
constexpr const char* kFfLog = R"({"channels": ["Flow", null, "Level"],
  "log": {"generator": {"channels": [1, 3], "start": "2024-02-28T23:00", "interval_minutes": 5,
          "count": 40, "values": {"1": -1.99999988079071, "3": 0.5}},
          "records": [{"at": [8, 140, 0], "hex": "1B 03 21 30 41 48 00 00"}],
          "end": [8, 140, 8]}})";

class NetworkMeter : public ::testing::Test {
 protected:
  void SetUp() override {
    folder = fs::temp_directory_path() / ("norvale_network_e2e_" + std::to_string(::getpid()));
    fs::create_directories(folder);
  }
  void TearDown() override { fs::remove_all(folder); }
  CliRun download(const std::string& device, const fs::path& csv, QStringList more = {}) {
    return RunCli(QStringList{"download", "--device", QString::fromStdString(device), "--output",
                              QString::fromStdString(csv.string())} +
                  more);
  }

  fs::path folder;
};

TEST_F(NetworkMeter, ThroughSer2netRawAndRfc2217TheCsvIsThePtysByteForByte) {
  ScenarioFile scenario(kFfLog);
  SimulatorProcess sim(scenario.path());
  ASSERT_TRUE(sim.started()) << sim.error();
  const CliRun direct = download(sim.devicePath(), folder / "pty.csv");
  ASSERT_EQ(direct.exitCode, kExitFileWritten) << direct.err;
  const std::string expected = FileBytes(folder / "pty.csv");
  ASSERT_NE(expected.find("Flow"), std::string::npos);

  struct Server {
    const char* accepter;
    const char* scheme;
  };
  for (const Server& server :
       {Server{"tcp(nodelay)", "tcp://"}, Server{"telnet(rfc2217),tcp(nodelay)", "rfc2217://"}}) {
    SCOPED_TRACE(server.accepter);
    Ser2netProcess ser2net(sim.devicePath(), server.accepter);
    ASSERT_TRUE(ser2net.started()) << ser2net.error();
    const fs::path csv = folder / "network.csv";
    const CliRun run =
        download(server.scheme + std::string("127.0.0.1:") + std::to_string(ser2net.port()), csv);
    EXPECT_EQ(run.exitCode, kExitFileWritten) << run.err;
    EXPECT_EQ(FileBytes(csv), expected);
  }
}

// The line settings travel to the server's port through the COM-PORT option; paced, the
// replies come in many TCP segments.
TEST_F(NetworkMeter, Rfc2217SetsTheServersBaudRateFromTheCommandLine) {
  ScenarioFile scenario(kFfLog);
  SimulatorProcess sim(scenario.path(), {"--listen", "rfc2217:0", "--baud", "9600"});
  ASSERT_TRUE(sim.started()) << sim.error();
  ASSERT_EQ(sim.devicePath().rfind("rfc2217://127.0.0.1:", 0), 0u) << sim.devicePath();
  const CliRun run = download(sim.devicePath(), folder / "log.csv", {"--baud", "19200"});
  EXPECT_EQ(run.exitCode, kExitFileWritten) << run.err;
  const std::string log = FileBytes(sim.logPath());
  EXPECT_NE(log.find(R"("command":"set-baudrate","value":19200)"), std::string::npos) << log;
}

TEST_F(NetworkMeter, AServerThatCannotBeReachedEndsWithItsReasonAndExit3) {
  SilentListener silent;
  struct Case {
    std::string device;
    std::string reason;
    qint64 withinMilliseconds;  // a failure that is known is told at once
  };
  const Case cases[] = {
      {"tcp://127.0.0.1:" + std::to_string(testing::FreeTcpPort()), "Connection refused", 1500},
      {"rfc2217://no-such-host.invalid:4001", "Host not found", 3000},
      {silent.address(), "no answer to the connection within 5 s", 7000},
      {"tcp://127.0.0.1", "missing port", 1500},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.device);
    QElapsedTimer taken;
    taken.start();
    const CliRun run = download(c.device, folder / "log.csv");
    EXPECT_LT(taken.elapsed(), c.withinMilliseconds);
    EXPECT_EQ(run.exitCode, kExitDownloadError);
    EXPECT_NE(run.err.find("Communications Port not Valid: " + c.device + ": " + c.reason),
              std::string::npos)
        << run.err;
    EXPECT_EQ(run.lastErrLine(), "Error in Downloading!!");
  }
}

TEST_F(NetworkMeter, ADroppedConnectionFailsAtOnceKeepsTheFileAndTheNextDownloadConnectsAgain) {
  ScenarioFile scenario(kFfLog);
  SimulatorProcess sim(scenario.path(), {"--listen", "tcp:0", "--drop-after", "6"});
  ASSERT_TRUE(sim.started()) << sim.error();
  const fs::path csv = folder / "log.csv";
  { std::ofstream(csv) << "the last good download\r\n"; }
  QElapsedTimer taken;
  taken.start();
  const CliRun dropped = download(sim.devicePath(), csv);
  EXPECT_EQ(dropped.exitCode, kExitDownloadError) << dropped.err;
  EXPECT_EQ(dropped.lastErrLine(), "Error in Downloading!!");
  EXPECT_LT(taken.elapsed(), 2000) << "no resends into a closed connection";
  EXPECT_EQ(FileBytes(csv), "the last good download\r\n");

  const CliRun again = download(sim.devicePath(), csv);
  EXPECT_EQ(again.exitCode, kExitFileWritten) << again.err;
  EXPECT_NE(FileBytes(csv).find("Flow"), std::string::npos);
}

TEST_F(NetworkMeter, ASignalWhileConnectingEndsTheProgramAtOnce) {
  SilentListener silent;
  QProcess cli;
  cli.start(NORVALE_CLI, {"download", "--device", QString::fromStdString(silent.address()),
                          "--output", QString::fromStdString((folder / "log.csv").string())});
  ASSERT_TRUE(cli.waitForStarted());
  QThread::msleep(500);
  QElapsedTimer sinceSignal;
  sinceSignal.start();
  ::kill(static_cast<pid_t>(cli.processId()), SIGTERM);
  ASSERT_TRUE(cli.waitForFinished(5000));
  EXPECT_LT(sinceSignal.elapsed(), 1000);
  EXPECT_FALSE(fs::exists(folder / "log.csv"));
}

}  // namespace
}  // namespace norvale
