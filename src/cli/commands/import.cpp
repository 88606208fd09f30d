#include "cli/commands/import.h"

#include "cli/commands/handheld_database.h"
#include "cli/exit_codes.h"
#include "download/download_commands.h"

namespace norvale {

int RunImport(const CliOptions& options, SettingsRecord& settings, RecordTable& records,
              TerminalDownloadView& view) {
  return ReadHandheldDatabase(
      options, settings, records, view,
      [&options](HandheldCommands& commands, const HandheldContext& context) {
        // --module is a number, so the ID box is never empty when separating.
        const DownloadOutcome outcome = *commands.ImportData(context, !options.module.empty());
        return DatabaseRead{outcome.result, ExitCodeOf(outcome)};
      });
}

}  // namespace norvale
