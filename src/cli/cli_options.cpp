#include "cli/cli_options.h"

#include <algorithm>
#include <array>
#include <charconv>

namespace norvale {

const char* const kCliUsage =
    "Usage: norvale-cli download --device PATH [--baud RATE] [--slave ID] [--since-last]\n"
    "                            [--portable] [--output FILE]\n"
    "                            [--dial NUMBER [--modem-init TEXT]]\n"
    "       norvale-cli import --database FILE [--module ID] [--output FILE]\n"
    "       norvale-cli ids --database FILE\n"
    "       norvale-cli live --device PATH [--baud RATE] [--slave ID] [--meter KX50|KX60|KX90]\n"
    "                        [--flow-unit UNIT] [--flow-format FORMAT] [--velocity-unit FPS|MPS]\n"
    "                        [--count N]\n"
    "\n"
    "download  reads a Norvale meter's data log over a serial line and stores it as a CSV file,\n"
    "          exactly as the window's \"Download Data\" button does.\n"
    "import    reads the same records from a handheld's backup database (.pdb), as \"Download\n"
    "          Data\" does with \"Use Palm DataBase\" ticked, and stores them as a CSV file.\n"
    "ids       prints the module IDs (meters) the database holds, one a line, first found\n"
    "          first, as \"Get ID List...\" does.\n"
    "live      polls the meter's present readings once a second, as the \"Display Meter \" page\n"
    "          does, and prints the lines its boxes would show, then a blank line, per answer.\n"
    "\n"
    "  --device PATH    serial device of the meter, e.g. /dev/ttyUSB0\n"
    "  --baud RATE      1200, 2400, 4800, 9600, 14400, 19200 or 38400 (default 38400)\n"
    "  --slave ID       Modbus address of the meter, 0 to 255 (default 1)\n"
    "  --since-last     only what the meter logged since the previous download\n"
    "                   (\"Since Last Time\", up to four attempts)\n"
    "  --portable       the meter is a portable one (its status block layout)\n"
    "  --dial NUMBER    dial the meter through the modem on --device first, and hang up after\n"
    "  --modem-init T   the modem's initialisation string (default \"ATE0 S0=2 &C0\")\n"
    "  --database FILE  the handheld backup database to read\n"
    "  --module ID      import only the records of this module ID (\"Modbus ID of meter\");\n"
    "                   without it, the records of every meter (\"Dont Separate\")\n"
    "  --output FILE    CSV file to write (default Logdata.csv in the current folder)\n"
    "  --meter TYPE     KX50 (default), KX60 (adds the reverse total) or KX90\n"
    "  --flow-unit U    GPM GPD MGD CFS CFM CFD LPS LPM LPD MLD M3S M3H M3D IGM BPH\n"
    "                   (default: as the meter sends it, cubic feet per second)\n"
    "  --flow-format F  #. #.# #.## or #.### (default #.#)\n"
    "  --velocity-unit V  FPS (default, as the meter sends it) or MPS\n"
    "  --count N        stop after N polls, answered or not (default: until interrupted)\n"
    "  --help           this text\n"
    "\n"
    "Status texts go to standard error; the last line is the final status.\n"
    "Exit status: 0 file written (ids: database read; live: a poll was answered),\n"
    "             1 nothing to read,\n"
    "             2 database file not found, 3 download or read error (live: no answer),\n"
    "             4 the CSV file could not be written, 5 could not connect (--dial),\n"
    "             64 usage error.\n";

namespace {

constexpr std::array<const char*, 7> kBaudRates{"1200",  "2400",  "4800", "9600",
                                                "14400", "19200", "38400"};

bool parseSlave(const std::string& text, int& slave) {
  const char* first = text.data();
  const char* last = first + text.size();
  auto [end, error] = std::from_chars(first, last, slave);
  return error == std::errc() && end == last && slave >= 0 && slave <= 255;
}

constexpr std::array<const char*, 15> kFlowUnits{"GPM", "GPD", "MGD", "CFS", "CFM",
                                                 "CFD", "LPS", "LPM", "LPD", "MLD",
                                                 "M3S", "M3H", "M3D", "IGM", "BPH"};
constexpr std::array<const char*, 4> kFlowFormats{"#.", "#.#", "#.##", "#.###"};
constexpr std::array<const char*, 2> kVelocityUnits{"FPS", "MPS"};
constexpr std::array<const char*, 3> kMeters{"KX50", "KX60", "KX90"};

template <size_t N>
int positionIn(const std::array<const char*, N>& list, const std::string& text) {
  for (size_t i = 0; i < N; ++i) {
    if (text == list[i]) return static_cast<int>(i);
  }
  return -1;
}

bool parseLiveOption(const std::string& option, const std::string& text, CliOptions& options) {
  if (option == "--meter") {
    options.meter = text;
    return positionIn(kMeters, text) >= 0;
  }
  if (option == "--flow-unit") return (options.flowUnit = positionIn(kFlowUnits, text)) >= 0;
  if (option == "--flow-format") return (options.flowFormat = positionIn(kFlowFormats, text)) >= 0;
  if (option == "--velocity-unit") {
    return (options.velocityUnit = positionIn(kVelocityUnits, text)) >= 0;
  }
  const char* first = text.data();
  auto [end, error] = std::from_chars(first, first + text.size(), options.count);
  return error == std::errc() && end == first + text.size() && options.count > 0;
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
  } else if (arguments[0] == "live") {
    options.command = CliCommand::Live;
  } else if (arguments[0] != "download") {
    return fail("unknown command \"" + arguments[0] + "\"");
  }
  const bool download = options.command == CliCommand::Download;
  const bool live = options.command == CliCommand::Live;
  const bool fromMeter = download || live;

  for (size_t i = 1; i < arguments.size(); ++i) {
    const std::string& option = arguments[i];
    auto value = [&](std::string& out) {
      if (i + 1 >= arguments.size()) return false;
      out = arguments[++i];
      return true;
    };
    std::string text;
    const bool meterOption = option == "--device" || option == "--baud" || option == "--slave";
    const bool downloadOption = option == "--since-last" || option == "--portable" ||
                                option == "--dial" || option == "--modem-init";
    const bool liveOption = option == "--meter" || option == "--flow-unit" ||
                            option == "--flow-format" || option == "--velocity-unit" ||
                            option == "--count";
    const bool databaseOption = option == "--database" || option == "--module";
    if ((meterOption && !fromMeter) || (downloadOption && !download) || (liveOption && !live) ||
        (databaseOption && fromMeter) ||
        (option == "--output" && (options.command == CliCommand::Ids || live))) {
      return fail("option \"" + option + "\" does not belong to \"" + arguments[0] + "\"");
    }
    if (liveOption) {
      if (!value(text)) return fail(option + " needs a value");
      if (!parseLiveOption(option, text, options)) {
        return fail(option + " \"" + text + "\" is not one of the choices (see --help)");
      }
      continue;
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
    } else if (option == "--dial") {
      if (!value(options.dial) || options.dial.empty()) return fail("--dial needs a number");
    } else if (option == "--modem-init") {
      if (!value(options.modemInit)) return fail("--modem-init needs a text");
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
