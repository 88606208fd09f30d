// norvale-cli: the log download without a window, for scripts and unattended use.
#include <signal.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <array>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "cli/cli_line_trace.h"
#include "cli/cli_options.h"
#include "cli/commands/download.h"
#include "cli/plot_program.h"
#include "cli/serial_device.h"
#include "cli/terminal_download_view.h"
#include "cli/termination_signals.h"
#include "download/download_commands.h"
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
#include "records/download_result.h"
#include "version/build_version.h"

namespace {

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

int ExitCodeOfScan(norvale::DownloadResult result) {
  using namespace norvale;
  using enum DownloadResult;
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

// The database on disk; a file that cannot be opened is named on standard error, with the reason,
// before the final status.
class ReportedHandheldFile : public norvale::PosixHandheldFile {
 public:
  explicit ReportedHandheldFile(norvale::TerminalDownloadView& view) : view_(view) {}
  Opened open(const std::string& path) override {
    const Opened opened = PosixHandheldFile::open(path);
    if (opened != Opened::Yes) {
      view_.printLine("norvale-cli: cannot read " + path + ": " + openFailure());
    }
    return opened;
  }

 private:
  norvale::TerminalDownloadView& view_;
};

int ReadDatabase(const norvale::CliOptions& options, norvale::SettingsRecord& settings,
                 norvale::RecordTable& records, norvale::TerminalDownloadView& view) {
  using namespace norvale;
  using enum DownloadResult;
  QtEventPump pump;
  TerminationSignals stopSignals([&pump] { pump.requestStop(); });
  HandheldCommands commands(settings, view, view);
  commands.refuseEmptyResults();
  ReportedHandheldFile file(view);
  ListModuleIdBox ids(options.module);
  HandheldContext context{file, options.database, ids, records, view, pump};
  int exitCode = kExitFileWritten;
  DownloadResult result = kLogRead;
  if (options.command == CliCommand::Ids) {
    result = commands.GetIdList(context);
    for (const std::string& id : ids.entries()) std::printf("%s\n", id.c_str());
    exitCode = ExitCodeOfScan(result);
  } else {
    // --module is a number, so the ID box is never empty when separating.
    const DownloadOutcome outcome = *commands.ImportData(context, !options.module.empty());
    result = outcome.result;
    exitCode = result == kDatabaseMissing ? kExitDatabaseMissing : ExitCodeOf(outcome);
  }
  if (result == kNotHandheldDatabase) {
    // The final status, in place of "0 Records Available".
    view.setStatusText("norvale-cli: " + options.database + " is not a handheld database");
  }
  return stopSignals.caught() != 0 ? stopSignals.exitStatus() : exitCode;
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
  const std::string device = SerialDevicePath(options.device);
  QtSerialPort port([&](int) { return device; });
  SystemClock clock;
  QtEventPump pump;
  MeterLink link(settings, port, clock, pump, [](const PortErrorMessage& message) {
    std::fprintf(stderr, "%s\n", PortErrorLine(message).c_str());
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

// The --output-pattern name for this moment; the file may still take a suffix when written.
// Nothing when the name is a folder.
std::optional<std::string> DatedOutputName(const std::string& pattern) {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  const std::string name = norvale::ExpandDatedName(pattern, local).value_or(pattern);
  std::error_code error;
  if (name.back() == '/' || std::filesystem::is_directory(name, error)) return std::nullopt;
  return name;
}

int UsageError(const std::string& what, std::optional<norvale::CliCommand> command) {
  std::fprintf(stderr, "norvale-cli: %s\n%s\n", what.c_str(),
               norvale::CliUsageHint(command).c_str());
  return norvale::kExitUsage;
}

}  // namespace

int main(int argc, char** argv) {
  using namespace norvale;
  std::vector<std::string> arguments(argv + 1, argv + argc);
  CliParse parse = ParseCliArguments(arguments);
  if (!parse.ok) return UsageError(parse.error, parse.command);
  if (parse.options.help) {
    std::fputs(CliHelpText(parse.command).c_str(), stdout);
    return 0;
  }
  if (parse.options.version) {
    std::printf("%s\n", VersionLine("norvale-cli").c_str());
    return 0;
  }
  CliOptions& options = parse.options;
  if (options.command == CliCommand::Plot) return RunPlotProgram(argv);
  if (!options.outputPattern.empty()) {
    const std::optional<std::string> name = DatedOutputName(options.outputPattern);
    if (!name) {
      return UsageError("--output-pattern \"" + options.outputPattern + "\" names a folder",
                        parse.command);
    }
    options.output = *name;
  }

  PreferPlainEventDispatcher();
  QCoreApplication app(argc, argv);
  SettingsRecord settings;
  settings.CommPort = 1;
  settings.CommBaud = options.baud;
  settings.CommSlaveID = static_cast<int16_t>(options.slave);
  settings.LogFilePath = options.output;
  settings.LogFileKeepsOthers = !options.outputPattern.empty();
  settings.PortableMeter = options.portable;
  settings.DatabasePath = options.database;
  RecordTable records;
  // A progress bar would be torn apart by trace lines on the same terminal.
  TerminalDownloadView view(stderr, isatty(STDERR_FILENO) != 0 && !options.verbose, records);
  CliLineTrace lineTrace;
  std::string traceFailure;
  std::function<void(const std::string&)> echo;
  if (options.verbose) echo = [&view](const std::string& line) { view.printLine(line); };
  if (!lineTrace.start(options.trace, echo, traceFailure)) {
    std::fprintf(stderr, "norvale-cli: cannot write the trace file %s: %s\n", options.trace.c_str(),
                 traceFailure.c_str());
    return kExitFileError;
  }

  if (options.command == CliCommand::Live) {
    const int exitCode = Live(options, settings, lineTrace.trace());
    lineTrace.finish();
    return exitCode;
  }
  const int exitCode = options.command == CliCommand::Download
                           ? RunDownload(options, settings, records, view, lineTrace.trace())
                           : ReadDatabase(options, settings, records, view);
  lineTrace.finish();
  view.restateStatus();  // after the trace's summary line
  view.finish();
  return exitCode;
}
