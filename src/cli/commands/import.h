#pragma once

#include "cli/cli_options.h"
#include "cli/terminal/terminal_download_view.h"
#include "link/settings_record.h"
#include "output/record_table.h"

namespace norvale {

// import: the records of the handheld database, all of them or those of --module, into the CSV
// file, as "Download Data" does with "Use Palm DataBase" ticked. The exit status.
int RunImport(const CliOptions& options, SettingsRecord& settings, RecordTable& records,
              TerminalDownloadView& view);

}  // namespace norvale
