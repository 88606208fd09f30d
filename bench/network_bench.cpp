// norvale-cli reaching the meter simulator over TCP, each figure beside the same download over the
// simulator's pty in the same run. Every download is a norvale-cli process of its own with a
// fresh simulator, timed from outside (wall clock from spawn to reap, CPU from wait4):
//   (1) the whole log (a full ring: 1024 blocks of 128 words), simulator and program at 9600
//       baud, through ser2net's raw TCP (--device tcp://127.0.0.1:PORT) and over the pty: wall
//       seconds of the run / wire time of the exchanges the simulator logged. Target: through
//       ser2net at most 1.003. About 5 minutes a download;
//   (2) the whole log unpaced: norvale-cli's CPU seconds (user + system) per transaction the
//       simulator logged, straight to the simulator's TCP listener (--listen tcp:0), through
//       ser2net's raw TCP and over the pty; lowest of 3 runs a way, taking turns. Target: each
//       TCP way at most 1.2 x the pty.
// Usage: network_bench [1|2 ...] [--blocks N]   (default: both figures, the whole log; N below
// 1024 downloads a log of N blocks from 08 80 00 instead, for a quick look). "sleeps" are the
// program's voluntary context switches. It prints; it asserts nothing. Run it from the build
// folder; it needs ser2net (Debian's) on the PATH.

#include <QCoreApplication>
#include <algorithm>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "common/exchange_tally.h"
#include "common/full_ring_scenario.h"
#include "common/measured_run.h"
#include "common/scratch_folder.h"
#include "common/timed_run.h"
// The benchmark links the program's libraries only, so the test helpers come in as source.
#include "support/ser2net_process.cpp"
#include "support/simulator_process.cpp"
#include "support/tcp_ports.cpp"

namespace norvale {
namespace {

using bench::ExchangeTally;
using bench::ScratchFolder;
using bench::TimedRun;
using testing::Ser2netProcess;
using testing::SimulatorProcess;

constexpr int kPacedBaud = 9600;
constexpr double kPacedTarget = 1.003;  // wall / wire through ser2net
constexpr double kCpuTarget = 1.2;      // CPU per transaction, TCP / pty
constexpr int kCpuRuns = 3;
constexpr int kBlockBytes = 256;       // a log block of 128 words
constexpr int kIntervalsPerBlock = 4;  // 8 channels x 8-byte records

// How norvale-cli reaches the simulated meter.
enum class Way { kPty, kSimulatorTcp, kSer2netTcp };

const char* wayName(Way way) {
  switch (way) {
    case Way::kPty:
      return "pty";
    case Way::kSimulatorTcp:
      return "simulator's TCP";
    case Way::kSer2netTcp:
      return "ser2net raw TCP";
  }
  return "";
}

// A word for the way in file names.
std::string fileWord(Way way) {
  return way == Way::kPty ? "pty" : way == Way::kSimulatorTcp ? "simtcp" : "ser2net";
}

// The whole log is the full ring; fewer blocks are 8 channels x 4 intervals a block from
// 08 80 00, which a download reads in exactly that many blocks.
std::string logScenario(int blocks) {
  if (blocks >= bench::kFullRingBlocks) return bench::kFullRingScenario;
  return std::string(R"json({
  "description": "a log of whole blocks from 08 80 00",
  "channels": ["Flow", "Velocity", "Fwd Tot", "Rev Tot", "Level", "Temperature", "Pressure",
               "Battery"],
  "log": {
    "start": [8, 128, 0],
    "generator": {"channels": [1, 2, 3, 4, 5, 6, 7, 8], "start": "2021-03-04T00:15",
                  "interval_minutes": 15, "count": )json") +
         std::to_string(kIntervalsPerBlock * blocks) + R"json(,
                  "values": {"1": "2.5 + sin(t / 100)", "3": "125000 + 2250 * i"}}
  }
})json";
}

std::string logText(int blocks) {
  if (blocks >= bench::kFullRingBlocks) {
    return "whole log (full ring, " + std::to_string(bench::kFullRingRecords) + " records, " +
           std::to_string(bench::kFullRingBlocks) + " blocks)";
  }
  return "log of " + std::to_string(blocks) + " blocks (" + std::to_string(blocks * kBlockBytes) +
         " bytes from 08 80 00)";
}

