#pragma once

#include <optional>

#include "cli/cli_options.h"

namespace norvale {

// --help: the whole help on standard output, or with a command that command's. The exit status.
int PrintHelp(std::optional<CliCommand> command);

// --version: the version and the build's git description. The exit status.
int PrintVersion();

}  // namespace norvale
