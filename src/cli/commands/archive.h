#pragma once

#include "cli/cli_options.h"
#include "cli/terminal/terminal_download_view.h"
#include "output/record_table.h"

namespace norvale {

// download and import with --archive: the table they read merged into the meter's history, the
// counts on standard error. The exit status: `readStatus` when merged, else a file error.
int MergeIntoArchive(const CliOptions& options, const RecordTable& records,
                     TerminalDownloadView& view, int readStatus);

// norvale-cli archive meters|export. The exit status.
int RunArchive(const CliOptions& options);

}  // namespace norvale
