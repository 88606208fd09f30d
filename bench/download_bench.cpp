// Download figures of norvale-cli against the meter simulator on a pty, each run as its own
// process and timed from outside:
//   (1) a whole, full log ring (start 08 80 08, end 08 80 00: 262,136 bytes, 32,767 records),
//       unpaced: wall seconds of the whole run (target under 3 s), exit status, CSV lines;
//   (2) 16,384 bytes (2,048 records), simulator and program at 9600 baud: elapsed seconds
//       against the wire time of the exchanges the simulator logged (target ratio <= 1.05);
//   (3) a meter that never answers the status read: the program's CPU seconds (user + system,
//       from wait4) against its wall seconds until it gives up (target under 0.02; about 30 s).
// Usage: download_bench [1|2|3 ...]   (default: all three). It prints; it asserts nothing.
// Run it from the build folder; DOWNLOAD_BENCH_CLI=PATH measures another norvale-cli.

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <string>
#include <vector>

// The benchmark links the program's libraries only, so the simulator helper comes in as source.
#include "support/simulator_process.cpp"

namespace norvale {
namespace {

using testing::ScenarioFile;
using testing::SimulatorProcess;
using testing::SimulatorRequest;

constexpr int kBitsPerByte = 10;  // start bit, 8 data bits, stop bit
constexpr int kPacedBaud = 9600;

// Frame sizes on the wire, request and reply, CRC included.
constexpr int kStatusRequestBytes = 8;     // slave 03 start(2) count(2) CRC
constexpr int kReadReplyOverhead = 5;      // slave 03 n ... CRC
constexpr int kBlockRequestBytes = 9;      // slave 60 bank hi lo count(2) CRC
constexpr int kBlockReplyOverhead = 9;     // slave 60 bank hi lo len(2) ... CRC
constexpr int kPointerRequestBytes = 9;    // slave 61 00 00 00 00 00 CRC
constexpr int kPointerReplyBytes = 7;      // slave 61 bank hi lo CRC
constexpr int kWriteAcknowledgeBytes = 8;  // slave 10 start(2) count(2) CRC
constexpr int kSetupBank = 24;

// The whole ring, full: 32,767 records of 8 channels x 4095 intervals + 7 channels x 1,
// placed from 08 80 08 and wrapping round to the end pointer 08 80 00.
constexpr const char* kFullRingScenario = R"json({
  "description": "full log ring: 32,767 records from 08 80 08 round to 08 80 00",
  "channels": ["Flow", "Velocity", "Fwd Tot", "Rev Tot", "Level", "Temperature", "Pressure",
               "Battery"],
  "log": {
    "start": [8, 128, 8],
    "generator": [
      {"channels": [1, 2, 3, 4, 5, 6, 7, 8], "start": "2021-03-04T00:15",
       "interval_minutes": 15, "count": 4095,
       "values": {"1": "2.5 + sin(t / 100)", "2": [1.0, 1.5, 2.0], "3": "125000 + 2250 * i",
                  "4": 0, "5": "i % 97", "6": 12.5, "7": [3.25, 3.5], "8": 6.75}},
      {"channels": [1, 2, 3, 4, 5, 6, 7], "start": "2021-04-15T16:00",
       "interval_minutes": 15, "count": 1,
       "values": {"1": 2.5, "2": 1.5, "3": 9338750, "4": 0, "5": 21, "6": 12.5, "7": 3.25}}
    ],
    "end": [8, 128, 0]
  }
})json";
constexpr int kFullRingRecords = 32767;
constexpr int kFullRingIntervals = 4096;  // the 4095 full ones and the 7-channel one

// 16 KiB from 08 80 00: 8 channels x 256 intervals = 2,048 records; the end pointer is 09 80 00.
constexpr const char* kSixteenKiBScenario = R"json({
  "description": "16 KiB log: 2,048 records from 08 80 00 to 09 80 00",
  "channels": ["Flow", "Velocity", "Fwd Tot", "Rev Tot", "Level", "Temperature", "Pressure",
               "Battery"],
  "log": {
    "start": [8, 128, 0],
    "generator": {"channels": [1, 2, 3, 4, 5, 6, 7, 8], "start": "2021-03-04T00:15",
                  "interval_minutes": 15, "count": 256,
                  "values": {"1": "2.5 + sin(t / 100)", "3": "125000 + 2250 * i"}}
  }
})json";

