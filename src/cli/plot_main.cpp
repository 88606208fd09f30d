// norvale-plot: the chart drawing of `norvale-cli plot`, a program of its own so that
// norvale-cli never loads Qt Widgets and Qt Charts. norvale-cli runs it with its own arguments,
// already checked.
#include <cstdio>
#include <string>
#include <vector>

#include "cli/cli_options.h"
#include "cli/commands/plot.h"
#include "cli/exit_codes.h"

int main(int argc, char** argv) {
  using namespace norvale;
  const std::vector<std::string> arguments(argv + 1, argv + argc);
  const CliParse parse = ParseCliArguments(arguments);
  if (!parse.ok || parse.options.command != CliCommand::Plot) {
    std::fputs("norvale-plot: run it as norvale-cli plot --input FILE ...\n", stderr);
    return kExitUsage;
  }
  return RunPlot(parse.options, argc, argv);
}
