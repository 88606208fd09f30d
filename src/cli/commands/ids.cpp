#include "cli/commands/ids.h"

#include <cstdio>
#include <string>

#include "cli/commands/handheld_database.h"
#include "cli/exit_codes.h"

namespace norvale {

int RunIds(const CliOptions& options, SettingsRecord& settings, RecordTable& records,
           TerminalDownloadView& view) {
  return ReadHandheldDatabase(options, settings, records, view,
                              [](HandheldCommands& commands, const HandheldContext& context) {
                                const DownloadResult result = commands.GetIdList(context);
                                for (const std::string& id : context.ids.entries())
                                  std::printf("%s\n", id.c_str());
                                return DatabaseRead{result, ExitCodeOfResult(result)};
                              });
}

}  // namespace norvale
