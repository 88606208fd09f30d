#pragma once

#include <functional>

#include "cli/cli_options.h"
#include "cli/terminal/terminal_download_view.h"
#include "handheld/handheld_commands.h"
#include "handheld/handheld_import.h"
#include "link/settings_record.h"
#include "output/record_table.h"
#include "records/download_result.h"

namespace norvale {

// What a reading of the database ended with: the result code and the exit status it makes.
struct DatabaseRead {
  DownloadResult result;
  int exitCode;
};

// import and ids: `read` reads options.database through the command line's stricter commands,
// with the ID box holding options.module. A file that cannot be opened is named on standard
// error, with the reason, and one that is no handheld database is said so as the final status.
// The exit status: the signal's when SIGINT or SIGTERM ended the reading, else the read's.
int ReadHandheldDatabase(
    const CliOptions& options, SettingsRecord& settings, RecordTable& records,
    TerminalDownloadView& view,
    const std::function<DatabaseRead(HandheldCommands&, const HandheldContext&)>& read);

}  // namespace norvale
