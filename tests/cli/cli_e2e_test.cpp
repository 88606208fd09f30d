// norvale-cli as a script would run it: exit status, the status lines on stderr, the file.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QProcess>
#include <QStringList>
#include <algorithm>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <set>
#include <sstream>

#include "cli/exit_codes.h"
#include "support/cli_run.h"
#include "support/file_bytes.h"
#include "support/handheld_database.h"
#include "support/ser2net_process.h"
#include "support/simulator_process.h"

namespace norvale {
namespace {

namespace fs = std::filesystem;
using testing::CliRun;
using testing::FileBytes;
using testing::RunCli;
using testing::ScenarioFile;
using testing::Ser2netProcess;
using testing::SimulatorProcess;

class Cli : public ::testing::Test {
 protected:
  void SetUp() override {
    folder = fs::temp_directory_path() / ("norvale_cli_e2e_" + std::to_string(::getpid()));
    fs::create_directories(folder);
    output = QString::fromStdString((folder / "log.csv").string());
  }
  void TearDown() override { fs::remove_all(folder); }

  fs::path folder;
  QString output;
};

constexpr const char* kLog = R"({"channels": ["Flow"], "log": {"generator": {"channels": [1],
    "start": "2021-03-04T00:15", "interval_minutes": 15, "count": 40, "values": {"1": 2.5}}}})";

TEST_F(Cli, DownloadWritesTheFileAndEndsWithTheFinalStatus) {
  ScenarioFile scenario(kLog);
  SimulatorProcess sim(scenario.path());
  ASSERT_TRUE(sim.started()) << sim.error();
  CliRun run = RunCli(
      {"download", "--device", QString::fromStdString(sim.devicePath()), "--output", output});
  EXPECT_EQ(run.exitCode, kExitFileWritten) << run.err;
  EXPECT_EQ(run.lastErrLine(), "Finished. Data in File");
  EXPECT_NE(run.err.find("\n40 logged times written to " + output.toStdString() + "\n"),
            std::string::npos);
  EXPECT_NE(run.err.find("Channel #1: Flow"), std::string::npos);
  EXPECT_EQ(run.err.find('\r'), std::string::npos) << "no progress bar when stderr is a pipe";
  EXPECT_EQ(FileBytes(output.toStdString())
                .rfind("Date / Time,Flow\r\n3/4/2021 12:15:00 AM, 2.50000014901162\r\n", 0),
            0u);
}

TEST_F(Cli, ExitStatusTellsNothingToReadFromErrorFromUnwritableFile) {
  ScenarioFile empty(R"({"channels": ["Flow"]})");
  SimulatorProcess emptyMeter(empty.path());
  ASSERT_TRUE(emptyMeter.started());
  CliRun nothing = RunCli({"download", "--device", QString::fromStdString(emptyMeter.devicePath()),
                           "--output", output});
  EXPECT_EQ(nothing.exitCode, kExitNothingToRead);
  EXPECT_EQ(nothing.lastErrLine(), "0 Records Available");

  ScenarioFile log(kLog);
  SimulatorProcess meter(log.path());
  ASSERT_TRUE(meter.started());
  QString missing = QString::fromStdString((folder / "no" / "such" / "log.csv").string());
  CliRun unwritable = RunCli(
      {"download", "--device", QString::fromStdString(meter.devicePath()), "--output", missing});
  EXPECT_EQ(unwritable.exitCode, kExitFileError);
  EXPECT_EQ(unwritable.lastErrLine(), "Error putting into file!!");

  CliRun noPort = RunCli({"download", "--device", "/dev/norvale-no-such-port", "--output", output});
  EXPECT_EQ(noPort.exitCode, kExitDownloadError);
  EXPECT_NE(noPort.err.find("Communications Port not Valid"), std::string::npos);
  EXPECT_EQ(noPort.lastErrLine(), "Error in Downloading!!");
}

