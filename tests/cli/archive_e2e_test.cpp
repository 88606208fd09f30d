// norvale-cli with an archive: what download and import read is merged, and archive meters and
// archive export read it back, on SQLite and on a real PostgreSQL server.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "cli/exit_codes.h"
#include "support/cli_run.h"
#include "support/file_bytes.h"
#include "support/postgres_cluster.h"
#include "support/simulator_process.h"

namespace norvale {
namespace {

namespace fs = std::filesystem;
using testing::CliRun;
using testing::FileBytes;
using testing::PostgresCluster;
using testing::RunCli;
using testing::ScenarioFile;
using testing::SimulatorProcess;

constexpr const char* kLog = R"json({"channels": ["Flow", "Fwd Tot"], "log": {"generator": {
    "channels": [1, 2], "start": "2021-03-04T00:15", "interval_minutes": 15, "count": 40,
    "values": {"1": "2.5 + sin(t / 100)", "2": "125000 + 2250 * i"}}}})json";

class ArchiveCli : public ::testing::TestWithParam<const char*> {
 protected:
  void SetUp() override {
    folder = fs::temp_directory_path() / ("norvale_archive_cli_" + std::to_string(::getpid()));
    fs::create_directories(folder);
    if (std::string(GetParam()) == "sqlite") {
      archive = (folder / "history.sqlite").string();
      return;
    }
    PostgresCluster& server = PostgresCluster::Shared();
    if (!server.started()) GTEST_SKIP() << "no PostgreSQL server: " << server.whyNot();
    archive = server.newDatabase("cli_" + std::to_string(::getpid()));
    ASSERT_FALSE(archive.empty());
  }
  void TearDown() override { fs::remove_all(folder); }
  QStringList with(QStringList arguments) const {
    return arguments << "--archive" << QString::fromStdString(archive);
  }

  fs::path folder;
  std::string archive;
};

TEST_P(ArchiveCli, DownloadsMergeOnceAndExportGivesTheDownloadsFileBack) {
  ScenarioFile scenario(kLog);
  SimulatorProcess sim(scenario.path());
  ASSERT_TRUE(sim.started()) << sim.error();
  const QString device = QString::fromStdString(sim.devicePath());
  const QString csv = QString::fromStdString((folder / "log.csv").string());
  const CliRun first =
      RunCli(with({"download", "--device", device, "--output", csv, "--meter", "pump3"}));
  ASSERT_EQ(first.exitCode, kExitFileWritten) << first.err;
  EXPECT_NE(first.err.find("Archive pump3: 40 new logged times, 0 already there"),
            std::string::npos)
      << first.err;
  const CliRun again =
      RunCli(with({"download", "--device", device, "--output", csv, "--meter", "pump3"}));
  EXPECT_NE(again.err.find("Archive pump3: 0 new logged times, 40 already there, 0 conflicting"),
            std::string::npos)
      << again.err;

  const CliRun meters = RunCli(with({"archive", "meters"}));
  EXPECT_EQ(meters.exitCode, kExitSuccess) << meters.err;
  EXPECT_EQ(meters.out, "pump3\t2021-03-04T00:15:00\t2021-03-04T10:00:00\t40\n");

  const fs::path exported = folder / "export.csv";
  const CliRun all = RunCli(with({"archive", "export", "--meter", "pump3", "--output",
                                  QString::fromStdString(exported.string())}));
  EXPECT_EQ(all.exitCode, kExitSuccess) << all.err;
  EXPECT_EQ(FileBytes(exported), FileBytes(csv.toStdString()));
  const CliRun part =
      RunCli(with({"archive", "export", "--meter", "pump3", "--from", "2021-03-04T01:00", "--to",
                   "2021-03-04T01:15", "--output", QString::fromStdString(exported.string())}));
  EXPECT_EQ(part.exitCode, kExitSuccess) << part.err;
  std::string lines = FileBytes(exported);
  EXPECT_EQ(std::count(lines.begin(), lines.end(), '\n'), 1 + 2) << lines;
  EXPECT_EQ(lines.find("3/4/2021 1:00:00 AM,"), lines.find('\n') + 1) << lines;
}

INSTANTIATE_TEST_SUITE_P(Engines, ArchiveCli, ::testing::Values("sqlite", "postgresql"));

}  // namespace
}  // namespace norvale
