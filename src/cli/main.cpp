// norvale-cli: the log download without a window, for scripts and unattended use.
#include <unistd.h>

#include <QCoreApplication>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

#include "cli/cli_options.h"
#include "cli/commands/download.h"
#include "cli/commands/help.h"
#include "cli/commands/ids.h"
#include "cli/commands/import.h"
#include "cli/commands/live.h"
#include "cli/exit_codes.h"
#include "cli/plot_program.h"
#include "cli/terminal/cli_line_trace.h"
#include "cli/terminal/terminal_download_view.h"
#include "link/qt_event_pump.h"
#include "link/settings_record.h"
#include "output/dated_file_name.h"
#include "output/record_table.h"

namespace {

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
    const int exitCode = RunLive(options, settings, lineTrace.trace());
    lineTrace.finish();
    return exitCode;
  }
  int exitCode = kExitSuccess;
  switch (options.command) {
    case CliCommand::Download:
      exitCode = RunDownload(options, settings, records, view, lineTrace.trace());
      break;
    case CliCommand::Import:
      exitCode = RunImport(options, settings, records, view);
      break;
    default:
      exitCode = RunIds(options, settings, records, view);
      break;
  }
  lineTrace.finish();
  view.restateStatus();  // after the trace's summary line
  view.finish();
  return exitCode;
}