// The demo meter of the run command: "Since Last Time" gives the title line and exactly the
// lines a whole download ends with after the record the meter reports as read last time.
TEST_F(Cli, SinceLastTimeOnTheDemoMeterWritesWhatWasLoggedSinceTheLastDownload) {
  const std::string demo = (fs::path(NORVALE_SIMULATOR).parent_path() / "scenarios" / "demo.json");
  SimulatorProcess sim(demo);
  ASSERT_TRUE(sim.started()) << sim.error();
  const QString device = QString::fromStdString(sim.devicePath());
  const QString whole = QString::fromStdString((folder / "whole.csv").string());
  CliRun all = RunCli({"download", "--device", device, "--output", whole});
  ASSERT_EQ(all.exitCode, kExitFileWritten) << all.err;
  CliRun since = RunCli({"download", "--device", device, "--since-last", "--output", output});
  EXPECT_EQ(since.exitCode, kExitFileWritten) << since.err;
  EXPECT_EQ(since.lastErrLine(), "Finished. Data in File");

  // 288 logged times of three channels from 08 80 00; the meter's pointer 08 90 00 is record
  // 512, the third channel of logged time 171 (counted from 1), so 117 times are new.
  std::string wholeCsv = FileBytes(whole.toStdString());
  std::string sinceCsv = FileBytes(output.toStdString());
  size_t titleEnd = wholeCsv.find("\r\n") + 2;
  size_t tail = wholeCsv.size();
  for (int lines = 0; lines <= 117; ++lines) tail = wholeCsv.rfind("\r\n", tail - 1);
  EXPECT_EQ(sinceCsv, wholeCsv.substr(0, titleEnd) + wholeCsv.substr(tail + 2));
  EXPECT_EQ(std::count(sinceCsv.begin(), sinceCsv.end(), '\n'), 1 + 117);
}

// The demo handheld database holds modules 12, 3 and 7 (96, 192 and 48 logged times).
TEST_F(Cli, ImportAndIdsReadTheHandheldDatabase) {
  const std::string database = (folder / "DBFLW2.pdb").string();
  std::string error;
  ASSERT_TRUE(testing::GenerateHandheldDatabase(
      database, {"--scenario", testing::ToolScenario("demo_handheld.json")}, error))
      << error;
  const QString db = QString::fromStdString(database);

  CliRun ids = RunCli({"ids", "--database", db});
  EXPECT_EQ(ids.exitCode, 0) << ids.err;
  EXPECT_EQ(ids.out, "12\n3\n7\n");
  EXPECT_EQ(ids.lastErrLine(), "Finished Reading");

  CliRun one = RunCli({"import", "--database", db, "--module", "3", "--output", output});
  EXPECT_EQ(one.exitCode, kExitFileWritten) << one.err;
  EXPECT_EQ(one.lastErrLine(), "Finished. Data in File");
  std::string csv = FileBytes(output.toStdString());
  EXPECT_EQ(csv.substr(0, csv.find("\r\n")), "Date / Time,Level,Flow,Fwd Tot");
  EXPECT_EQ(std::count(csv.begin(), csv.end(), '\n'), 1 + 192);
  EXPECT_NE(csv.find("\r\n03/05/2021 00:00,"), std::string::npos);  // midnight, next day's date

  CliRun missing = RunCli({"import", "--database", db + "-gone", "--output", output});
  EXPECT_EQ(missing.exitCode, kExitDatabaseMissing);
  EXPECT_EQ(missing.lastErrLine(), "Could not find Palm DataFile!!");
  CliRun folderAsDatabase = RunCli({"ids", "--database", QString::fromStdString(folder.string())});
  EXPECT_EQ(folderAsDatabase.exitCode, kExitDownloadError);
  EXPECT_EQ(folderAsDatabase.lastErrLine(), "Error!!");
}

