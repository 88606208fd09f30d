#include "cli/cli_options.h"

#include <algorithm>
#include <array>
#include <charconv>

namespace norvale {

const char* const kCliUsage =
    "Usage: norvale-cli download --device PATH [--baud RATE] [--slave ID] [--since-last]\n"
    "                            [--portable] [--output FILE]\n"
    "\n"
    "Downloads a Norvale meter's data log over a serial line and stores it as a CSV file,\n"
    "exactly as the window's \"Download Data\" button does.\n"
    "\n"
    "  --device PATH   serial device of the meter, e.g. /dev/ttyUSB0\n"
    "  --baud RATE     1200, 2400, 4800, 9600, 14400, 19200 or 38400 (default 38400)\n"
    "  --slave ID      Modbus address of the meter, 0 to 255 (default 1)\n"
    "  --since-last    only what the meter logged since the previous download\n"
    "                  (\"Since Last Time\", up to four attempts)\n"
    "  --portable      the meter is a portable one (its status block layout)\n"
    "  --output FILE   CSV file to write (default Logdata.csv in the current folder)\n"
    "  --help          this text\n"
    "\n"
    "Status texts go to standard error; the last line is the final status.\n"
    "Exit status: 0 file written, 1 nothing to read, 3 download error,\n"
    "             4 the CSV file could not be written, 64 usage error.\n";

namespace {

constexpr std::array<const char*, 7> kBaudRates{"1200",  "2400",  "4800", "9600",
                                                "14400", "19200", "38400"};

bool parseSlave(const std::string& text, int& slave) {
  const char* first = text.data();
  const char* last = first + text.size();
  auto [end, error] = std::from_chars(first, last, slave);
  return error == std::errc() && end == last && slave >= 0 && slave <= 255;
}

}  // namespace

CliParse ParseCliArguments(const std::vector<std::string>& arguments) {
  CliParse parse;
  CliOptions& options = parse.options;
  auto fail = [&](std::string why) {
    parse.error = std::move(why);
    return parse;
  };
  if (std::find(arguments.begin(), arguments.end(), "--help") != arguments.end() ||
      std::find(arguments.begin(), arguments.end(), "-h") != arguments.end()) {
    options.help = true;
    parse.ok = true;
    return parse;
  }
  if (arguments.empty()) return fail("no command given");
  if (arguments[0] != "download") return fail("unknown command \"" + arguments[0] + "\"");

  for (size_t i = 1; i < arguments.size(); ++i) {
    const std::string& option = arguments[i];
    auto value = [&](std::string& out) {
      if (i + 1 >= arguments.size()) return false;
      out = arguments[++i];
      return true;
    };
    std::string text;
    if (option == "--since-last") {
      options.sinceLast = true;
    } else if (option == "--portable") {
      options.portable = true;
    } else if (option == "--device") {
      if (!value(options.device) || options.device.empty()) return fail("--device needs a path");
    } else if (option == "--output") {
      if (!value(options.output) || options.output.empty()) return fail("--output needs a file");
    } else if (option == "--baud") {
      if (!value(text)) return fail("--baud needs a rate");
      if (std::find(kBaudRates.begin(), kBaudRates.end(), text) == kBaudRates.end()) {
        return fail("baud rate \"" + text +
                    "\" is not one of 1200, 2400, 4800, 9600, 14400, 19200, 38400");
      }
      options.baud = text;
    } else if (option == "--slave") {
      if (!value(text)) return fail("--slave needs a number");
      if (!parseSlave(text, options.slave)) {
        return fail("slave ID \"" + text + "\" is not a number from 0 to 255");
      }
    } else {
      return fail("unknown option \"" + option + "\"");
    }
  }
  if (options.device.empty()) return fail("--device is required");
  parse.ok = true;
  return parse;
}

}  // namespace norvale