double wallNow() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

double seconds(const timeval& t) {
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
}

// DOWNLOAD_BENCH_CLI names another norvale-cli to measure, e.g. a build with a change to try.
std::string cliPath() {
  const char* other = std::getenv("DOWNLOAD_BENCH_CLI");
  return other && *other ? other : NORVALE_CLI;
}

std::string joined(const std::vector<std::string>& words) {
  std::string text;
  for (const std::string& word : words) text += (text.empty() ? "" : " ") + word;
  return text;
}

// A scratch folder for the CSV files and the program's messages, removed again.
class ScratchFolder {
 public:
  ScratchFolder() {
    std::string pattern = std::filesystem::temp_directory_path().string() + "/dlbench-XXXXXX";
    if (mkdtemp(pattern.data())) path_ = pattern;
  }
  ~ScratchFolder() {
    std::error_code ec;
    if (!path_.empty()) std::filesystem::remove_all(path_, ec);
  }
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

struct CliRun {
  bool started = false;
  int exitStatus = -1;  // -1 when it did not exit normally
  int signal = 0;
  double wallSeconds = 0;
  double cpuSeconds = 0;  // user + system of that one child
  double userSeconds = 0;
  double systemSeconds = 0;
  long sleeps = 0;       // voluntary context switches: about one per wait in the event loop
  std::string messages;  // its standard error (and output)
};

// Runs norvale-cli with `arguments`, its messages into `messagesPath`, and waits for it; the
// wall clock runs from just before the spawn to just after the reap.
CliRun runCli(const std::vector<std::string>& arguments, const std::string& messagesPath) {
  CliRun run;
  std::vector<std::string> words = {cliPath()};
  words.insert(words.end(), arguments.begin(), arguments.end());
  std::vector<char*> argv;
  for (std::string& word : words) argv.push_back(word.data());
  argv.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, messagesPath.c_str(),
                                   O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, STDERR_FILENO);
  pid_t pid = -1;
  double begin = wallNow();
  int spawned = posix_spawn(&pid, words[0].c_str(), &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (spawned != 0) return run;
  run.started = true;

  int status = 0;
  rusage usage{};
  pid_t reaped = -1;
  do {
    reaped = wait4(pid, &status, 0, &usage);
  } while (reaped < 0 && errno == EINTR);
  run.wallSeconds = wallNow() - begin;
  if (reaped != pid) return run;
  run.userSeconds = seconds(usage.ru_utime);
  run.systemSeconds = seconds(usage.ru_stime);
  run.cpuSeconds = run.userSeconds + run.systemSeconds;
  run.sleeps = usage.ru_nvcsw;
  if (WIFEXITED(status)) run.exitStatus = WEXITSTATUS(status);
  if (WIFSIGNALED(status)) run.signal = WTERMSIG(status);

  std::ifstream file(messagesPath);
  std::string line;
  while (std::getline(file, line)) run.messages += line + "\n";
  return run;
}

std::string exitText(const CliRun& run) {
  if (run.signal) return "killed by signal " + std::to_string(run.signal);
  return "exit status " + std::to_string(run.exitStatus);
}

// The program's messages, indented, for the reader to see how the run ended.
void printMessages(const std::string& messages, const char* only = nullptr) {
  size_t begin = 0;
  while (begin < messages.size()) {
    size_t end = messages.find('\n', begin);
    if (end == std::string::npos) end = messages.size();
    std::string line = messages.substr(begin, end - begin);
    if (!only || line.find(only) != std::string::npos) std::printf("      | %s\n", line.c_str());
    begin = end + 1;
  }
}

std::string lastLine(const std::string& messages) {
  std::string text = messages;
  while (!text.empty() && text.back() == '\n') text.pop_back();
  size_t at = text.rfind('\n');
  return at == std::string::npos ? text : text.substr(at + 1);
}

struct CsvCount {
  bool opened = false;
  int lines = 0;
  int distinctStamps = 0;  // different date/time texts among the data lines
};

CsvCount countCsv(const std::string& path) {
  CsvCount count;
  std::ifstream file(path, std::ios::binary);
  if (!file) return count;
  count.opened = true;
  std::set<std::string> stamps;
  std::string line;
  while (std::getline(file, line)) {
    if (count.lines++ == 0) continue;  // the title line
    stamps.insert(line.substr(0, line.find(',')));
  }
  count.distinctStamps = static_cast<int>(stamps.size());
  return count;
}

// Wire bytes of one exchange the simulator logged: request and, when it answered, the reply.
struct ExchangeBytes {
  int request = 0;
  int reply = 0;
};

ExchangeBytes wireBytesOf(const SimulatorRequest& r) {
  ExchangeBytes bytes;
  switch (r.function) {
    case 3:
      bytes = {kStatusRequestBytes, kReadReplyOverhead + 2 * r.count};
      break;
    case 96:
      bytes = {kBlockRequestBytes, kBlockReplyOverhead + 2 * r.count};
      break;
    case 97:
      bytes = {kPointerRequestBytes, kPointerReplyBytes};
      break;
    case 16:
      bytes = {9 + 2 * r.count, kWriteAcknowledgeBytes};
      break;
    default:
      break;
  }
  // A corrupted reply still crosses the line; an exception reply is slave, function, code, CRC.
  if (r.action == "exception") bytes.reply = 5;
  if (r.action != "answered" && r.action != "corrupted" && r.action != "exception") bytes.reply = 0;
  return bytes;
}

// Groups the logged requests by kind (status read, set-up read, log block of n words) and adds
// up their wire bytes.
struct ExchangeTally {
  struct Kind {
    int exchanges = 0;
    int answered = 0;
    int requestBytes = 0;  // of one exchange
    int replyBytes = 0;
    long totalBytes = 0;
  };
  std::map<std::string, Kind> kinds;
  long totalBytes = 0;
  int exchanges = 0;
  int notAnswered = 0;
  int noise = 0;  // log lines that were no request of ours (discarded bytes, other slaves)
};

ExchangeTally tallyExchanges(const std::vector<SimulatorRequest>& log) {
  ExchangeTally tally;
  for (const SimulatorRequest& r : log) {
    if (r.seq < 0) {
      ++tally.noise;
      continue;
    }
    std::string kind = "function " + std::to_string(r.function);
    if (r.function == 3) kind += " status read of " + std::to_string(r.count) + " registers";
    if (r.function == 96) {
      kind += r.bank == kSetupBank ? " set-up read of " : " log block of ";
      kind += std::to_string(r.count) + " words";
    }
    ExchangeBytes bytes = wireBytesOf(r);
    ExchangeTally::Kind& k = tally.kinds[kind];
    ++k.exchanges;
    if (r.action == "answered") {
      ++k.answered;
      k.replyBytes = bytes.reply;
    } else {
      ++tally.notAnswered;
    }
    k.requestBytes = bytes.request;
    k.totalBytes += bytes.request + bytes.reply;
    tally.totalBytes += bytes.request + bytes.reply;
    ++tally.exchanges;
  }
  return tally;
}

void printTally(const ExchangeTally& tally, int baud) {
  for (const auto& [name, k] : tally.kinds) {
    std::printf("      %-42s x%5d (%d answered): %d + %d bytes each, %ld bytes\n", name.c_str(),
                k.exchanges, k.answered, k.requestBytes, k.replyBytes, k.totalBytes);
  }
  std::printf("      total %d exchanges, %ld bytes", tally.exchanges, tally.totalBytes);
  if (baud > 0) {
    std::printf(" x %d bits / %d baud = %.3f s", kBitsPerByte, baud,
                static_cast<double>(tally.totalBytes) * kBitsPerByte / baud);
  }
  std::printf("\n");
  if (tally.notAnswered || tally.noise) {
    std::printf("      (%d requests not answered, %d log lines of noise)\n", tally.notAnswered,
                tally.noise);
  }
}

std::vector<std::string> simulatorWords(const std::string& scenario,
                                        const std::vector<std::string>& args) {
  std::vector<std::string> words = {"python3", "tools/meter_sim.py", "--scenario", scenario};
  words.insert(words.end(), args.begin(), args.end());
  return words;
}

void figureWholeLog(const ScratchFolder& scratch) {
  std::printf("(1) whole log, full ring (%d records, start 08 80 08, end 08 80 00), unpaced\n",
              kFullRingRecords);
  ScenarioFile scenario(kFullRingScenario);
  double simBegin = wallNow();
  SimulatorProcess sim(scenario.path(), {});
  if (!sim.started()) {
    std::printf("    the simulator refused the scenario: %s\n", sim.error().c_str());
    return;
  }
  std::printf("    simulator: %s, scenario accepted, ready after %.2f s\n",
              joined(simulatorWords("<full ring scenario>", {})).c_str(), wallNow() - simBegin);

  std::string csv = scratch.path() + "/whole.csv";
  std::vector<std::string> args = {"download", "--device", sim.devicePath(), "--output", csv};
  std::printf("    command: %s %s\n", cliPath().c_str(), joined(args).c_str());
  CliRun run = runCli(args, scratch.path() + "/whole.messages");
  if (!run.started) {
    std::printf("    norvale-cli did not start\n");
    return;
  }
  CsvCount count = countCsv(csv);
  std::printf("    wall time %.3f s (target under 3 s): %s\n", run.wallSeconds,
              run.wallSeconds < 3 ? "met" : "MISSED");
  std::printf("    CPU %.3f s (user %.3f, system %.3f)\n", run.cpuSeconds, run.userSeconds,
              run.systemSeconds);
  std::printf("    %s, last status \"%s\"\n", exitText(run).c_str(),
              lastLine(run.messages).c_str());
  printMessages(run.messages, "Records");
  printMessages(run.messages, "written to");
  if (count.opened) {
    std::printf(
        "    CSV: %d lines (1 title + %d data lines; %d distinct date/times; the scenario has "
        "%d intervals, so %d lines were expected)\n",
        count.lines, count.lines - 1, count.distinctStamps, kFullRingIntervals,
        kFullRingIntervals + 1);
  } else {
    std::printf("    CSV: not written\n");
  }
  std::printf("    exchanges the simulator logged:\n");
  printTally(tallyExchanges(sim.requestLog()), 0);
}

void figurePaced(const ScratchFolder& scratch) {
  std::printf("(2) 16,384 bytes (2,048 records), simulator and norvale-cli at %d baud\n",
              kPacedBaud);
  ScenarioFile scenario(kSixteenKiBScenario);
  std::vector<std::string> simArgs = {"--baud", std::to_string(kPacedBaud)};
  SimulatorProcess sim(scenario.path(), simArgs);
  if (!sim.started()) {
    std::printf("    the simulator refused the scenario: %s\n", sim.error().c_str());
    return;
  }
  std::printf("    simulator: %s\n", joined(simulatorWords("<16 KiB scenario>", simArgs)).c_str());

  std::string csv = scratch.path() + "/paced.csv";
  std::vector<std::string> args = {
      "download", "--device", sim.devicePath(), "--baud", std::to_string(kPacedBaud),
      "--output", csv};
  std::printf("    command: %s %s\n", cliPath().c_str(), joined(args).c_str());
  CliRun run = runCli(args, scratch.path() + "/paced.messages");
  if (!run.started) {
    std::printf("    norvale-cli did not start\n");
    return;
  }
  ExchangeTally tally = tallyExchanges(sim.requestLog());
  double wire = static_cast<double>(tally.totalBytes) * kBitsPerByte / kPacedBaud;
  CsvCount count = countCsv(csv);
  std::printf("    %s, last status \"%s\", CSV %d lines\n", exitText(run).c_str(),
              lastLine(run.messages).c_str(), count.lines);
  std::printf(
      "    wire time: the simulator's request log, each exchange's request + reply bytes (a reply "
      "only when one was sent),\n"
      "    x %d bits per byte / %d baud:\n",
      kBitsPerByte, kPacedBaud);
  printTally(tally, kPacedBaud);
  double ratio = wire > 0 ? run.wallSeconds / wire : 0;
  std::printf(
      "    elapsed %.3f s (whole norvale-cli run) for %.3f s of wire time: ratio %.4f "
      "(target <= 1.05): %s\n",
      run.wallSeconds, wire, ratio, ratio > 0 && ratio <= 1.05 ? "met" : "MISSED");
  std::printf(
      "    overhead %.3f s in all, %.1f ms per exchange; CPU %.3f s\n", run.wallSeconds - wire,
      tally.exchanges ? 1000 * (run.wallSeconds - wire) / tally.exchanges : 0.0, run.cpuSeconds);
}

void figureSilent(const ScratchFolder& scratch) {
  std::printf("(3) silent meter (function 3 never answered): CPU time of the waiting program\n");
  std::vector<std::string> simArgs = {"--silent", "3"};
  SimulatorProcess sim("", simArgs);
  if (!sim.started()) {
    std::printf("    simulator: %s\n", sim.error().c_str());
    return;
  }
  std::printf("    simulator: python3 tools/meter_sim.py %s\n", joined(simArgs).c_str());
  std::string csv = scratch.path() + "/silent.csv";
  std::vector<std::string> args = {"download", "--device", sim.devicePath(), "--output", csv};
  std::printf("    command: %s %s\n", cliPath().c_str(), joined(args).c_str());
  CliRun run = runCli(args, scratch.path() + "/silent.messages");
  if (!run.started) {
    std::printf("    norvale-cli did not start\n");
    return;
  }
  ExchangeTally tally = tallyExchanges(sim.requestLog());
  double ratio = run.wallSeconds > 0 ? run.cpuSeconds / run.wallSeconds : 0;
  std::printf("    %s, last status \"%s\", %d requests sent, %d not answered\n",
              exitText(run).c_str(), lastLine(run.messages).c_str(), tally.exchanges,
              tally.notAnswered);
  std::printf(
      "    wall %.3f s, CPU %.3f s (user %.3f, system %.3f, from wait4): CPU/wall %.4f "
      "(target under 0.02): %s\n",
      run.wallSeconds, run.cpuSeconds, run.userSeconds, run.systemSeconds, ratio,
      ratio < 0.02 ? "met" : "MISSED");
  std::printf("    %ld voluntary context switches (%.0f a second, %.0f us of CPU each)\n",
              run.sleeps, run.wallSeconds > 0 ? run.sleeps / run.wallSeconds : 0.0,
              run.sleeps > 0 ? 1e6 * run.cpuSeconds / static_cast<double>(run.sleeps) : 0.0);
}

}  // namespace
}  // namespace norvale

int main(int argc, char** argv) {
  std::string parts = "123";
  if (argc > 1) {
    parts.clear();
    for (int i = 1; i < argc; ++i) parts += argv[i];
  }
  norvale::ScratchFolder scratch;
  if (scratch.path().empty()) {
    std::printf("cannot make a scratch folder\n");
    return 1;
  }
  double load[3] = {0, 0, 0};
  if (getloadavg(load, 3) > 0) {
    std::printf("load average before: %.2f %.2f %.2f\n", load[0], load[1], load[2]);
  }
  if (parts.find('1') != std::string::npos) norvale::figureWholeLog(scratch);
  if (parts.find('2') != std::string::npos) norvale::figurePaced(scratch);
  if (parts.find('3') != std::string::npos) norvale::figureSilent(scratch);
  if (getloadavg(load, 3) > 0) {
    std::printf("load average after: %.2f %.2f %.2f\n", load[0], load[1], load[2]);
  }
  return 0;
}
