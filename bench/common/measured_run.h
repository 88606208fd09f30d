#pragma once

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

extern char** environ;

namespace norvale::bench {

// One run of a program, measured from outside by the measured_run helper (bench/programs):
// CPU time and peak resident memory from wait4, wall time from the spawn to the reap.
struct MeasuredRun {
  bool measured = false;
  int exitStatus = -1;  // -1 when it did not exit normally
  int signal = 0;
  double userSeconds = 0;
  double systemSeconds = 0;
  double peakMegabytes = 0;
  double wallSeconds = 0;
  double cpuSeconds() const { return userSeconds + systemSeconds; }
};

// The helper prints whole numbers only, so the reading does not depend on the locale.
inline bool ReadMeasuredLine(const std::string& line, MeasuredRun& run) {
  std::istringstream words(line);
  std::string name, value;
  long fields[6] = {};
  const char* names[6] = {"exit", "signal", "user_us", "system_us", "peak_kb", "wall_us"};
  for (int i = 0; i < 6; ++i) {
    if (!(words >> name >> value) || name != names[i]) return false;
    const auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), fields[i]);
    if (error != std::errc() || end != value.data() + value.size()) return false;
  }
  run.exitStatus = static_cast<int>(fields[0]);
  run.signal = static_cast<int>(fields[1]);
  run.userSeconds = static_cast<double>(fields[2]) / 1e6;
  run.systemSeconds = static_cast<double>(fields[3]) / 1e6;
  run.peakMegabytes = static_cast<double>(fields[4]) / 1024.0;
  run.wallSeconds = static_cast<double>(fields[5]) / 1e6;
  run.measured = true;
  return true;
}

// Runs `command` (a path and its arguments) through measured_run at `helper`, the program's
// standard output and error into `outputPath`. `measured` stays false when it could not be run.
inline MeasuredRun RunMeasured(const std::string& helper, const std::vector<std::string>& command,
                               const std::string& outputPath) {
  MeasuredRun run;
  const std::string reportPath = outputPath + ".measured";
  std::vector<std::string> words = {helper, outputPath};
  words.insert(words.end(), command.begin(), command.end());
  std::vector<char*> argv;
  for (std::string& word : words) argv.push_back(word.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, reportPath.c_str(),
                                   O_WRONLY | O_CREAT | O_TRUNC, 0644);
  pid_t pid = -1;
  const int spawned = posix_spawn(&pid, helper.c_str(), &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (spawned != 0) return run;
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  std::ifstream report(reportPath);
  std::string line;
  if (std::getline(report, line)) ReadMeasuredLine(line, run);
  ::unlink(reportPath.c_str());
  return run;
}

inline double Median(std::vector<double> values) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  const size_t middle = values.size() / 2;
  return values.size() % 2 == 1 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

// The text a run left in its output file.
inline std::string FileText(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  std::ostringstream text;
  text << file.rdbuf();
  return text.str();
}

}  // namespace norvale::bench
