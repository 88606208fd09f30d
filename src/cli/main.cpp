// norvale-cli: the log download without a window, for scripts and unattended use.
#include <unistd.h>

#include <QCoreApplication>
#include <cstdio>
#include <string>
#include <vector>

#include "cli/cli_options.h"
#include "cli/terminal_download_view.h"
#include "download/download_commands.h"
#include "download/download_result.h"
#include "link/meter_link.h"
#include "link/qt_event_pump.h"
#include "link/qt_serial_port.h"
#include "link/system_clock.h"
#include "output/record_table.h"

namespace {

int ExitCodeOf(const norvale::DownloadOutcome& outcome) {
  using namespace norvale;
  if (outcome.result == kLogRead) return outcome.fileWritten ? kExitFileWritten : kExitFileError;
  if (outcome.result == kNothingToRead) return kExitNothingToRead;
  return kExitDownloadError;
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
  const CliOptions& options = parse.options;

  QCoreApplication app(argc, argv);
  SettingsRecord settings;
  settings.CommPort = 1;
  settings.CommBaud = options.baud;
  settings.CommSlaveID = static_cast<int16_t>(options.slave);
  settings.LogFilePath = options.output;
  settings.PortableMeter = options.portable;

  QtSerialPort port([&](int) { return options.device; });
  SystemClock clock;
  QtEventPump pump;
  MeterLink link(settings, port, clock, pump, [](const PortErrorMessage& message) {
    std::fprintf(stderr, "%s: %s\n", message.text.c_str(), message.details.c_str());
  });
  RecordTable records;
  TerminalDownloadView view(stderr, isatty(STDERR_FILENO) != 0);
  DownloadCommands commands(link, settings, records, view, view);

  DownloadOutcome outcome = options.sinceLast ? commands.SinceLastTime() : commands.DownloadData();
  if (outcome.fileWritten) {
    std::fprintf(stderr, "%d logged times written to %s\n",
                 records.LastRow > 1 ? records.LastRow - 1 : 0, options.output.c_str());
  }
  std::fprintf(stderr, "%s\n", view.lastStatus().c_str());
  return ExitCodeOf(outcome);
}
