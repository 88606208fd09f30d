#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace norvale::testing {

// A scenario for the meter simulator, written to a temporary file that is removed again.
class ScenarioFile {
 public:
  explicit ScenarioFile(const std::string& json);
  ~ScenarioFile();
  ScenarioFile(const ScenarioFile&) = delete;
  ScenarioFile& operator=(const ScenarioFile&) = delete;

  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

// One line of the simulator's request log. Fields the request does not have stay -1 or empty.
struct SimulatorRequest {
  int seq = -1;  // -1 for lines that are not one of its own requests (other slave, noise)
  int slave = -1;
  int function = -1;
  int start = -1;  // functions 3 and 16
  int count = -1;  // registers (3, 16) or words (96)
  int bank = -1;   // function 96
  int addrHi = -1;
  int addrLo = -1;
  std::vector<int> values;  // function 16
  std::string key;          // the character written to the key register
  std::string action;       // answered, silent, corrupted, exception, dropped, ignored, discarded
  int code = -1;            // exception code
};

// The meter simulator (tools/meter_sim.py) running as a child process on its own pty.
//
//   SimulatorProcess sim(scenario.path(), {"--fault", "silent,function=3,first=1"});
//   ASSERT_TRUE(sim.started()) << sim.error();
//   ... open sim.devicePath() ...
//   auto log = sim.requestLog();
//
// The destructor stops it (SIGTERM, then SIGKILL) and removes its temporary files.
class SimulatorProcess {
 public:
  // `script` is the simulator to run: the meter by default, or the modem (tools/modem_sim.py,
  // which starts a meter behind it from the same scenario).
  explicit SimulatorProcess(const std::string& scenarioPath, std::vector<std::string> args = {},
                            std::string script = NORVALE_SIMULATOR);
  ~SimulatorProcess();
  SimulatorProcess(const SimulatorProcess&) = delete;
  SimulatorProcess& operator=(const SimulatorProcess&) = delete;

  bool started() const { return !devicePath_.empty(); }
  // Why it did not start, for the test's failure message.
  const std::string& error() const { return error_; }
  // The pty's slave side, e.g. /dev/pts/3.
  const std::string& devicePath() const { return devicePath_; }
  const std::string& logPath() const { return logPath_; }

  // The requests it has logged so far, oldest first.
  std::vector<SimulatorRequest> requestLog() const;

  // True while the process has not exited.
  bool running();
  // Waits up to `seconds` for the process to exit by itself.
  bool waitForExit(double seconds);
  void stop();

 private:
  bool reap(bool block);

  pid_t pid_ = -1;
  std::string tempDir_;
  std::string logPath_;
  std::string devicePath_;
  std::string error_;
};

}  // namespace norvale::testing