TEST_F(Cli, LivePrintsTheDisplayLinesOncePerAnsweredPoll) {
  ScenarioFile scenario(R"({"live": {"flow": 1, "velocity": 2.5, "forward_total": 4097,
                                     "reverse_total": 7, "alarm": 9}})");
  SimulatorProcess meter(scenario.path());
  ASSERT_TRUE(meter.started()) << meter.error();
  const QString device = QString::fromStdString(meter.devicePath());
  CliRun run = RunCli({"live", "--device", device, "--meter", "KX60", "--flow-unit", "GPM",
                       "--flow-format", "#.##", "--count", "2"});
  EXPECT_EQ(run.exitCode, 0) << run.err;
  const std::string poll =
      "Flow = 448.83\nVelocity = 2.50000014901162\nForward Total = 4097\nReverse Total = 7\n"
      " Setpoint 1  Lost Signal \n\n";
  EXPECT_EQ(run.out, poll + poll);

  SimulatorProcess silent(scenario.path(), {"--silent", "99"});
  ASSERT_TRUE(silent.started()) << silent.error();
  CliRun none =
      RunCli({"live", "--device", QString::fromStdString(silent.devicePath()), "--count", "1"});
  EXPECT_EQ(none.exitCode, kExitDownloadError);
  EXPECT_EQ(none.out, "");
}

// What a technician reads when live values fail: a damaged reply, an exception reply the link
// drops while it waits on, and silence, each a line, then the counts.
TEST_F(Cli, LineTraceTellsEachFrameAndEndsWithTheCounts) {
  ScenarioFile scenario(R"({"live": {"flow": 1}})");
  SimulatorProcess meter(scenario.path(), {"--fault", "bad_crc,function=99,nth=1", "--fault",
                                           "exception,function=99,nth=2,code=3", "--fault",
                                           "silent,function=99,nth=3"});
  ASSERT_TRUE(meter.started()) << meter.error();
  const QString trace = QString::fromStdString((folder / "live.trace").string());
  CliRun run = RunCli({"live", "--device", QString::fromStdString(meter.devicePath()), "--count",
                       "5", "--trace", trace});
  EXPECT_EQ(run.exitCode, 0) << run.err;
  std::vector<std::string> verdicts;
  std::istringstream lines(FileBytes(trace.toStdString()));
  for (std::string line; std::getline(lines, line);) {
    // "hh:mm:ss.mmm -> 01 63 ... request": the time, then the direction.
    ASSERT_TRUE(line.rfind("Summary: ", 0) == 0 ||
                (line.size() > 16 && line[2] == ':' && line[8] == '.' && line[12] == ' '))
        << line;
    verdicts.push_back(line.rfind("Summary: ", 0) == 0 ? line.substr(9)
                                                       : line.substr(line.find("  ") + 2));
  }
  // The answer after the silent third poll may be that poll's, late: the fourth shows nothing.
  const std::vector<std::string> expected{
      "request",
      "CRC mismatch",
      "request",
      "exception 03 (illegal data value), dropped",
      "gave up, no reply",
      "request",
      "gave up, no reply",
      "request",
      "late answer to a request sent again, dropped",
      "gave up, no reply",
      "request",
      "reply complete",
      "requests 5, resends 0, replies 1, CRC failures 1, exceptions 1, timeouts 3"};
  EXPECT_EQ(verdicts, expected);

  // A download that had to ask again, with the trace on standard error too.
  SimulatorProcess slow(scenario.path(), {"--fault", "silent,function=3,first=1"});
  ASSERT_TRUE(slow.started()) << slow.error();
  CliRun download = RunCli({"download", "--device", QString::fromStdString(slow.devicePath()),
                            "--output", output, "-v"});
  EXPECT_NE(download.err.find("  resend\n"), std::string::npos) << download.err;
  EXPECT_NE(download.err.find("  reply complete\n"), std::string::npos);
  EXPECT_NE(download.err.find("\nSummary: requests "), std::string::npos);
  EXPECT_EQ(download.lastErrLine(), "0 Records Available") << "the final status stays last";
}

