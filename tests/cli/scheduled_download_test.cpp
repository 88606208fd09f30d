// The scheduled download's systemd unit, its command lines expanded as systemd expands them and
// run against the demo meter.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QProcess>
#include <QStringList>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <sstream>

#include "support/file_bytes.h"
#include "support/handheld_database.h"
#include "support/simulator_process.h"

namespace norvale {
namespace {

namespace fs = std::filesystem;
using testing::FileBytes;

// The unit's [Service] settings, each key with its value.
std::map<std::string, std::string> ServiceSettings(const std::string& unit) {
  std::map<std::string, std::string> settings;
  std::istringstream lines(unit);
  for (std::string line; std::getline(lines, line);) {
    const size_t equals = line.find('=');
    if (line.empty() || line[0] == '#' || line[0] == '[' || equals == std::string::npos) continue;
    settings[line.substr(0, equals)] = line.substr(equals + 1);
  }
  return settings;
}

// A user unit's specifiers (%i instance, %E configuration home, %% a percent sign), then each
// "${NAME}" replaced by the environment's value, which stays inside its one word.
std::vector<std::string> ExpandCommand(const std::string& line, const std::string& instance,
                                       const std::string& configHome,
                                       const std::map<std::string, std::string>& environment) {
  std::vector<std::string> words;
  std::istringstream split(line);
  for (std::string word; split >> word;) {
    std::string expanded;
    for (size_t i = 0; i < word.size(); ++i) {
      if (word[i] == '%' && i + 1 < word.size()) {
        const char specifier = word[++i];
        expanded += specifier == 'i' ? instance : specifier == 'E' ? configHome : "%";
      } else if (word.compare(i, 2, "${") == 0) {
        const size_t end = word.find('}', i);
        auto value = environment.find(word.substr(i + 2, end - i - 2));
        if (value != environment.end()) expanded += value->second;
        i = end;
      } else {
        expanded += word[i];
      }
    }
    words.push_back(expanded);
  }
  return words;
}

int RunCommand(std::vector<std::string> words, std::string* errors = nullptr) {
  QStringList arguments;
  for (size_t i = 1; i < words.size(); ++i) arguments << QString::fromStdString(words[i]);
  QProcess process;
  process.start(QString::fromStdString(words[0]), arguments);
  EXPECT_TRUE(process.waitForFinished(120000));
  if (errors) *errors = process.readAllStandardError().toStdString();
  return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
}

TEST(ScheduledDownload, TheServiceWritesDatedFilesOfWhatIsNewAndNeverOverwritesOne) {
  const fs::path folder =
      fs::temp_directory_path() / ("norvale_scheduled_" + std::to_string(::getpid()));
  fs::remove_all(folder);
  testing::SimulatorProcess meter(testing::ToolScenario("demo.json"));
  ASSERT_TRUE(meter.started()) << meter.error();

  const std::map<std::string, std::string> service =
      ServiceSettings(FileBytes(NORVALE_SERVICE_TEMPLATE));
  const std::string configHome = (folder / "config").string();
  const fs::path output = folder / "meter files" / "pump 3";  // spaces stay in one argument
  const std::map<std::string, std::string> environment{{"NORVALE_DEVICE", meter.devicePath()},
                                                       {"NORVALE_BAUD", "38400"},
                                                       {"NORVALE_SLAVE", "1"},
                                                       {"NORVALE_OUTPUT_FOLDER", output.string()}};
  ASSERT_EQ(ExpandCommand(service.at("EnvironmentFile"), "pump3", configHome, environment),
            std::vector<std::string>{configHome + "/norvale-download/meters/pump3.env"});
  EXPECT_NE(service.at("SuccessExitStatus").find('1'), std::string::npos)
      << "nothing new to read is no failure";

  std::vector<std::string> prepare =
      ExpandCommand(service.at("ExecStartPre"), "pump3", configHome, environment);
  std::vector<std::string> download =
      ExpandCommand(service.at("ExecStart"), "pump3", configHome, environment);
  ASSERT_EQ(download[0], "@NORVALE_BINDIR@/norvale-cli");
  download[0] = NORVALE_CLI;
  ASSERT_EQ(RunCommand(prepare), 0);
  std::string errors;
  ASSERT_EQ(RunCommand(download, &errors), 0) << errors;
  ASSERT_EQ(RunCommand(download), 0);

  // The demo meter reports the same 117 new logged times both times: two files, the second
  // named apart from the first when both runs fall in the same minute.
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(output)) {
    names.push_back(entry.path().filename().string());
    const std::string csv = FileBytes(entry.path());
    EXPECT_EQ(std::count(csv.begin(), csv.end(), '\n'), 1 + 117) << names.back();
  }
  std::sort(names.begin(), names.end());
  ASSERT_EQ(names.size(), 2u);
  const std::regex dated(R"(\d{4}-\d\d-\d\d-\d{4}(-2)?\.csv)");
  for (const std::string& name : names) EXPECT_TRUE(std::regex_match(name, dated)) << name;
  // The line before the final status names the first run's file in full.
  std::smatch written;
  ASSERT_TRUE(std::regex_search(errors, written, std::regex("117 logged times written to (.*)\n")))
      << errors;
  EXPECT_EQ(fs::path(written[1].str()).parent_path(), output);
  EXPECT_NE(std::find(names.begin(), names.end(), fs::path(written[1].str()).filename()),
            names.end());
  fs::remove_all(folder);
}

}  // namespace
}  // namespace norvale
