#pragma once

#include "cli/cli_options.h"
#include "link/line_tracer.h"
#include "link/settings_record.h"

namespace norvale {

// live: polls the meter once a second, as the "Display Meter" page does, and prints the lines
// its boxes would show, then a blank line, per answer; --count polls, or until interrupted. The
// first SIGINT or SIGTERM ends it after the poll under way, so that the trace gets its summary;
// a second one ends it at once. The exit status: success when a poll was answered.
int RunLive(const CliOptions& options, SettingsRecord& settings, LinkTrace* trace);

}  // namespace norvale
