// norvale-cli: the log download without a window, for scripts and unattended use.
#include <signal.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <array>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "cli/cli_line_trace.h"
#include "cli/cli_options.h"
#include "cli/plot_command.h"
#include "cli/terminal_download_view.h"
#include "dialer/modem_dialer.h"
#include "download/download_commands.h"
#include "download/download_result.h"
#include "handheld/handheld_commands.h"
#include "handheld/module_id_box.h"
#include "handheld/posix_handheld_file.h"
#include "link/meter_link.h"
#include "link/qt_event_pump.h"
#include "link/qt_serial_port.h"
#include "link/system_clock.h"
#include "live/live_cycle.h"
#include "output/dated_file_name.h"
#include "output/record_table.h"
#include "version/build_version.h"

namespace {

int ExitCodeOf(const norvale::DownloadOutcome& outcome) {
  using namespace norvale;
  if (outcome.result == kLogRead) return outcome.fileWritten ? kExitFileWritten : kExitFileError;
  if (outcome.result == kNothingToRead) return kExitNothingToRead;
  return kExitDownloadError;
}

// The ID box of the command line: the IDs found so far, and the module asked for.
class ListModuleIdBox : public norvale::ModuleIdBox {
 public:
  explicit ListModuleIdBox(std::string text) : text_(std::move(text)) {}
  std::vector<std::string> entries() const override { return entries_; }
  void addEntry(const std::string& entry) override { entries_.push_back(entry); }
  std::string text() const override { return text_; }

 private:
  std::vector<std::string> entries_;
  std::string text_;
};

// The modem's replies and the dialer's texts, each on a line of standard error.
class PrintedDialerStatus : public norvale::DialerView {
 public:
  // The replies grow a byte at a time: each line is printed once it is complete.
  void setDialerStatus(const std::string& text) override {
    if (text.find_first_of("\r\n") == std::string::npos) {
      if (!text.empty()) std::fprintf(stderr, "%s\n", text.c_str());
      return;
    }
    if (text.back() != '\n' && text.back() != '\r') return;
    std::string line = text.substr(0, text.find_last_not_of("\r\n") + 1);
    line = line.substr(line.find_last_of("\r\n") + 1);
    if (!line.empty()) std::fprintf(stderr, "Modem: %s\n", line.c_str());
  }
};

int ExitCodeOfScan(int16_t result) {
  using namespace norvale;
  switch (result) {
    case kLogRead:
      return kExitFileWritten;
    case kNothingToRead:
      return kExitNothingToRead;
    case kDatabaseMissing:
      return kExitDatabaseMissing;
    default:
      return kExitDownloadError;
  }
}

constexpr int kEscapeGuardMilliseconds = 1500;

volatile sig_atomic_t gInterrupted = 0;
extern "C" void NoteInterrupt(int) { gInterrupted = 1; }

// The first Ctrl-C ends `live` after the poll under way, so that its trace gets its summary;
// a second one ends it at once.
void EndLiveOnInterrupt() {
  struct sigaction action {};
  action.sa_handler = NoteInterrupt;
  action.sa_flags = SA_RESETHAND;
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
}

// Runs the event loop until `milliseconds` have passed since `since` started.
void WaitInEventLoop(norvale::EventPump& pump, const QElapsedTimer& since, int milliseconds) {
  for (qint64 left; (left = milliseconds - since.elapsed()) > 0 && !gInterrupted;) {
    pump.waitForEvents(static_cast<double>(left) / 1000);
  }
}

int Download(const norvale::CliOptions& options, norvale::SettingsRecord& settings,
             norvale::RecordTable& records, norvale::TerminalDownloadView& view,
             norvale::LinkTrace* trace) {
  using namespace norvale;
  QtSerialPort port([&](int) { return options.device; });
  SystemClock clock;
  QtEventPump pump;
  MeterLink link(settings, port, clock, pump, [](const PortErrorMessage& message) {
    std::fprintf(stderr, "%s: %s\n", message.text.c_str(), message.details.c_str());
  });
  link.setTrace(trace);
  DownloadCommands commands(link, settings, records, view, view);
  PrintedDialerStatus modem;
  if (!options.dial.empty()) {
    const bool noAbort = false;
    if (DialModem(link, options.modemInit, options.dial, modem, noAbort) != DialResult::Connected) {
      view.setStatusText("Could not connect");
      HangUpModem(link, modem);
      return kExitCouldNotConnect;
    }
  }
  DownloadOutcome outcome = options.sinceLast ? commands.SinceLastTime() : commands.DownloadData();
  if (!options.dial.empty()) {
    const std::string status = view.lastStatus();
    // The modem takes "+++" as an escape only after a second of silence on the line.
    QElapsedTimer silence;
    silence.start();
    WaitInEventLoop(pump, silence, kEscapeGuardMilliseconds);
    HangUpModem(link, modem);
    view.setStatusText(status);  // the download's outcome stays the last line
  }
  return ExitCodeOf(outcome);
}

int ReadDatabase(const norvale::CliOptions& options, norvale::SettingsRecord& settings,
                 norvale::RecordTable& records, norvale::TerminalDownloadView& view) {
  using namespace norvale;
  QtEventPump pump;
  HandheldCommands commands(settings, view, view);
  PosixHandheldFile file;
  ListModuleIdBox ids(options.module);
  HandheldContext context{file, options.database, ids, records, view, pump};
  if (options.command == CliCommand::Ids) {
    int16_t result = commands.GetIdList(context);
    for (const std::string& id : ids.entries()) std::printf("%s\n", id.c_str());
    return ExitCodeOfScan(result);
  }
  std::optional<DownloadOutcome> outcome = commands.ImportData(context, !options.module.empty());
  if (!outcome) return kExitUsage;
  if (outcome->result == kDatabaseMissing) return kExitDatabaseMissing;
  return ExitCodeOf(*outcome);
}

// The display boxes of the live page, printed on standard output once per answered poll.
class PrintedLiveDisplay : public norvale::LiveDisplayView {
 public:
  void setDisplayLine(int index, const std::string& text) override {
    if (index >= 0 && index < static_cast<int>(lines_.size())) lines_[index] = text;
  }
  void print(bool kx60) {
    for (int i = 0; i < static_cast<int>(lines_.size()); ++i) {
      if (i != 3 || kx60) std::printf("%s\n", lines_[i].c_str());
    }
    std::printf("\n");
    std::fflush(stdout);
  }

