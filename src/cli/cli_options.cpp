#include "cli/cli_options.h"

#include <QCommandLineParser>
#include <QStringList>
#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <ctime>
#include <optional>

#include "live/live_units.h"
#include "output/dated_file_name.h"
#include "settings/baud_rates.h"

namespace norvale {

namespace {

enum : unsigned {
  kForDownload = 1,
  kForImport = 2,
  kForIds = 4,
  kForLive = 8,
  kForPlot = 16,
  kForAll = 31
};

// One piece of the help: the whole help is every piece in order, a command's help those that
// name the command.
struct HelpPiece {
  unsigned commands;
  const char* text;
};

constexpr std::array<HelpPiece, 20> kHelp{{
    {kForDownload, "Usage: norvale-cli download --device PATH [OPTION]...\n"},
    {kForImport, "  or:  norvale-cli import --database FILE [OPTION]...\n"},
    {kForIds, "  or:  norvale-cli ids --database FILE\n"},
    {kForLive, "  or:  norvale-cli live --device PATH [OPTION]...\n"},
    {kForPlot, "  or:  norvale-cli plot --input FILE [--output FILE] [--size WxH]\n"},
    {0,
     "  or:  norvale-cli [COMMAND] --help | --version\n"
     "Downloads a Norvale flow meter's data log without a window, for scripts and unattended "
     "use.\n"
     "\n"
     "Commands:\n"},
    {kForDownload,
     "  download         read the meter's data log over a serial line and store it as a CSV file,\n"
     "                   exactly as the window's \"Download Data\" button does\n"},
    {kForImport,
     "  import           read the same records from a handheld's backup database (.pdb), as\n"
     "                   \"Download Data\" does with \"Use Palm DataBase\" ticked, into a CSV "
     "file\n"},
    {kForIds,
     "  ids              print the module IDs (meters) the database holds, one a line, first\n"
     "                   found first, as \"Get ID List...\" does\n"},
    {kForLive,
     "  live             poll the meter's present readings once a second, as the \"Display "
     "Meter\"\n"
     "                   page does, and print the lines its boxes would show, then a blank line,\n"
     "                   per answer\n"},
    {kForPlot,
     "  plot             draw the chart of a CSV file that download or import wrote, as the\n"
     "                   \"View\" tab shows it: one line per channel against the date and time,\n"
     "                   totalisers on a right-hand axis; no display is needed, but the\n"
     "                   window's package (norvale-plot, which draws it)\n"},
    {kForDownload | kForLive,
     "\n"
     "Meter (download, live):\n"
     "  --device PATH    serial device of the meter, e.g. /dev/ttyUSB0; a name without a slash\n"
     "                   is the file of that name in the current folder when there is one,\n"
     "                   else the device in /dev (ttyUSB0 is /dev/ttyUSB0)\n"
     "  --baud RATE      1200, 2400, 4800, 9600, 14400, 19200 or 38400 (default 38400)\n"
     "  --slave ID       Modbus address of the meter, 0 to 255 (default 1)\n"},
    {kForDownload,
     "\n"
     "Download:\n"
     "  --since-last     only what the meter logged since the previous download\n"
     "                   (\"Since Last Time\", up to four attempts)\n"
     "  --portable       the meter is a portable one (its status block layout)\n"
     "  --dial NUMBER    dial the meter through the modem on --device first, and hang up after,\n"
     "                   also when interrupted (SIGINT, SIGTERM; a second one ends at once)\n"
     "  --modem-init TEXT\n"
     "                   the modem's initialisation string (default \"ATE0 S0=2 &C0\")\n"},
    {kForImport | kForIds,
     "\n"
     "Handheld database (import, ids):\n"
     "  --database FILE  the handheld backup database to read\n"
     "  --module ID      import only the records of this module ID (\"Modbus ID of meter\"),\n"
     "                   and write no file when it has none; without it, the records of every\n"
     "                   meter (\"Dont Separate\")\n"},
    {kForDownload | kForImport,
     "\n"
     "Output (download, import):\n"
     "  --output FILE    CSV file to write (default Logdata.csv in the current folder); it is\n"
     "                   replaced only once the new one is complete\n"
     "  --output-pattern PATTERN\n"
     "                   CSV file named by the time of the run: %Y year, %m month,\n"
     "                   %d day, %H hour, %M minute, %S second, %% a percent sign; a file of\n"
     "                   that name is never overwritten (\"-2\", \"-3\", ... goes before the\n"
     "                   extension), even by runs at the same moment\n"},
    {kForPlot,
     "\n"
     "Chart (plot):\n"
     "  --input FILE     the CSV file to draw\n"
     "  --output FILE    image to write, PNG or SVG by its extension .png or .svg\n"
     "                   (default Logdata.png in the current folder)\n"
     "  --size WxH       the image's width and height in pixels, 100 to 8000 each\n"
     "                   (default 1600x900)\n"},
    {kForLive,
     "\n"
     "Live readings (live):\n"
     "  --meter TYPE     KX50 (default), KX60 (adds the reverse total) or KX90\n"
     "  --flow-unit UNIT\n"
     "                   GPM GPD MGD CFS CFM CFD LPS LPM LPD MLD M3S M3H M3D IGM BPH\n"
     "                   (default: as the meter sends it, cubic feet per second)\n"
     "  --flow-format FORMAT\n"
     "                   #. #.# #.## or #.### (default #.#)\n"
     "  --velocity-unit UNIT\n"
     "                   FPS (default, as the meter sends it) or MPS\n"
     "  --count N        stop after N polls, answered or not (default: until interrupted)\n"},
    {kForDownload | kForLive,
     "\n"
     "Line trace (download, live):\n"
     "  --trace FILE     write every frame to FILE: the time to the millisecond, the direction,\n"
     "                   the bytes in hex and what was made of them (reply complete, CRC\n"
     "                   mismatch, exception, resend, gave up), then a summary line\n"
     "  -v, --verbose    the same lines on standard error\n"},
    {kForAll,
     "\n"
     "  -h, --help       this text; after a command, that command's options only\n"
     "  --version        the version and the build's git description\n"},
    {kForDownload | kForImport | kForIds,
     "\n"
     "Status texts go to standard error; the last line is the final status (or an error that\n"
     "starts with \"norvale-cli:\") and, when a file was written, the line before it names it\n"
     "in full.\n"},
}};

constexpr const char* kExitStatus =
    "\n"
    "Exit status:\n"
    "  0   file written (ids: database read; live: a poll was answered)\n"
    "  1   nothing to read (import --module: no records of that module)\n"
    "  2   database file not found\n"
    "  3   download or read error (ids, import: not a handheld database; live: no answer;\n"
    "      plot: the CSV file could not be read or holds no data)\n"
    "  4   the CSV file could not be written (plot: the image, or norvale-plot not there)\n"
    "  5   could not connect (--dial)\n"
    "  64  usage error\n"
    "  130, 143  interrupted by SIGINT or SIGTERM\n";

struct OptionRule {
  const char* name;
  const char* valueName;  // nullptr: a switch
  unsigned commands;
};

constexpr std::array<OptionRule, 21> kOptionRules{{
    {"device", "PATH", kForDownload | kForLive},
    {"baud", "RATE", kForDownload | kForLive},
    {"slave", "ID", kForDownload | kForLive},
    {"since-last", nullptr, kForDownload},
    {"portable", nullptr, kForDownload},
    {"dial", "NUMBER", kForDownload},
    {"modem-init", "TEXT", kForDownload},
    {"output", "FILE", kForDownload | kForImport | kForPlot},
    {"output-pattern", "PATTERN", kForDownload | kForImport},
    {"database", "FILE", kForImport | kForIds},
    {"module", "ID", kForImport | kForIds},
    {"meter", "TYPE", kForLive},
    {"flow-unit", "UNIT", kForLive},
    {"flow-format", "FORMAT", kForLive},
    {"velocity-unit", "UNIT", kForLive},
    {"count", "N", kForLive},
    {"trace", "FILE", kForDownload | kForLive},
    {"verbose", nullptr, kForDownload | kForLive},
    {"input", "FILE", kForPlot},
    {"size", "WxH", kForPlot},
    {"help", nullptr, 0},
}};

// Image sides of plot: large enough for the axes, small enough to fit in memory (8000 x 8000
// is 256 MB).
constexpr int kSmallestSide = 100;
constexpr int kLargestSide = 8000;

constexpr std::array<const char*, 3> kMeters{"KX50", "KX60", "KX90"};

std::string_view NameOf(const FlowUnit& unit) { return unit.name; }
std::string_view NameOf(std::string_view name) { return name; }

template <typename Entry, size_t N>
int positionIn(const std::array<Entry, N>& list, const std::string& text) {
  for (size_t i = 0; i < N; ++i) {
    if (text == NameOf(list[i])) return static_cast<int>(i);
  }
  return -1;
}

bool parseNumber(const std::string& text, int low, int high, int& number) {
  const char* first = text.data();
  const char* last = first + text.size();
  auto [end, error] = std::from_chars(first, last, number);
  return error == std::errc() && end == last && number >= low && number <= high;
}

// Each byte as one character and back: paths reach the system exactly as typed, even when they
// are not valid in the locale's encoding. Option names are plain ASCII either way.
QString FromSystem(const std::string& text) {
  return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}
std::string ToSystem(const QString& text) { return text.toLatin1().toStdString(); }

// Fills options from one option's value; the error text when the value is not acceptable.
std::string takeValue(const std::string& name, const std::string& text, CliOptions& options) {
  auto required = [&](std::string& field, const char* what) {
    field = text;
    return text.empty() ? "--" + name + " needs " + what : std::string();
  };
  auto notAChoice = [&] {
    return "--" + name + " \"" + text + "\" is not one of the choices (see --help)";
  };
  if (name == "device") return required(options.device, "a path");
  if (name == "output") return required(options.output, "a file");
  if (name == "database") return required(options.database, "a file");
  if (name == "trace") return required(options.trace, "a file");
  if (name == "input") return required(options.input, "a file");
  if (name == "size") {
    const size_t x = text.find('x');
    if (x != std::string::npos &&
        parseNumber(text.substr(0, x), kSmallestSide, kLargestSide, options.width) &&
        parseNumber(text.substr(x + 1), kSmallestSide, kLargestSide, options.height)) {
      return {};
    }
    return "--size \"" + text + "\" is not WIDTHxHEIGHT, each from 100 to 8000 (e.g. 1600x900)";
  }
  if (name == "dial") return required(options.dial, "a number");
  if (name == "modem-init") {
    options.modemInit = text;
    return {};
  }
  if (name == "output-pattern") {
    options.outputPattern = text;
    if (text.empty()) return "--output-pattern needs a pattern";
    if (!ExpandDatedName(text, std::tm{})) {
      return "--output-pattern \"" + text + "\" may hold only %Y %m %d %H %M %S and %%";
    }
    return {};
  }
  if (name == "baud") {
    options.baud = text;
    if (positionIn(kBaudRates, text) >= 0) return {};
    std::string rates;
    for (std::string_view rate : kBaudRates) rates.append(rates.empty() ? "" : ", ").append(rate);
    return "baud rate \"" + text + "\" is not one of " + rates;
  }
  if (name == "slave") {
    if (parseNumber(text, 0, 255, options.slave)) return {};
    return "slave ID \"" + text + "\" is not a number from 0 to 255";
  }
  if (name == "module") {
    int id = 0;
    options.module = text;
    if (parseNumber(text, 0, 255, id)) return {};
    return "module ID \"" + text + "\" is not a number from 0 to 255";
  }
  if (name == "meter") {
    options.meter = text;
    return positionIn(kMeters, text) >= 0 ? std::string() : notAChoice();
  }
  if (name == "flow-unit") {
    options.flowUnit = positionIn(kFlowUnits, text);
    return options.flowUnit >= 0 ? std::string() : notAChoice();
  }
  if (name == "flow-format") {
    options.flowFormat = positionIn(kFlowFormats, text);
    return options.flowFormat >= 0 ? std::string() : notAChoice();
  }
  if (name == "velocity-unit") {
    options.velocityUnit = positionIn(kVelocityUnits, text);
    return options.velocityUnit >= 0 ? std::string() : notAChoice();
  }
  // --count
  return parseNumber(text, 1, 1 << 30, options.count) ? std::string() : notAChoice();
}

// The image kinds plot writes: the file name's extension, in any case.
bool IsImageName(const std::string& name) {
  const size_t dot = name.rfind('.');
  if (dot == std::string::npos || name.find('/', dot) != std::string::npos) return false;
  std::string suffix = name.substr(dot + 1);
  for (char& c : suffix) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return suffix == "png" || suffix == "svg";
}

// The commands' names, in CliCommand order.
constexpr std::array<const char*, 5> kCommandNames{"download", "import", "ids", "live", "plot"};

std::optional<CliCommand> CommandNamed(const std::string& name) {
  const int position = positionIn(kCommandNames, name);
  if (position < 0) return std::nullopt;
  return static_cast<CliCommand>(position);
}

unsigned CommandBit(CliCommand command) {
  switch (command) {
    case CliCommand::Download:
      return kForDownload;
    case CliCommand::Import:
      return kForImport;
    case CliCommand::Ids:
      return kForIds;
    case CliCommand::Live:
      return kForLive;
    case CliCommand::Plot:
      return kForPlot;
  }
  return 0;
}

}  // namespace

std::string CliHelpText(std::optional<CliCommand> command) {
  const unsigned wanted = command ? CommandBit(*command) : 0;
  std::string text;
  for (const HelpPiece& piece : kHelp) {
    if (command && (piece.commands & wanted) == 0) continue;
    if (command && text.empty()) {
      // The command's own usage line opens its help, then its description.
      std::string usage = piece.text;
      if (usage.rfind("  or:  ", 0) == 0) usage.replace(0, 7, "Usage: ");
      text += usage + "\n";
      continue;
    }
    text += piece.text;
  }
  return text + kExitStatus;
}

std::string CliUsageHint(std::optional<CliCommand> command) {
  if (!command) return "Try 'norvale-cli --help'.";
  return std::string("Try 'norvale-cli ") + kCommandNames[static_cast<size_t>(*command)] +
         " --help'.";
}

CliParse ParseCliArguments(const std::vector<std::string>& arguments) {
  CliParse parse;
  CliOptions& options = parse.options;
  auto fail = [&](std::string why) {
    parse.error = std::move(why);
    return parse;
  };

  QCommandLineParser parser;
  parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
  for (const OptionRule& rule : kOptionRules) {
    QStringList names{QString::fromLatin1(rule.name)};
    if (std::string(rule.name) == "help") names.prepend(QStringLiteral("h"));
    if (std::string(rule.name) == "verbose") names.prepend(QStringLiteral("v"));
    parser.addOption(rule.valueName
                         ? QCommandLineOption(names, {}, QString::fromLatin1(rule.valueName))
                         : QCommandLineOption(names));
  }
  parser.addOption(QCommandLineOption(QStringLiteral("version")));
  QStringList words{QStringLiteral("norvale-cli")};
  for (const std::string& argument : arguments) words << FromSystem(argument);

  if (!parser.parse(words)) {
    const QStringList given = parser.positionalArguments();
    if (!given.isEmpty()) parse.command = CommandNamed(ToSystem(given.first()));
    const QStringList unknown = parser.unknownOptionNames();
    if (!unknown.isEmpty()) {
      const QString name = unknown.first();
      return fail("unknown option \"" + ToSystem((name.size() == 1 ? "-" : "--") + name) + "\"");
    }
    return fail(parser.errorText().toStdString());
  }
  // The command first, so that "download --help" can tell which help to give, and a usage
  // error which help to point to.
  const QStringList positional = parser.positionalArguments();
  const std::string commandName = positional.isEmpty() ? "" : ToSystem(positional.first());
  const std::optional<CliCommand> command = CommandNamed(commandName);
  if (command) parse.command = *command;
  if (parser.isSet(QStringLiteral("help"))) {
    options.help = true;
    parse.ok = true;
    return parse;
  }
  if (parser.isSet(QStringLiteral("version"))) {
    options.version = true;
    parse.ok = true;
    return parse;
  }
  if (positional.isEmpty()) return fail("no command given");
  if (!command) return fail("unknown command \"" + commandName + "\"");
  if (positional.size() > 1) return fail("unexpected argument \"" + ToSystem(positional[1]) + "\"");
  options.command = *command;

  for (const OptionRule& rule : kOptionRules) {
    const QString name = QString::fromLatin1(rule.name);
    if (!parser.isSet(name)) continue;
    if ((rule.commands & CommandBit(options.command)) == 0) {
      return fail("option \"--" + std::string(rule.name) + "\" does not belong to \"" +
                  commandName + "\"");
    }
    if (!rule.valueName) continue;
    const std::string error = takeValue(rule.name, ToSystem(parser.value(name)), options);
    if (!error.empty()) return fail(error);
  }
  options.sinceLast = parser.isSet(QStringLiteral("since-last"));
  options.portable = parser.isSet(QStringLiteral("portable"));
  options.verbose = parser.isSet(QStringLiteral("verbose"));

  const bool fromMeter =
      options.command == CliCommand::Download || options.command == CliCommand::Live;
  if (options.command == CliCommand::Plot) {
    if (options.input.empty()) return fail("--input is required");
    if (!parser.isSet(QStringLiteral("output"))) options.output = "Logdata.png";
    if (!IsImageName(options.output)) {
      return fail("--output \"" + options.output + "\" does not end in .png or .svg");
    }
    parse.ok = true;
    return parse;
  }
  if (fromMeter && options.device.empty()) return fail("--device is required");
  if (!fromMeter && options.database.empty()) return fail("--database is required");
  if (parser.isSet(QStringLiteral("output")) && parser.isSet(QStringLiteral("output-pattern"))) {
    return fail("--output and --output-pattern cannot be given together");
  }
  parse.ok = true;
  return parse;
}

}  // namespace norvale