// The simulated meter reached one way: the simulator, ser2net in front of its pty when asked,
// and the address norvale-cli is given. Stopped when destroyed, ser2net first.
class Meter {
 public:
  Meter(Way way, const std::string& scenarioPath, const std::vector<std::string>& simulatorArgs)
      : simulatorArgs_(withListener(way, simulatorArgs)), sim_(scenarioPath, simulatorArgs_) {
    if (!sim_.started()) {
      error_ = "simulator: " + sim_.error();
      return;
    }
    if (way != Way::kSer2netTcp) {
      device_ = sim_.devicePath();
      return;
    }
    ser2net_.emplace(sim_.devicePath(), "tcp(nodelay)");
    if (!ser2net_->started()) {
      error_ = "ser2net: " + ser2net_->error();
      return;
    }
    device_ = "tcp://127.0.0.1:" + std::to_string(ser2net_->port());
  }

  // The address to give norvale-cli; empty when the meter did not come up (see error()).
  const std::string& device() const { return device_; }
  const std::string& error() const { return error_; }
  const SimulatorProcess& simulator() const { return sim_; }

  void describe() const {
    std::vector<std::string> words = {"python3", "tools/meter_sim.py", "--scenario", "<log>"};
    words.insert(words.end(), simulatorArgs_.begin(), simulatorArgs_.end());
    std::printf("      simulator: %s (%s)\n", bench::Joined(words).c_str(),
                sim_.devicePath().c_str());
    if (ser2net_) {
      std::printf(
          "      ser2net -n -u: accepter tcp(nodelay),127.0.0.1,%d, connector serialdev,%s,"
          "9600n81,local, chardelay: false\n",
          ser2net_->port(), sim_.devicePath().c_str());
    }
  }

 private:
  static std::vector<std::string> withListener(Way way, std::vector<std::string> args) {
    if (way == Way::kSimulatorTcp) args.insert(args.end(), {"--listen", "tcp:0"});
    return args;
  }

  std::vector<std::string> simulatorArgs_;
  SimulatorProcess sim_;
  std::optional<Ser2netProcess> ser2net_;
  std::string device_;
  std::string error_;
};

struct Download {
  TimedRun run;
  ExchangeTally tally;
  std::string csvPath;
  bool finished() const { return run.exitStatus == 0 && tally.notAnswered == 0; }
};

// One download of the log by norvale-cli, `cliArgs` added; the command and the meter are
// printed when `show` is set. Nothing when the meter or the program did not start.
std::optional<Download> download(Way way, const std::string& scenarioPath,
                                 const std::vector<std::string>& simulatorArgs,
                                 const std::vector<std::string>& cliArgs, const std::string& name,
                                 const ScratchFolder& scratch, bool show) {
  Meter meter(way, scenarioPath, simulatorArgs);
  if (meter.device().empty()) {
    std::printf("      %s: %s\n", wayName(way), meter.error().c_str());
    return std::nullopt;
  }
  Download result;
  result.csvPath = scratch.path() + "/" + name + ".csv";
  std::vector<std::string> command = {NORVALE_CLI, "download", "--device", meter.device()};
  command.insert(command.end(), cliArgs.begin(), cliArgs.end());
  command.insert(command.end(), {"--output", result.csvPath});
  if (show) {
    meter.describe();
    std::printf("      command: %s\n", bench::Joined(command).c_str());
  }
  result.run = bench::RunTimed(command, scratch.path() + "/" + name + ".messages");
  if (!result.run.started) {
    std::printf("      %s: norvale-cli did not start\n", wayName(way));
    return std::nullopt;
  }
  result.tally = bench::TallyExchanges(meter.simulator().requestLog());
  return result;
}

std::string formatted(const char* format, double value) {
  char text[64];
  std::snprintf(text, sizeof text, format, value);
  return text;
}

std::string sameCsv(const Download& one, const Download& other) {
  std::string text = bench::FileText(one.csvPath);
  return !text.empty() && text == bench::FileText(other.csvPath) ? "identical" : "DIFFERENT";
}

// ---- (1) paced download ----

