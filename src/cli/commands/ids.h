#pragma once

#include "cli/cli_options.h"
#include "cli/terminal/terminal_download_view.h"
#include "link/settings_record.h"
#include "output/record_table.h"

namespace norvale {

// ids: the module IDs the handheld database holds on standard output, one a line, first found
// first, as "Get ID List..." fills its box. The exit status.
int RunIds(const CliOptions& options, SettingsRecord& settings, RecordTable& records,
           TerminalDownloadView& view);

}  // namespace norvale
