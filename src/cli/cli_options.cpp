#include "cli/cli_options.h"

#include <algorithm>
#include <array>
#include <charconv>

namespace norvale {

const char* const kCliUsage =
    "Usage: norvale-cli download --device PATH [--baud RATE] [--slave ID] [--since-last]\n"
    "                            [--portable] [--output FILE]\n"
    "       norvale-cli import --database FILE [--module ID] [--output FILE]\n"
    "       norvale-cli ids --database FILE\n"
    "\n"
    "download  reads a Norvale meter's data log over a serial line and stores it as a CSV file,\n"
    "          exactly as the window's \"Download Data\" button does.\n"
    "import    reads the same records from a handheld's backup database (.pdb), as \"Download\n"
    "          Data\" does with \"Use Palm DataBase\" ticked, and stores them as a CSV file.\n"
    "ids       prints the module IDs (meters) the database holds, one a line, first found\n"
    "          first, as \"Get ID List...\" does.\n"
    "\n"
    "  --device PATH    serial device of the meter, e.g. /dev/ttyUSB0\n"
    "  --baud RATE      1200, 2400, 4800, 9600, 14400, 19200 or 38400 (default 38400)\n"
    "  --slave ID       Modbus address of the meter, 0 to 255 (default 1)\n"
    "  --since-last     only what the meter logged since the previous download\n"
    "                   (\"Since Last Time\", up to four attempts)\n"
    "  --portable       the meter is a portable one (its status block layout)\n"
    "  --database FILE  the handheld backup database to read\n"
    "  --module ID      import only the records of this module ID (\"Modbus ID of meter\");\n"
    "                   without it, the records of every meter (\"Dont Separate\")\n"
    "  --output FILE    CSV file to write (default Logdata.csv in the current folder)\n"
    "  --help           this text\n"
    "\n"
    "Status texts go to standard error; the last line is the final status.\n"
    "Exit status: 0 file written (ids: database read), 1 nothing to read,\n"
    "             2 database file not found, 3 download or read error,\n"
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
  if (arguments[0] == "import") {
    options.command = CliCommand::Import;
  } else if (arguments[0] == "ids") {
    options.command = CliCommand::Ids;
  } else if (arguments[0] != "download") {
    return fail("unknown command \"" + arguments[0] + "\"");
  }
  const bool fromMeter = options.command == CliCommand::Download;

  for (size_t i = 1; i < arguments.size(); ++i) {
    const std::string& option = arguments[i];
    auto value = [&](std::string& out) {
      if (i + 1 >= arguments.size()) return false;
      out = arguments[++i];
      return true;
    };
    std::string text;
    const bool meterOption = option == "--since-last" || option == "--portable" ||
                             option == "--device" || option == "--baud" || option == "--slave";
    const bool databaseOption = option == "--database" || option == "--module";
    if ((meterOption && !fromMeter) || (databaseOption && fromMeter) ||
        (option == "--output" && options.command == CliCommand::Ids)) {
      return fail("option \"" + option + "\" does not belong to \"" + arguments[0] + "\"");
    }
    if (option == "--database") {
      if (!value(options.database) || options.database.empty()) {
        return fail("--database needs a file");
      }
    } else if (option == "--module") {
      int id = 0;
      if (!value(text) || !parseSlave(text, id)) {
        return fail("module ID \"" + text + "\" is not a number from 0 to 255");
      }
      options.module = text;
    } else if (option == "--since-last") {
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
  if (fromMeter && options.device.empty()) return fail("--device is required");
  if (!fromMeter && options.database.empty()) return fail("--database is required");
  parse.ok = true;
  return parse;
}

}  // namespace norvale