std::optional<Download> pacedDownload(Way way, const std::string& scenarioPath,
                                      const ScratchFolder& scratch) {
  std::printf("    %s:\n", wayName(way));
  const std::string baud = std::to_string(kPacedBaud);
  std::optional<Download> result = download(way, scenarioPath, {"--baud", baud}, {"--baud", baud},
                                            "paced-" + fileWord(way), scratch, true);
  if (!result) return std::nullopt;
  const TimedRun& run = result->run;
  std::printf("      %s, last status \"%s\"\n", bench::ExitText(run).c_str(),
              bench::LastLine(run.messages).c_str());
  bench::PrintMessages(run.messages, "written to");
  bench::PrintTally(result->tally, kPacedBaud);
  const double wire = result->tally.wireSeconds(kPacedBaud);
  std::printf(
      "      wall %.3f s, wire %.3f s: wall/wire %.4f, overhead %.3f s (%.2f ms an exchange), "
      "CPU %.3f s, %ld sleeps\n",
      run.wallSeconds, wire, run.wallSeconds / wire, run.wallSeconds - wire,
      result->tally.exchanges ? 1000 * (run.wallSeconds - wire) / result->tally.exchanges : 0.0,
      run.cpuSeconds, run.sleeps);
  if (!result->finished()) {
    std::printf("      the download did not finish: no figure\n");
    return std::nullopt;
  }
  return result;
}

// Adds its figure's line to `summary`.
void figurePaced(const std::string& scenarioPath, int blocks, const ScratchFolder& scratch,
                 std::vector<std::string>& summary) {
  std::printf("(1) %s, simulator and norvale-cli at %d baud: wall time / wire time\n",
              logText(blocks).c_str(), kPacedBaud);
  std::printf(
      "    wire time: the exchanges the simulator logged, request + reply bytes x %d bits / %d "
      "baud\n",
      bench::kBitsPerByte, kPacedBaud);
  std::optional<Download> network = pacedDownload(Way::kSer2netTcp, scenarioPath, scratch);
  std::optional<Download> pty = pacedDownload(Way::kPty, scenarioPath, scratch);
  if (!network || !pty) return;
  const double networkRatio = network->run.wallSeconds / network->tally.wireSeconds(kPacedBaud);
  const double ptyRatio = pty->run.wallSeconds / pty->tally.wireSeconds(kPacedBaud);
  const std::string line = "(1) wall/wire at " + std::to_string(kPacedBaud) +
                           " baud: ser2net raw TCP " + formatted("%.4f", networkRatio) + ", pty " +
                           formatted("%.4f", ptyRatio) +
                           "; target ser2net <= " + formatted("%.3f", kPacedTarget) + ": " +
                           (networkRatio <= kPacedTarget ? "met" : "missed");
  std::printf("    %s\n    CSV files of the two: %s\n", line.c_str(),
              sameCsv(*network, *pty).c_str());
  summary.push_back(line);
}

// ---- (2) CPU per unpaced transaction ----

// The lowest CPU per transaction of a way's finished runs, in microseconds.
struct Lowest {
  double micros = 0;
  int runs = 0;

  void take(const Download& d) {
    if (!d.finished() || d.tally.exchanges == 0) return;
    const double each = 1e6 * d.run.cpuSeconds / d.tally.exchanges;
    micros = runs ? std::min(micros, each) : each;
    ++runs;
  }
};

