// The program's link beside a libmodbus RTU client, in one run, against the meter simulator on a
// pty (a fresh simulator with the same options for every run of either side):
//   (1) a meter that never answers function 3: CPU seconds / wall seconds of the client until it
//       gives up on one read (ours resends every second and gives up after 30 s; libmodbus sends
//       once with a 30-s response timeout). Target: ours <= 0.001;
//   (2) 10,000 function-3 reads of 10 registers (25-byte replies) a run, unpaced: CPU and wall
//       microseconds per transaction, best of 3 runs a side. Target: ours CPU <= libmodbus CPU;
//   (3) the demo meter's whole log, simulator paced at 9600 baud: wall, wire time (line bytes
//       both ways x 10 bits / 9600, from the simulator's request log), wall/wire and CPU.
//       Target: ours wall/wire <= 1.002 and ours CPU <= libmodbus CPU.
// (3) is not like for like. Our download reads the log with the meter's own function 96, whose
// reply libmodbus cannot frame (its receive path knows only the standard functions' lengths).
// The libmodbus side makes function-3 reads of up to 125 registers instead: as many reads as our
// download made exchanges, with the same reply bytes in all where the sizes allow. Its requests
// are 8 bytes against 9 for function 96, and our CPU also covers decoding the records.
// Process CPU is getrusage(RUSAGE_SELF): the simulator is another process and is not counted.
// Usage: modbus_compare_bench [1|2|3 ...]   (default: all three). It prints; it asserts nothing.

#include <modbus.h>
#include <sys/resource.h>

#include <QCoreApplication>
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "common/simulated_link.h"
#include "download/download_view.h"
#include "download/meter_log_download.h"
#include "link/qt_event_pump.h"
#include "output/record_table.h"
#include "records/download_result.h"
// The benchmark links the program's libraries only, so the simulator helper comes in as source.
#include "support/handheld_database.cpp"
#include "support/simulator_process.cpp"

namespace norvale {
namespace {

using testing::SimulatorProcess;
using testing::SimulatorRequest;

constexpr int kSlave = 1;
constexpr int kUnpacedBaud = 38400;  // what both clients set; the unpaced simulator ignores it
constexpr int kPacedBaud = 9600;
constexpr int kBitsPerByte = 10;  // start bit, 8 data bits, stop bit
constexpr int kStatusRegister = 76;
constexpr int kReadRegisters = 10;
// 2000 took under half a second a run, too short for steady CPU figures on a busy machine.
constexpr int kTransactions = 10000;
constexpr int kRuns = 3;
// Registers the simulator reads as 0, clear of 24..63 (a read there redraws its display).
constexpr int kBulkFirstRegister = 1000;
constexpr int kResponseTimeoutSeconds = 5;
constexpr int kSilentSeconds = 30;

// Frame sizes on the wire, CRC included.
constexpr int kReadRequestBytes = 8;    // slave 03 start(2) count(2) CRC
constexpr int kReadReplyOverhead = 5;   // slave 03 n ... CRC
constexpr int kBlockRequestBytes = 9;   // slave 60 bank hi lo count(2) CRC
constexpr int kBlockReplyOverhead = 9;  // slave 60 bank hi lo len(2) ... CRC

double wallNow() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

struct Span {
  double wall = 0;
  double cpu = 0;   // user + system of this process
  long sleeps = 0;  // voluntary context switches
};

// Wall time and this process's CPU from construction on.
class Stopwatch {
 public:
  Stopwatch() : begin_(now()) {}
  Span elapsed() const {
    Span end = now();
    return {end.wall - begin_.wall, end.cpu - begin_.cpu, end.sleeps - begin_.sleeps};
  }

