// norvale-cli: the log download without a window, for scripts and unattended use.
#include <unistd.h>

#include <QCoreApplication>
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

#include "cli/cli_options.h"
#include "cli/commands/archive.h"
#include "cli/commands/download.h"
#include "cli/commands/help.h"
#include "cli/commands/ids.h"
#include "cli/commands/import.h"
#include "cli/commands/live.h"
#include "cli/exit_codes.h"
#include "cli/plot_program.h"
#include "cli/terminal/cli_line_trace.h"
#include "cli/terminal/terminal_download_view.h"
#include "link/line_tracer.h"
#include "link/qt_event_pump.h"
#include "link/settings_record.h"
#include "output/dated_file_name.h"
#include "output/record_table.h"

namespace norvale {
namespace {

// The --output-pattern name for this moment; the file may still take a suffix when written.
// Nothing when the name is a folder.
std::optional<std::string> DatedOutputName(const std::string& pattern) {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  const std::string name = ExpandDatedName(pattern, local).value_or(pattern);
  std::error_code error;
  if (name.back() == '/' || std::filesystem::is_directory(name, error)) return std::nullopt;
  return name;
}

int UsageError(const std::string& what, std::optional<CliCommand> command) {
  std::fprintf(stderr, "norvale-cli: %s\n%s\n", what.c_str(), CliUsageHint(command).c_str());
  return kExitUsage;
}

// What the window's settings would hold for these options; the port is --device, not a number.
SettingsRecord SettingsOf(const CliOptions& options) {
  SettingsRecord settings;
  settings.CommPort = 1;
  settings.CommBaud = options.baud;
  settings.CommSlaveID = static_cast<int16_t>(options.slave);
  settings.LogFilePath = options.output;
  settings.LogFileKeepsOthers = !options.outputPattern.empty();
  settings.PortableMeter = options.portable;
  settings.DatabasePath = options.database;
  return settings;
}

// The line trace of --trace and -v; false, after saying why, when its file cannot be written.
bool StartLineTrace(const CliOptions& options, TerminalDownloadView& view,
                    CliLineTrace& lineTrace) {
  std::string failure;
  std::function<void(const std::string&)> echo;
  if (options.verbose) echo = [&view](const std::string& line) { view.printLine(line); };
  if (lineTrace.start(options.trace, echo, failure)) return true;
  std::fprintf(stderr, "norvale-cli: cannot write the trace file %s: %s\n", options.trace.c_str(),
               failure.c_str());
  return false;
}

// With --archive, a log that was read and written is also merged into the meter's history.
int WithArchive(const CliOptions& options, const RecordTable& records, TerminalDownloadView& view,
                int readStatus) {
  if (options.archive.empty() || readStatus != kExitFileWritten) return readStatus;
  return MergeIntoArchive(options, records, view, readStatus);
}

// The command's own work, on what it shares with the others; the exit status.
int Dispatch(const CliOptions& options, SettingsRecord& settings, RecordTable& records,
             TerminalDownloadView& view, LinkTrace* trace) {
  switch (options.command) {
    case CliCommand::Download:
      return WithArchive(options, records, view,
                         RunDownload(options, settings, records, view, trace));
    case CliCommand::Import:
      return WithArchive(options, records, view, RunImport(options, settings, records, view));
    case CliCommand::Ids:
      return RunIds(options, settings, records, view);
    case CliCommand::Live:
      return RunLive(options, settings, trace);
    case CliCommand::Archive:
      return RunArchive(options);
    case CliCommand::Plot:
      break;  // norvale-plot's, run before any of this
  }
  return kExitUsage;
}

// Every command but plot, with the options final: the application, the settings, the status
// lines and the line trace around the command. The exit status.
int RunCommand(const CliOptions& options, int& argc, char** argv) {
  PreferPlainEventDispatcher();
  QCoreApplication app(argc, argv);
  SettingsRecord settings = SettingsOf(options);
  RecordTable records;
  // A progress bar would be torn apart by trace lines on the same terminal.
  TerminalDownloadView view(stderr, isatty(STDERR_FILENO) != 0 && !options.verbose, records);
  CliLineTrace lineTrace;
  if (!StartLineTrace(options, view, lineTrace)) return kExitFileError;
  const int exitCode = Dispatch(options, settings, records, view, lineTrace.trace());
  lineTrace.finish();
  // live prints its readings and no status; the others end on theirs, after the trace's summary.
  if (options.command != CliCommand::Live && options.command != CliCommand::Archive) {
    view.restateStatus();
    view.finish();
  }
  return exitCode;
}

}  // namespace
}  // namespace norvale

int main(int argc, char** argv) {
  using namespace norvale;
  CliParse parse = ParseCliArguments(std::vector<std::string>(argv + 1, argv + argc));
  if (!parse.ok) return UsageError(parse.error, parse.command);
  if (parse.options.help) return PrintHelp(parse.command);
  if (parse.options.version) return PrintVersion();
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
  return RunCommand(options, argc, argv);
}
