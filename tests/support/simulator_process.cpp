#include "support/simulator_process.h"

#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

extern char** environ;

namespace norvale::testing {
namespace {

constexpr double kStartSeconds = 10;
constexpr double kStopSeconds = 2;

std::string tempDirectory() {
  const char* dir = std::getenv("TMPDIR");
  return dir && *dir ? dir : "/tmp";
}

double secondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

int intField(const QJsonObject& object, const char* name) {
  QJsonValue value = object.value(QLatin1String(name));
  return value.isDouble() ? value.toInt() : -1;
}

SimulatorRequest parseLine(const std::string& line) {
  SimulatorRequest request;
  QJsonObject object = QJsonDocument::fromJson(QByteArray::fromStdString(line)).object();
  request.seq = intField(object, "seq");
  request.slave = intField(object, "slave");
  request.function = intField(object, "function");
  request.start = intField(object, "start");
  request.count = intField(object, "count");
  request.bank = intField(object, "bank");
  request.addrHi = intField(object, "addr_hi");
  request.addrLo = intField(object, "addr_lo");
  request.code = intField(object, "code");
  request.action = object.value("action").toString().toStdString();
  QJsonValue key = object.value("key");
  request.key = key.isString()   ? key.toString().toStdString()
                : key.isDouble() ? std::string(1, static_cast<char>(key.toInt()))
                                 : std::string();
  for (const QJsonValue& value : object.value("values").toArray()) {
    request.values.push_back(value.toInt());
  }
  return request;
}

}  // namespace

ScenarioFile::ScenarioFile(const std::string& json) {
  std::string pattern = tempDirectory() + "/norvale-scenario-XXXXXX.json";
  int fd = mkstemps(pattern.data(), 5);
  if (fd < 0) return;
  path_ = pattern;
  size_t written = 0;
  while (written < json.size()) {
    ssize_t n = write(fd, json.data() + written, json.size() - written);
    if (n <= 0) break;
    written += static_cast<size_t>(n);
  }
  close(fd);
}

ScenarioFile::~ScenarioFile() {
  if (!path_.empty()) unlink(path_.c_str());
}

SimulatorProcess::SimulatorProcess(const std::string& scenarioPath, std::vector<std::string> args,
                                   std::string script) {
  std::string dirPattern = tempDirectory() + "/norvale-sim-XXXXXX";
  if (!mkdtemp(dirPattern.data())) {
    error_ = "cannot make a temporary directory";
    return;
  }
  tempDir_ = dirPattern;
  logPath_ = tempDir_ + "/requests.jsonl";

  std::vector<std::string> words = {"python3", script, "--log", logPath_};
  if (!scenarioPath.empty()) {
    words.push_back("--scenario");
    words.push_back(scenarioPath);
  }
  words.insert(words.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& word : words) argv.push_back(word.data());
  argv.push_back(nullptr);

  int out[2];
  if (pipe(out) != 0) {
    error_ = "cannot make a pipe";
    return;
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
  posix_spawn_file_actions_addclose(&actions, out[0]);
  posix_spawn_file_actions_addclose(&actions, out[1]);
  int spawned = posix_spawnp(&pid_, "python3", &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  close(out[1]);
  if (spawned != 0) {
    pid_ = -1;
    close(out[0]);
    error_ = "cannot start python3";
    return;
  }

  // The first line is the device path; the simulator writes nothing else to stdout.
  std::string line;
  auto begin = std::chrono::steady_clock::now();
  while (line.find('\n') == std::string::npos) {
    double left = kStartSeconds - secondsSince(begin);
    if (left <= 0) {
      error_ = "the simulator did not print its device path within 10 s";
      break;
    }
    pollfd p{out[0], POLLIN, 0};
    if (poll(&p, 1, static_cast<int>(left * 1000) + 1) <= 0) continue;
    char chunk[256];
    ssize_t n = read(out[0], chunk, sizeof chunk);
    if (n <= 0) {
      error_ = "the simulator exited before printing its device path (see its stderr)";
      break;
    }
    line.append(chunk, static_cast<size_t>(n));
  }
  close(out[0]);
  if (error_.empty()) devicePath_ = line.substr(0, line.find('\n'));
}

SimulatorProcess::~SimulatorProcess() {
  stop();
  if (!tempDir_.empty()) {
    std::error_code ec;
    std::filesystem::remove_all(tempDir_, ec);
  }
}

bool SimulatorProcess::reap(bool block) {
  if (pid_ <= 0) return true;
  int status = 0;
  pid_t r = waitpid(pid_, &status, block ? 0 : WNOHANG);
  if (r == pid_ || (r < 0 && errno == ECHILD)) {
    pid_ = -1;
    return true;
  }
  return false;
}

bool SimulatorProcess::running() { return !reap(false); }

bool SimulatorProcess::waitForExit(double seconds) {
  auto begin = std::chrono::steady_clock::now();
  while (!reap(false)) {
    if (secondsSince(begin) >= seconds) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return true;
}

void SimulatorProcess::stop() {
  if (pid_ <= 0) return;
  kill(pid_, SIGTERM);
  if (!waitForExit(kStopSeconds) && pid_ > 0) {
    kill(pid_, SIGKILL);
    reap(true);
  }
}

std::vector<SimulatorRequest> SimulatorProcess::requestLog() const {
  std::vector<SimulatorRequest> requests;
  std::ifstream file(logPath_);
  std::string line;
  while (std::getline(file, line)) {
    if (!line.empty()) requests.push_back(parseLine(line));
  }
  return requests;
}

}  // namespace norvale::testing
