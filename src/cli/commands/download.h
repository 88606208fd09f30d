#pragma once

#include "cli/cli_options.h"
#include "cli/terminal/terminal_download_view.h"
#include "link/line_tracer.h"
#include "link/settings_record.h"
#include "output/record_table.h"

namespace norvale {

// download: the meter's log into the CSV file, through a modem dialed first with --dial. A dialed
// line is hung up after the download, also when SIGINT or SIGTERM ends it early. The exit status.
int RunDownload(const CliOptions& options, SettingsRecord& settings, RecordTable& records,
                TerminalDownloadView& view, LinkTrace* trace);

}  // namespace norvale