 private:
  std::array<std::string, 5> lines_;
};

int Live(const norvale::CliOptions& options, norvale::SettingsRecord& settings,
         norvale::LinkTrace* trace) {
  using namespace norvale;
  constexpr int kPollMilliseconds = 1000;
  QtSerialPort port([&](int) { return options.device; });
  SystemClock clock;
  QtEventPump pump;
  MeterLink link(settings, port, clock, pump, [](const PortErrorMessage& message) {
    std::fprintf(stderr, "%s: %s\n", message.text.c_str(), message.details.c_str());
  });
  link.setTrace(trace);
  const LiveChoices choices{options.flowUnit, options.flowFormat, options.velocityUnit,
                            options.meter == "KX60"};
  PrintedLiveDisplay display;
  int answered = 0;
  EndLiveOnInterrupt();
  for (int poll = 1; (options.count == 0 || poll <= options.count) && !gInterrupted; ++poll) {
    QElapsedTimer period;
    period.start();
    if (RunLiveCycle(link, settings.CommSlaveID, choices, display)) {
      ++answered;
      display.print(choices.kx60);
    } else {
      std::fprintf(stderr, "No answer to poll %d\n", poll);
    }
    if (options.count != 0 && poll == options.count) break;
    // The rest of the second in the event loop, as the window's timer would wait.
    WaitInEventLoop(pump, period, kPollMilliseconds);
  }
  return answered > 0 ? kExitFileWritten : kExitDownloadError;
}

// The --output-pattern name for this moment, never one that already exists.
std::string DatedOutputName(const std::string& pattern) {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  return norvale::FirstFreeName(norvale::ExpandDatedName(pattern, local).value_or(pattern),
                                [](const std::string& name) {
                                  std::error_code error;
                                  return std::filesystem::symlink_status(name, error).type() !=
                                         std::filesystem::file_type::not_found;
                                });
}

}  // namespace

int main(int argc, char** argv) {
  using namespace norvale;
  std::vector<std::string> arguments(argv + 1, argv + argc);
  CliParse parse = ParseCliArguments(arguments);
  if (!parse.ok) {
    std::fprintf(stderr, "norvale-cli: %s\n\n%s", parse.error.c_str(), kCliUsage);
    return kExitUsage;
  }
  if (parse.options.help) {
    std::fputs(kCliUsage, stdout);
    return 0;
  }
  if (parse.options.version) {
    std::printf("%s\n", VersionLine("norvale-cli").c_str());
    return 0;
  }
  CliOptions& options = parse.options;
  if (options.command == CliCommand::Plot) return RunPlot(options, argc, argv);
  if (!options.outputPattern.empty()) options.output = DatedOutputName(options.outputPattern);

  PreferPlainEventDispatcher();
  QCoreApplication app(argc, argv);
  SettingsRecord settings;
  settings.CommPort = 1;
  settings.CommBaud = options.baud;
  settings.CommSlaveID = static_cast<int16_t>(options.slave);
  settings.LogFilePath = options.output;
  settings.PortableMeter = options.portable;
  settings.DatabasePath = options.database;
  RecordTable records;
  CliLineTrace lineTrace;
  std::string traceFailure;
  if (!lineTrace.start(options.trace, options.verbose, traceFailure)) {
    std::fprintf(stderr, "norvale-cli: cannot write the trace file %s: %s\n", options.trace.c_str(),
                 traceFailure.c_str());
    return kExitFileError;
  }
  // A progress bar would be torn apart by trace lines on the same terminal.
  TerminalDownloadView view(stderr, isatty(STDERR_FILENO) != 0 && !options.verbose);

  if (options.command == CliCommand::Live) {
    const int exitCode = Live(options, settings, lineTrace.trace());
    lineTrace.finish();
    return exitCode;
  }
  int exitCode = options.command == CliCommand::Download
                     ? Download(options, settings, records, view, lineTrace.trace())
                     : ReadDatabase(options, settings, records, view);
  lineTrace.finish();
  if (exitCode == kExitFileWritten && options.command != CliCommand::Ids) {
    std::fprintf(stderr, "%d logged times written to %s\n",
                 records.LastRow > 1 ? records.LastRow - 1 : 0, view.writtenFile().c_str());
  }
  std::fprintf(stderr, "%s\n", view.lastStatus().c_str());
  return exitCode;
}