// Adds a line for each TCP way to `summary`.
void figureCpu(const std::string& scenarioPath, int blocks, const ScratchFolder& scratch,
               std::vector<std::string>& summary) {
  std::printf(
      "(2) %s, simulator unpaced: norvale-cli's CPU (user + system, wait4) per transaction the "
      "simulator logged; %d runs a way, taking turns\n",
      logText(blocks).c_str(), kCpuRuns);
  const Way ways[] = {Way::kPty, Way::kSimulatorTcp, Way::kSer2netTcp};
  Lowest lowest[3];
  std::optional<Download> first[3];
  for (int i = 1; i <= kCpuRuns; ++i) {
    for (int w = 0; w < 3; ++w) {
      if (i == 1) std::printf("    %s:\n", wayName(ways[w]));
      const std::string name = "unpaced-" + fileWord(ways[w]) + "-" + std::to_string(i);
      std::optional<Download> d = download(ways[w], scenarioPath, {}, {}, name, scratch, i == 1);
      if (!d) continue;
      const TimedRun& run = d->run;
      std::printf(
          "    run %d %-16s %s, %d transactions, wall %.3f s, CPU %.4f s (user %.4f, system "
          "%.4f), %ld sleeps: %.1f us a transaction\n",
          i, wayName(ways[w]), bench::ExitText(run).c_str(), d->tally.exchanges, run.wallSeconds,
          run.cpuSeconds, run.userSeconds, run.systemSeconds, run.sleeps,
          d->tally.exchanges ? 1e6 * run.cpuSeconds / d->tally.exchanges : 0.0);
      if (!d->finished()) {
        std::printf("      did not finish: \"%s\"\n", bench::LastLine(run.messages).c_str());
      }
      lowest[w].take(*d);
      if (!first[w] && d->finished()) first[w] = std::move(d);
    }
  }
  if (first[0] && first[1] && first[2]) {
    std::printf("    CSV files against the pty's: simulator's TCP %s, ser2net %s\n",
                sameCsv(*first[1], *first[0]).c_str(), sameCsv(*first[2], *first[0]).c_str());
  }
  if (lowest[0].runs == 0) {
    std::printf("    no finished run over the pty: no figure\n");
    return;
  }
  for (int w = 1; w < 3; ++w) {
    if (lowest[w].runs == 0) {
      std::printf("    no finished run by %s: no figure\n", wayName(ways[w]));
      continue;
    }
    const double ratio = lowest[w].micros / lowest[0].micros;
    const std::string line =
        std::string("(2) CPU a transaction (lowest of ") + std::to_string(kCpuRuns) +
        "): " + wayName(ways[w]) + " " + formatted("%.1f", lowest[w].micros) + " us, pty " +
        formatted("%.1f", lowest[0].micros) + " us, ratio " + formatted("%.3f", ratio) +
        "; target <= " + formatted("%.1f", kCpuTarget) + ": " +
        (ratio <= kCpuTarget ? "met" : "missed");
    std::printf("    %s\n", line.c_str());
    summary.push_back(line);
  }
}

void printLoad(const char* when) {
  double load[3] = {0, 0, 0};
  if (getloadavg(load, 3) > 0) {
    std::printf("load average %s: %.2f %.2f %.2f\n", when, load[0], load[1], load[2]);
  }
}

struct Options {
  std::string figures;
  int blocks = bench::kFullRingBlocks;
};

std::optional<Options> parseOptions(int argc, char** argv) {
  Options options;
  for (int i = 1; i < argc; ++i) {
    const std::string word = argv[i];
    if (word == "--blocks" && i + 1 < argc) {
      const char* text = argv[++i];
      const char* end = text + std::strlen(text);
      const auto [at, error] = std::from_chars(text, end, options.blocks);
      if (error != std::errc() || at != end || options.blocks < 1 ||
          options.blocks > bench::kFullRingBlocks) {
        return std::nullopt;
      }
    } else if (word == "1" || word == "2") {
      options.figures += word;
    } else {
      return std::nullopt;
    }
  }
  if (options.figures.empty()) options.figures = "12";
  return options;
}

}  // namespace
}  // namespace norvale

int main(int argc, char** argv) {
  // ser2net runs as a QProcess.
  QCoreApplication app(argc, argv);
  std::optional<norvale::Options> options = norvale::parseOptions(argc, argv);
  if (!options) {
    std::fprintf(stderr, "usage: network_bench [1|2 ...] [--blocks N]   (N from 1 to %d)\n",
                 norvale::bench::kFullRingBlocks);
    return 2;
  }
  // A run takes a quarter of an hour: each line shows as it is printed, also into a file.
  std::setvbuf(stdout, nullptr, _IOLBF, 0);
  norvale::bench::ScratchFolder scratch("netbench");
  norvale::testing::ScenarioFile scenario(norvale::logScenario(options->blocks));
  if (scratch.path().empty() || scenario.path().empty()) {
    std::printf("cannot make a scratch folder or the scenario file\n");
    return 1;
  }
  norvale::printLoad("before");
  std::vector<std::string> summary;  // what the figures came to, again at the end
  if (options->figures.find('1') != std::string::npos) {
    norvale::figurePaced(scenario.path(), options->blocks, scratch, summary);
  }
  if (options->figures.find('2') != std::string::npos) {
    norvale::figureCpu(scenario.path(), options->blocks, scratch, summary);
  }
  norvale::printLoad("after");
  std::printf("\nfigures:\n");
  for (const std::string& line : summary) std::printf("  %s\n", line.c_str());
  return 0;
}
