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

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <set>
#include <string>
#include <vector>

#include "common/exchange_tally.h"
#include "common/full_ring_scenario.h"
#include "common/scratch_folder.h"
#include "common/timed_run.h"
// The benchmark links the program's libraries only, so the simulator helper comes in as source.
#include "support/simulator_process.cpp"

namespace norvale {
namespace {

using testing::ScenarioFile;
using testing::SimulatorProcess;

using bench::ExchangeTally;
using bench::kFullRingIntervals;
using bench::kFullRingRecords;
using bench::kFullRingScenario;
using bench::ScratchFolder;
using bench::TimedRun;

constexpr int kPacedBaud = 9600;

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

// DOWNLOAD_BENCH_CLI names another norvale-cli to measure, e.g. a build with a change to try.
std::string cliPath() {
  const char* other = std::getenv("DOWNLOAD_BENCH_CLI");
  return other && *other ? other : NORVALE_CLI;
}

// Runs norvale-cli with `arguments`, its messages into `messagesPath`, and waits for it.
TimedRun runCli(const std::vector<std::string>& arguments, const std::string& messagesPath) {
  std::vector<std::string> command = {cliPath()};
  command.insert(command.end(), arguments.begin(), arguments.end());
  return bench::RunTimed(command, messagesPath);
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
  double simBegin = bench::WallNow();
  SimulatorProcess sim(scenario.path(), {});
  if (!sim.started()) {
    std::printf("    the simulator refused the scenario: %s\n", sim.error().c_str());
    return;
  }
  std::printf("    simulator: %s, scenario accepted, ready after %.2f s\n",
              bench::Joined(simulatorWords("<full ring scenario>", {})).c_str(),
              bench::WallNow() - simBegin);

  std::string csv = scratch.path() + "/whole.csv";
  std::vector<std::string> args = {"download", "--device", sim.devicePath(), "--output", csv};
  std::printf("    command: %s %s\n", cliPath().c_str(), bench::Joined(args).c_str());
  TimedRun run = runCli(args, scratch.path() + "/whole.messages");
  if (!run.started) {
    std::printf("    norvale-cli did not start\n");
    return;
  }
  CsvCount count = countCsv(csv);
  std::printf("    wall time %.3f s (target under 3 s): %s\n", run.wallSeconds,
              run.wallSeconds < 3 ? "met" : "MISSED");
  std::printf("    CPU %.3f s (user %.3f, system %.3f)\n", run.cpuSeconds, run.userSeconds,
              run.systemSeconds);
  std::printf("    %s, last status \"%s\"\n", bench::ExitText(run).c_str(),
              bench::LastLine(run.messages).c_str());
  bench::PrintMessages(run.messages, "Records");
  bench::PrintMessages(run.messages, "written to");
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
  bench::PrintTally(bench::TallyExchanges(sim.requestLog()), 0);
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
  std::printf("    simulator: %s\n",
              bench::Joined(simulatorWords("<16 KiB scenario>", simArgs)).c_str());

  std::string csv = scratch.path() + "/paced.csv";
  std::vector<std::string> args = {
      "download", "--device", sim.devicePath(), "--baud", std::to_string(kPacedBaud),
      "--output", csv};
  std::printf("    command: %s %s\n", cliPath().c_str(), bench::Joined(args).c_str());
  TimedRun run = runCli(args, scratch.path() + "/paced.messages");
  if (!run.started) {
    std::printf("    norvale-cli did not start\n");
    return;
  }
  ExchangeTally tally = bench::TallyExchanges(sim.requestLog());
  double wire = tally.wireSeconds(kPacedBaud);
  CsvCount count = countCsv(csv);
  std::printf("    %s, last status \"%s\", CSV %d lines\n", bench::ExitText(run).c_str(),
              bench::LastLine(run.messages).c_str(), count.lines);
  std::printf(
      "    wire time: the simulator's request log, each exchange's request + reply bytes (a reply "
      "only when one was sent),\n"
      "    x %d bits per byte / %d baud:\n",
      bench::kBitsPerByte, kPacedBaud);
  bench::PrintTally(tally, kPacedBaud);
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
  std::printf("    simulator: python3 tools/meter_sim.py %s\n", bench::Joined(simArgs).c_str());
  std::string csv = scratch.path() + "/silent.csv";
  std::vector<std::string> args = {"download", "--device", sim.devicePath(), "--output", csv};
  std::printf("    command: %s %s\n", cliPath().c_str(), bench::Joined(args).c_str());
  TimedRun run = runCli(args, scratch.path() + "/silent.messages");
  if (!run.started) {
    std::printf("    norvale-cli did not start\n");
    return;
  }
  ExchangeTally tally = bench::TallyExchanges(sim.requestLog());
  double ratio = run.wallSeconds > 0 ? run.cpuSeconds / run.wallSeconds : 0;
  std::printf("    %s, last status \"%s\", %d requests sent, %d not answered\n",
              bench::ExitText(run).c_str(), bench::LastLine(run.messages).c_str(), tally.exchanges,
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
  norvale::bench::ScratchFolder scratch("dlbench");
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