 private:
  static Span now() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    double cpu = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                 static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    return {wallNow(), cpu, usage.ru_nvcsw};
  }
  Span begin_;
};

// A libmodbus RTU client on a simulator's pty, 8N1, talking to slave 1.
class LibmodbusClient {
 public:
  LibmodbusClient(const std::string& device, int baud) {
    ctx_ = modbus_new_rtu(device.c_str(), baud, 'N', 8, 1);
    if (!ctx_) {
      error_ = std::string("modbus_new_rtu: ") + modbus_strerror(errno);
      return;
    }
    modbus_set_slave(ctx_, kSlave);
    if (modbus_connect(ctx_) != 0) {
      error_ = std::string("modbus_connect: ") + modbus_strerror(errno);
      modbus_free(ctx_);
      ctx_ = nullptr;
    }
  }
  ~LibmodbusClient() {
    if (!ctx_) return;
    modbus_close(ctx_);
    modbus_free(ctx_);
  }
  LibmodbusClient(const LibmodbusClient&) = delete;
  LibmodbusClient& operator=(const LibmodbusClient&) = delete;

  modbus_t* ctx() const { return ctx_; }
  const std::string& error() const { return error_; }

 private:
  modbus_t* ctx_ = nullptr;
  std::string error_;
};

// Both sides of a libmodbus run up, or what stopped them said.
bool readyToRun(const SimulatorProcess& sim, const LibmodbusClient& client) {
  if (!sim.started()) {
    std::printf("    libmodbus: simulator: %s\n", sim.error().c_str());
    return false;
  }
  if (!client.ctx()) {
    std::printf("    libmodbus: %s\n", client.error().c_str());
    return false;
  }
  return true;
}

class NullDownloadView : public DownloadView {
 public:
  void setStatusText(const std::string&) override {}
  void setProgress(int) override {}
  void setChannelBox(int, const std::string&) override {}
  void setWrittenFile(const std::string&) override {}
};

// Line bytes of the exchanges a simulator logged, by function.
struct WireTally {
  struct Function {
    int exchanges = 0;
    int answered = 0;
    long requestBytes = 0;
    long replyBytes = 0;
  };
  std::map<int, Function> functions;
  long requestBytes = 0;
  long replyBytes = 0;
  int exchanges = 0;
  int unknown = 0;  // log lines that are neither function 3 nor 96, or noise

  double wireSeconds(int baud) const {
    return static_cast<double>(requestBytes + replyBytes) * kBitsPerByte / baud;
  }
};

WireTally tallyWire(const std::vector<SimulatorRequest>& log) {
  WireTally tally;
  for (const SimulatorRequest& r : log) {
    int request = 0;
    int reply = 0;
    if (r.seq >= 0 && r.function == 3) {
      request = kReadRequestBytes;
      reply = kReadReplyOverhead + 2 * r.count;
    } else if (r.seq >= 0 && r.function == 96) {
      request = kBlockRequestBytes;
      reply = kBlockReplyOverhead + 2 * r.count;
    } else {
      ++tally.unknown;
      continue;
    }
    bool answered = r.action == "answered";
    if (!answered) reply = 0;
    WireTally::Function& f = tally.functions[r.function];
    ++f.exchanges;
    f.answered += answered ? 1 : 0;
    f.requestBytes += request;
    f.replyBytes += reply;
    tally.requestBytes += request;
    tally.replyBytes += reply;
    ++tally.exchanges;
  }
  return tally;
}

void printTally(const WireTally& tally, int baud) {
  for (const auto& [function, f] : tally.functions) {
    std::printf("      function %2d x%3d (%d answered): %ld request + %ld reply bytes\n", function,
                f.exchanges, f.answered, f.requestBytes, f.replyBytes);
  }
  std::printf("      total %d exchanges, %ld + %ld = %ld bytes x %d bits / %d baud = %.3f s\n",
              tally.exchanges, tally.requestBytes, tally.replyBytes,
              tally.requestBytes + tally.replyBytes, kBitsPerByte, baud, tally.wireSeconds(baud));
  if (tally.unknown) std::printf("      (%d other log lines not counted)\n", tally.unknown);
}

// One figure of the final table.
struct Row {
  std::string figure;
  double ours = 0;
  double libmodbus = 0;
  const char* format = "%.3f";
};

struct Results {
  std::vector<Row> rows;
  std::vector<std::string> targets;