// The demo meter behind a simulated Hayes modem, on the pty and on a device server: dial,
// download over the dialed line, hang up.
TEST_F(Cli, DownloadThroughADialedLine) {
  const std::string modem = (fs::path(NORVALE_SIMULATOR).parent_path() / "modem_sim.py").string();
  const std::string demo = (fs::path(NORVALE_SIMULATOR).parent_path() / "scenarios" / "demo.json");
  for (const bool onDeviceServer : {false, true}) {
    SCOPED_TRACE(onDeviceServer ? "through ser2net" : "on the pty");
    SimulatorProcess line(demo, {}, modem);
    ASSERT_TRUE(line.started()) << line.error();
    std::optional<Ser2netProcess> server;
    std::string device = line.devicePath();
    if (onDeviceServer) {
      server.emplace(line.devicePath(), "tcp(nodelay)");
      ASSERT_TRUE(server->started()) << server->error();
      device = "tcp://127.0.0.1:" + std::to_string(server->port());
    }
    CliRun run = RunCli({"download", "--device", QString::fromStdString(device), "--dial",
                         "5551234", "--output", output});
    EXPECT_EQ(run.exitCode, kExitFileWritten) << run.err;
    // The dialer's texts and each line the modem answers come once, in order.
    EXPECT_EQ(run.err.rfind("Dialing 5551234\nModem: ATE0 S0=2 &C0\nModem: CONNECT 9600\n", 0), 0u)
        << run.err;
    EXPECT_NE(run.err.find("Hanging up Line\nOkay\n"), std::string::npos) << run.err;
    EXPECT_EQ(run.lastErrLine(), "Finished. Data in File");
    std::string csv = FileBytes(output.toStdString());
    EXPECT_EQ(std::count(csv.begin(), csv.end(), '\n'), 1 + 288);
    const std::string log = FileBytes(line.logPath());
    for (const char* event : {"\"dial\"", "\"connect\"", "\"escape\"", "\"hangup\""}) {
      EXPECT_NE(log.find(event), std::string::npos) << event << " in " << log;
    }
  }
}

TEST_F(Cli, UsageErrorsExitWith64AndHelpDescribesTheCommand) {
  CliRun bad = RunCli({"download", "--device", "/dev/null", "--baud", "9601"});
  EXPECT_EQ(bad.exitCode, kExitUsage);
  EXPECT_NE(bad.err.find("9601"), std::string::npos);
  CliRun help = RunCli({"--help"});
  EXPECT_EQ(help.exitCode, 0);
  EXPECT_NE(help.out.find("--since-last"), std::string::npos);
}

// A mistake is one line and the way to the help; a command's help is that command's alone.
TEST_F(Cli, UsageErrorIsOneLineAndACommandsHelpIsItsOwn) {
  CliRun bad = RunCli({"download", "--device", "/dev/null", "--baud", "9601"});
  EXPECT_EQ(bad.exitCode, kExitUsage);
  EXPECT_EQ(std::count(bad.err.begin(), bad.err.end(), '\n'), 2) << bad.err;
  EXPECT_EQ(bad.err.rfind("norvale-cli: ", 0), 0u);
  EXPECT_EQ(bad.lastErrLine(), "Try 'norvale-cli download --help'.");

  CliRun help = RunCli({"download", "--help"});
  EXPECT_EQ(help.exitCode, 0);
  EXPECT_NE(help.out.find("--since-last"), std::string::npos);
  EXPECT_EQ(help.out.find("--database"), std::string::npos) << help.out;

  // A pattern naming a folder would have numbered the folder's name.
  const QString folderName = QString::fromStdString(folder.string());
  CliRun pattern = RunCli({"import", "--database", "x.pdb", "--output-pattern", folderName});
  EXPECT_EQ(pattern.exitCode, kExitUsage) << pattern.err;
  EXPECT_FALSE(fs::exists(folder.string() + "-2"));
}

