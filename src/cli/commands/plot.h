#pragma once

#include "cli/cli_options.h"

namespace norvale {

// norvale-cli plot: reads the CSV file options.input and draws its chart into options.output at
// options.width x options.height. Makes its own application object, so it runs before any
// other. Returns the exit code: written, download error (unreadable or no data) or file error.
int RunPlot(const CliOptions& options, int& argc, char** argv);

}  // namespace norvale