  void add(std::string figure, double ours, double libmodbus, const char* format) {
    rows.push_back({std::move(figure), ours, libmodbus, format});
  }
  void target(const std::string& text, bool met) {
    targets.push_back(text + ": " + (met ? "met" : "missed"));
  }
};

std::string formatted(const char* format, double value) {
  char text[64];
  std::snprintf(text, sizeof text, format, value);
  return text;
}

// ---- (1) silent meter ----

std::optional<Span> oursSilent() {
  bench::SimulatedLink session({"--silent", "3"}, kUnpacedBaud);
  if (!session.ready("    ours:")) return std::nullopt;
  Stopwatch watch;
  bool answered = session.link->ReadHoldingRegisters(kSlave, 0, kStatusRegister, kReadRegisters);
  Span span = watch.elapsed();
  WireTally tally = tallyWire(session.sim.requestLog());
  std::printf(
      "    ours:      MeterLink::ReadHoldingRegisters: %s after %.3f s wall, %.6f s CPU, "
      "requests sent: %d, voluntary context switches: %ld\n",
      answered ? "UNEXPECTED ANSWER" : "gave up", span.wall, span.cpu, tally.exchanges,
      span.sleeps);
  return span;
}

std::optional<Span> libmodbusSilent() {
  SimulatorProcess sim(testing::ToolScenario("demo.json"), {"--silent", "3"});
  LibmodbusClient client(sim.started() ? sim.devicePath() : std::string(), kUnpacedBaud);
  if (!readyToRun(sim, client)) return std::nullopt;
  modbus_set_response_timeout(client.ctx(), kSilentSeconds, 0);
  uint16_t registers[kReadRegisters];
  Stopwatch watch;
  int read = modbus_read_registers(client.ctx(), kStatusRegister, kReadRegisters, registers);
  int error = errno;
  Span span = watch.elapsed();
  WireTally tally = tallyWire(sim.requestLog());
  std::printf(
      "    libmodbus: modbus_read_registers: %s after %.3f s wall, %.6f s CPU, "
      "requests sent: %d, voluntary context switches: %ld\n",
      read < 0 ? ("failed (" + std::string(modbus_strerror(error)) + ")").c_str()
               : "UNEXPECTED ANSWER",
      span.wall, span.cpu, tally.exchanges, span.sleeps);
  return span;
}

void figureSilent(Results& results) {
  std::printf(
      "(1) silent meter (simulator --silent 3): one read of %d registers until the client gives "
      "up\n",
      kReadRegisters);
  std::optional<Span> ours = oursSilent();
  std::optional<Span> lib = libmodbusSilent();
  if (!ours || !lib) return;
  double oursRatio = ours->cpu / ours->wall;
  double libRatio = lib->cpu / lib->wall;
  std::printf("    CPU / wall: ours %.6f, libmodbus %.6f\n", oursRatio, libRatio);
  results.add("(1) silent meter: CPU s / wall s", oursRatio, libRatio, "%.6f");
  results.target("(1) ours CPU/wall <= 0.001 (" + formatted("%.6f", oursRatio) + ")",
                 oursRatio <= 0.001);
}

// ---- (2) unpaced transactions ----

struct TransactionRun {
  int done = 0;  // transactions answered before the first failure
  Span span;
};

std::optional<TransactionRun> oursTransactions() {
  bench::SimulatedLink session({}, kUnpacedBaud);
  if (!session.ready("    ours:")) return std::nullopt;
  TransactionRun run;
  Stopwatch watch;
  while (run.done < kTransactions &&
         session.link->ReadHoldingRegisters(kSlave, 0, kStatusRegister, kReadRegisters)) {
    ++run.done;
  }
  run.span = watch.elapsed();
  return run;
}

std::optional<TransactionRun> libmodbusTransactions() {
  SimulatorProcess sim(testing::ToolScenario("demo.json"), {});
  LibmodbusClient client(sim.started() ? sim.devicePath() : std::string(), kUnpacedBaud);
  if (!readyToRun(sim, client)) return std::nullopt;
  modbus_set_response_timeout(client.ctx(), kResponseTimeoutSeconds, 0);
  uint16_t registers[kReadRegisters];
  TransactionRun run;
  Stopwatch watch;
  while (run.done < kTransactions &&
         modbus_read_registers(client.ctx(), kStatusRegister, kReadRegisters, registers) ==
             kReadRegisters) {
    ++run.done;
  }
  run.span = watch.elapsed();
  return run;
}

struct Best {
  double cpuMicros = 0;
  double wallMicros = 0;
  bool any = false;