// Each failure names its file or device in a line of its own, and the final status comes once.
TEST_F(Cli, FailuresNameTheirPathAndTheFinalStatusComesOnce) {
  const std::string database = (folder / "DBFLW2.pdb").string();
  std::string error;
  ASSERT_TRUE(testing::GenerateHandheldDatabase(
      database, {"--scenario", testing::ToolScenario("demo_handheld.json")}, error))
      << error;
  const std::string gone = (folder / "gone.pdb").string();
  struct Case {
    QStringList arguments;
    std::string errorLine;
    std::string finalStatus;
  };
  const std::vector<Case> cases{
      {{"import", "--database", QString::fromStdString(gone), "--output", output},
       "norvale-cli: cannot read " + gone + ": No such file or directory",
       "Could not find Palm DataFile!!"},
      {{"import", "--database", QString::fromStdString(database), "--output",
        QString::fromStdString(folder.string())},
       "norvale-cli: cannot write " + folder.string() + ": Is a directory",
       "Error putting into file!!"},
      {{"download", "--device", "/dev/norvale-no-such-port", "--output", output},
       "norvale-cli: Communications Port not Valid: /dev/norvale-no-such-port: ",
       "Error in Downloading!!"}};
  for (const Case& c : cases) {
    CliRun run = RunCli(c.arguments);
    EXPECT_NE(run.err.find("\n" + c.errorLine), std::string::npos) << run.err;
    EXPECT_EQ(run.lastErrLine(), c.finalStatus) << run.err;
    EXPECT_EQ(run.errCount(c.finalStatus), 1u) << run.err;
  }
}

// A module the database does not hold, a file that is no database and one that is not there are
// said so, each with its own exit status, and the file already there stays as it was.
TEST_F(Cli, ImportTellsAMissingModuleAndAFileThatIsNoDatabase) {
  const std::string database = (folder / "DBFLW2.pdb").string();
  const std::string empty = (folder / "empty.pdb").string();
  ScenarioFile noMeters("{}");
  std::string error;
  ASSERT_TRUE(testing::GenerateHandheldDatabase(
      database, {"--scenario", testing::ToolScenario("demo_handheld.json")}, error))
      << error;
  ASSERT_TRUE(testing::GenerateHandheldDatabase(empty, {"--scenario", noMeters.path()}, error))
      << error;
  struct Case {
    QStringList arguments;
    int exitCode;
    std::string finalStatus;
  };
  const QString db = QString::fromStdString(database);
  const std::vector<Case> cases{{{"import", "--database", db, "--module", "99", "--output", output},
                                 kExitNothingToRead,
                                 "no records for module 99"},
                                {{"import", "--database", "/etc/passwd", "--output", output},
                                 kExitDownloadError,
                                 "norvale-cli: /etc/passwd is not a handheld database"},
                                {{"ids", "--database", "/etc/passwd"},
                                 kExitDownloadError,
                                 "norvale-cli: /etc/passwd is not a handheld database"},
                                {{"ids", "--database", QString::fromStdString(empty)},
                                 kExitNothingToRead,
                                 "0 Records Available"},
                                {{"ids", "--database", db + "-gone"},
                                 kExitDatabaseMissing,
                                 "Could not find Palm DataFile!!"}};
  for (const Case& c : cases) {
    std::ofstream(output.toStdString()) << "earlier";
    CliRun run = RunCli(c.arguments);
    EXPECT_EQ(run.exitCode, c.exitCode) << run.err;
    EXPECT_EQ(run.lastErrLine(), c.finalStatus) << run.err;
    EXPECT_EQ(FileBytes(output.toStdString()), "earlier");
  }
}

