#include "cli/commands/help.h"

#include <cstdio>

#include "cli/exit_codes.h"
#include "version/build_version.h"

namespace norvale {

int PrintHelp(std::optional<CliCommand> command) {
  std::fputs(CliHelpText(command).c_str(), stdout);
  return kExitSuccess;
}

int PrintVersion() {
  std::printf("%s\n", VersionLine("norvale-cli").c_str());
  return kExitSuccess;
}

}  // namespace norvale