  void take(const TransactionRun& run) {
    if (run.done != kTransactions) return;
    double cpu = 1e6 * run.span.cpu / kTransactions;
    double wall = 1e6 * run.span.wall / kTransactions;
    cpuMicros = any ? std::min(cpuMicros, cpu) : cpu;
    wallMicros = any ? std::min(wallMicros, wall) : wall;
    any = true;
  }
};

void printTransactionRun(const char* side, int number, const TransactionRun& run) {
  std::printf(
      "    %-9s run %d: %d/%d answered, %.3f s wall, %.3f s CPU: %.1f us CPU, %.1f us wall per "
      "transaction\n",
      side, number, run.done, kTransactions, run.span.wall, run.span.cpu,
      run.done ? 1e6 * run.span.cpu / run.done : 0.0,
      run.done ? 1e6 * run.span.wall / run.done : 0.0);
}

void figureTransactions(Results& results) {
  std::printf(
      "(2) %d function-3 reads of %d registers (%d-byte request, %d-byte reply), simulator "
      "unpaced; %d runs a side, taking turns\n",
      kTransactions, kReadRegisters, kReadRequestBytes, kReadReplyOverhead + 2 * kReadRegisters,
      kRuns);
  Best ours;
  Best lib;
  for (int i = 1; i <= kRuns; ++i) {
    if (std::optional<TransactionRun> run = oursTransactions()) {
      printTransactionRun("ours", i, *run);
      ours.take(*run);
    }
    if (std::optional<TransactionRun> run = libmodbusTransactions()) {
      printTransactionRun("libmodbus", i, *run);
      lib.take(*run);
    }
  }
  if (!ours.any || !lib.any) {
    std::printf("    no complete run on one side: no figure\n");
    return;
  }
  std::printf(
      "    best of the complete runs (lowest CPU and lowest wall, each taken on its own):\n"
      "      ours      %.1f us CPU, %.1f us wall per transaction\n"
      "      libmodbus %.1f us CPU, %.1f us wall per transaction\n",
      ours.cpuMicros, ours.wallMicros, lib.cpuMicros, lib.wallMicros);
  results.add("(2) CPU us per transaction (best)", ours.cpuMicros, lib.cpuMicros, "%.1f");
  results.add("(2) wall us per transaction (best)", ours.wallMicros, lib.wallMicros, "%.1f");
  results.target("(2) ours CPU per transaction <= libmodbus", ours.cpuMicros <= lib.cpuMicros);
}

// ---- (3) whole log at 9600 baud ----

struct PacedRun {
  Span span;
  WireTally tally;
};

std::optional<PacedRun> oursWholeLog() {
  bench::SimulatedLink session({"--baud", std::to_string(kPacedBaud)}, kPacedBaud);
  if (!session.ready("    ours:")) return std::nullopt;
  RecordTable records;
  NullDownloadView view;
  Stopwatch watch;
  DownloadResult result = DownloadMeterLog(*session.link, session.settings, records, view, false);
  PacedRun run{watch.elapsed(), tallyWire(session.sim.requestLog())};
  std::printf(
      "    ours: DownloadMeterLog (all data) returned %d (%s), %d table rows after the titles\n",
      static_cast<int>(result), result == DownloadResult::kLogRead ? "log read" : "NOT READ",
      records.LastRow - 1);
  printTally(run.tally, kPacedBaud);
  if (result != DownloadResult::kLogRead) return std::nullopt;
  return run;
}

// Register counts of function-3 reads carrying `replyBytes` in `reads` replies or, where
// 5 + 2n bytes a reply cannot add up to that, in as few more as it takes.
std::vector<int> planReads(long replyBytes, int reads) {
  auto fits = [&](int k) {
    long registers = replyBytes - static_cast<long>(kReadReplyOverhead) * k;
    return registers >= 2L * k && registers % 2 == 0 &&
           registers / 2 <= static_cast<long>(MODBUS_MAX_READ_REGISTERS) * k;
  };
  int k = std::max(1, reads);
  while (!fits(k) && k < reads + 2) ++k;
  if (!fits(k)) k = std::max(1, reads);  // too few bytes to match: keep the count, nearest size
  long registers = std::max(static_cast<long>(k), (replyBytes - kReadReplyOverhead * k) / 2);
  std::vector<int> counts(static_cast<size_t>(k), static_cast<int>(registers / k));
  for (long i = 0; i < registers % k; ++i) ++counts[static_cast<size_t>(i)];
  for (int& n : counts) n = std::min(n, MODBUS_MAX_READ_REGISTERS);
  return counts;
}

std::optional<PacedRun> libmodbusReads(const std::vector<int>& counts) {
  SimulatorProcess sim(testing::ToolScenario("demo.json"), {"--baud", std::to_string(kPacedBaud)});
  LibmodbusClient client(sim.started() ? sim.devicePath() : std::string(), kPacedBaud);
  if (!readyToRun(sim, client)) return std::nullopt;
  modbus_set_response_timeout(client.ctx(), kResponseTimeoutSeconds, 0);
  uint16_t registers[MODBUS_MAX_READ_REGISTERS];
  int address = kBulkFirstRegister;
  int done = 0;
  Stopwatch watch;
  for (int n : counts) {
    if (modbus_read_registers(client.ctx(), address, n, registers) != n) break;
    address += n;
    ++done;
  }
  PacedRun run{watch.elapsed(), tallyWire(sim.requestLog())};
  std::printf("    libmodbus: %d of %zu modbus_read_registers answered, from register %d\n", done,
              counts.size(), kBulkFirstRegister);
  printTally(run.tally, kPacedBaud);
  if (done != static_cast<int>(counts.size())) return std::nullopt;
  return run;
}

void printPaced(const char* side, const PacedRun& run) {
  double wire = run.tally.wireSeconds(kPacedBaud);
  std::printf(
      "    %-9s wall %.3f s, wire %.3f s, wall/wire %.4f, CPU %.4f s (%ld voluntary context "
      "switches)\n",
      side, run.span.wall, wire, wire > 0 ? run.span.wall / wire : 0.0, run.span.cpu,
      run.span.sleeps);
}

void figureWholeLog(Results& results) {
  std::printf("(3) the demo meter's whole log, simulator paced at --baud %d, both clients at %d\n",
              kPacedBaud, kPacedBaud);
  std::printf(
      "    NOT LIKE FOR LIKE: ours reads the log with function 96, which libmodbus cannot frame;\n"
      "    libmodbus makes function-3 reads of up to %d registers, as many as our exchanges, with\n"
      "    the same reply bytes where the sizes allow (see the byte counts of both below). Our "
      "CPU\n"
      "    also covers decoding the records into the table.\n",
      MODBUS_MAX_READ_REGISTERS);
  std::optional<PacedRun> ours = oursWholeLog();
  if (!ours) {
    std::printf("    our download failed: no figure\n");
    return;
  }
  std::vector<int> counts = planReads(ours->tally.replyBytes, ours->tally.exchanges);
  std::map<int, int> sizes;
  for (int n : counts) ++sizes[n];
  std::printf("    libmodbus plan:");
  const char* separator = " ";
  for (const auto& [n, times] : sizes) {
    std::printf("%s%d reads of %d registers", separator, times, n);
    separator = ", ";
  }
  std::printf("\n");
  std::optional<PacedRun> lib = libmodbusReads(counts);
  if (!lib) {
    std::printf("    the libmodbus reads failed: no figure\n");
    return;
  }
  std::printf("    reply bytes: ours %ld, libmodbus %ld; request bytes: ours %ld, libmodbus %ld\n",
              ours->tally.replyBytes, lib->tally.replyBytes, ours->tally.requestBytes,
              lib->tally.requestBytes);
  printPaced("ours", *ours);
  printPaced("libmodbus", *lib);
  double oursWire = ours->tally.wireSeconds(kPacedBaud);
  double libWire = lib->tally.wireSeconds(kPacedBaud);
  double oursRatio = ours->span.wall / oursWire;
  double libRatio = lib->span.wall / libWire;
  results.add("(3) 9600 baud: wall s", ours->span.wall, lib->span.wall, "%.3f");
  results.add("(3) 9600 baud: wire s", oursWire, libWire, "%.3f");
  results.add("(3) 9600 baud: wall / wire", oursRatio, libRatio, "%.4f");
  results.add("(3) 9600 baud: CPU s", ours->span.cpu, lib->span.cpu, "%.4f");
  results.target("(3) ours wall/wire <= 1.002 (" + formatted("%.4f", oursRatio) + ")",
                 oursRatio <= 1.002);
  results.target("(3) ours CPU <= libmodbus CPU", ours->span.cpu <= lib->span.cpu);
}

void printResults(const Results& results) {
  std::printf("\n%-36s | %12s | %12s | %14s\n", "figure", "ours", "libmodbus", "ours/libmodbus");
  for (const Row& row : results.rows) {
    std::string ratio = row.libmodbus > 0 ? formatted("%.3f", row.ours / row.libmodbus) : "-";
    std::printf("%-36s | %12s | %12s | %14s\n", row.figure.c_str(),
                formatted(row.format, row.ours).c_str(),
                formatted(row.format, row.libmodbus).c_str(), ratio.c_str());
  }
  std::printf("targets:\n");
  for (const std::string& target : results.targets) std::printf("  %s\n", target.c_str());
}

void printLoad(const char* when) {
  double load[3] = {0, 0, 0};
  if (getloadavg(load, 3) > 0) {
    std::printf("load average %s: %.2f %.2f %.2f\n", when, load[0], load[1], load[2]);
  }
}

}  // namespace
}  // namespace norvale

int main(int argc, char** argv) {
  // As norvale-cli runs the link.
  norvale::PreferPlainEventDispatcher();
  QCoreApplication app(argc, argv);
  std::string parts = "123";
  if (argc > 1) {
    parts.clear();
    for (int i = 1; i < argc; ++i) parts += argv[i];
  }
  std::printf("libmodbus %u.%u.%u (built against %s)\n", libmodbus_version_major,
              libmodbus_version_minor, libmodbus_version_micro, LIBMODBUS_VERSION_STRING);
  norvale::printLoad("before");
  norvale::Results results;
  if (parts.find('1') != std::string::npos) norvale::figureSilent(results);
  if (parts.find('2') != std::string::npos) norvale::figureTransactions(results);
  if (parts.find('3') != std::string::npos) norvale::figureWholeLog(results);
  norvale::printLoad("after");
  norvale::printResults(results);
  return 0;
}