// "--device ttyM" with a ./ttyM: the file here, not /dev/ttyM.
TEST_F(Cli, DeviceNameWithoutSlashIsTheFileInTheCurrentFolder) {
  ScenarioFile scenario(kLog);
  SimulatorProcess sim(scenario.path());
  ASSERT_TRUE(sim.started()) << sim.error();
  fs::create_symlink(sim.devicePath(), folder / "ttyNorvaleTest");
  CliRun run = RunCli({"download", "--device", "ttyNorvaleTest", "--output", "here.csv"},
                      QString::fromStdString(folder.string()));
  EXPECT_EQ(run.exitCode, kExitFileWritten) << run.err;
  EXPECT_TRUE(fs::exists(folder / "here.csv"));
}

// Runs at the same moment with the same pattern: each keeps its own whole file.
TEST_F(Cli, RunsWithTheSamePatternNeverTakeTheSameName) {
  const std::string database = (folder / "DBFLW2.pdb").string();
  std::string error;
  ASSERT_TRUE(testing::GenerateHandheldDatabase(
      database, {"--scenario", testing::ToolScenario("demo_handheld.json")}, error))
      << error;
  fs::create_directory(folder / "out");
  constexpr int kRuns = 4;
  std::vector<std::unique_ptr<QProcess>> runs;
  for (int i = 0; i < kRuns; ++i) {
    runs.push_back(std::make_unique<QProcess>());
    runs.back()->start(
        NORVALE_CLI, {"import", "--database", QString::fromStdString(database), "--output-pattern",
                      QString::fromStdString((folder / "out" / "log.csv").string())});
  }
  std::set<std::string> named;
  for (auto& run : runs) {
    ASSERT_TRUE(run->waitForFinished(60000));
    const std::string err = run->readAllStandardError().toStdString();
    EXPECT_EQ(run->exitCode(), kExitFileWritten) << err;
    const size_t at = err.find(" written to ");
    ASSERT_NE(at, std::string::npos) << err;
    named.insert(err.substr(at + 12, err.find('\n', at) - at - 12));
  }
  EXPECT_EQ(named.size(), static_cast<size_t>(kRuns));
  for (const std::string& name : named) {
    const std::string csv = FileBytes(name);
    EXPECT_EQ(std::count(csv.begin(), csv.end(), '\n'), 1 + 336) << name;
  }
}

// SIGTERM while a dialed download waits on a silent meter: the line is hung up before the end.
TEST_F(Cli, SignalDuringADialedDownloadHangsUpFirst) {
  const std::string modem = (fs::path(NORVALE_SIMULATOR).parent_path() / "modem_sim.py").string();
  SimulatorProcess line(testing::ToolScenario("demo.json"),
                        {"--meter-arg=--silent", "--meter-arg=96"}, modem);
  ASSERT_TRUE(line.started()) << line.error();
  QProcess cli;
  cli.setReadChannel(QProcess::StandardError);
  cli.start(NORVALE_CLI, {"download", "--device", QString::fromStdString(line.devicePath()),
                          "--dial", "5551234", "--output", output});
  std::string err;
  while (err.find("Downloading\n") == std::string::npos && cli.waitForReadyRead(30000)) {
    err += cli.readAllStandardError().toStdString();
  }
  ASSERT_NE(err.find("Downloading\n"), std::string::npos) << err;
  cli.terminate();
  ASSERT_TRUE(cli.waitForFinished(30000));
  err += cli.readAllStandardError().toStdString();
  EXPECT_EQ(cli.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(cli.exitCode(), 128 + SIGTERM) << err;
  EXPECT_NE(err.find("Hanging up Line\n"), std::string::npos) << err;
  const std::string log = FileBytes(line.logPath());
  const size_t connect = log.find("\"connect\"");
  ASSERT_NE(connect, std::string::npos) << log;
  EXPECT_NE(log.find("\"escape\"", connect), std::string::npos) << log;
  EXPECT_NE(log.find("\"hangup\"", connect), std::string::npos) << log;
  EXPECT_FALSE(fs::exists(output.toStdString()));
}

}  // namespace
}  // namespace norvale
