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
  kForArchive = 32,
  kForAll = 63
};

// One piece of the help: the whole help is every piece in order, a command's help those that
// name the command.
struct HelpPiece {
  unsigned commands;
  const char* text;
};

constexpr std::array<HelpPiece, 23> kHelp{{
    {kForDownload, "Usage: norvale-cli download --device PATH [OPTION]...\n"},
    {kForImport, "  or:  norvale-cli import --database FILE [OPTION]...\n"},
    {kForIds, "  or:  norvale-cli ids --database FILE\n"},
    {kForLive, "  or:  norvale-cli live --device PATH [OPTION]...\n"},
    {kForPlot, "  or:  norvale-cli plot --input FILE [--output FILE] [--size WxH]\n"},
    {kForArchive, "  or:  norvale-cli archive meters|export --archive ARCHIVE [OPTION]...\n"},
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
     "                   else the device in /dev (ttyUSB0 is /dev/ttyUSB0); or a device\n"
     "                   server: tcp://HOST:PORT (raw) or rfc2217://HOST:PORT\n"
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
    {kForArchive,
     "  archive          meters: print each meter of the archive, tab-separated: name, first and\n"
     "                   last logged time, number of logged times; export: write a meter's\n"
     "                   logged times as the CSV file a download of them writes\n"},
    {kForDownload | kForImport | kForArchive,
     "\n"
     "Archive (download, import, archive):\n"
     "  --archive ARCHIVE\n"
     "                   a SQLite file, or postgresql://USER@HOST:PORT/DB: download and import\n"
     "                   also merge what they read into the meter's history there\n"
     "  --meter NAME     the meter's name in the archive (import --module ID: module-ID)\n"
     "  --from TIME, --to TIME\n"
     "                   archive export: the first and last logged time, e.g. 2024-02-28T23:00\n"
     "                   (default: all)\n"},
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
    "  4   the CSV file could not be written (plot: the image, or norvale-plot not there;\n"
    "      --archive: the archive could not be opened or merged into)\n"
    "  5   could not connect (--dial)\n"
    "  64  usage error\n"
    "  130, 143  interrupted by SIGINT or SIGTERM\n";

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

// How an option's value goes into CliOptions: false when the value is not acceptable.
using ValueReader = bool (*)(const std::string& text, CliOptions& options);
// What is wrong with a value that its reader did not accept, for the user.
using Complaint = std::string (*)(const std::string& option, const std::string& text);

template <std::string CliOptions::*kField>
bool Keep(const std::string& text, CliOptions& options) {
  options.*kField = text;
  return true;
}

// One of the names in kList, kept as typed.
template <std::string CliOptions::*kField, const auto& kList>
bool Listed(const std::string& text, CliOptions& options) {
  options.*kField = text;
  return positionIn(kList, text) >= 0;
}

// One of the names in kList, kept as its position there (the window's list box).
template <int CliOptions::*kField, const auto& kList>
bool Position(const std::string& text, CliOptions& options) {
  options.*kField = positionIn(kList, text);
  return options.*kField >= 0;
}

template <int CliOptions::*kField, int kLow, int kHigh>
bool Number(const std::string& text, CliOptions& options) {
  return parseNumber(text, kLow, kHigh, options.*kField);
}

// Kept as typed: the ID box's text, which the import reads as the window does.
bool ReadModule(const std::string& text, CliOptions& options) {
  int id = 0;
  options.module = text;
  return parseNumber(text, 0, 255, id);
}

bool ReadPattern(const std::string& text, CliOptions& options) {
  options.outputPattern = text;
  return ExpandDatedName(text, std::tm{}).has_value();
}

bool ReadSize(const std::string& text, CliOptions& options) {
  const size_t x = text.find('x');
  return x != std::string::npos &&
         parseNumber(text.substr(0, x), kSmallestSide, kLargestSide, options.width) &&
         parseNumber(text.substr(x + 1), kSmallestSide, kLargestSide, options.height);
}

std::string NotAChoice(const std::string& option, const std::string& text) {
  return "--" + option + " \"" + text + "\" is not one of the choices (see --help)";
}

std::string NotABaudRate(const std::string&, const std::string& text) {
  std::string rates;
  for (std::string_view rate : kBaudRates) rates.append(rates.empty() ? "" : ", ").append(rate);
  return "baud rate \"" + text + "\" is not one of " + rates;
}

// --slave and --module: "slave ID", "module ID".
std::string NotAnId(const std::string& option, const std::string& text) {
  return option + " ID \"" + text + "\" is not a number from 0 to 255";
}

std::string NotAPattern(const std::string&, const std::string& text) {
  return "--output-pattern \"" + text + "\" may hold only %Y %m %d %H %M %S and %%";
}

std::string NotASize(const std::string&, const std::string& text) {
  return "--size \"" + text + "\" is not WIDTHxHEIGHT, each from 100 to 8000 (e.g. 1600x900)";
}

struct OptionRule {
  const char* name;
  const char* valueName;  // nullptr: a switch
  unsigned commands;
  const char* needs = nullptr;  // what an empty value lacks; nullptr: it may be empty
  ValueReader read = nullptr;
  Complaint complaint = NotAChoice;
};

constexpr std::array<OptionRule, 25> kOptionRules{{
    {"device", "PATH", kForDownload | kForLive, "a path", Keep<&CliOptions::device>},
    {"baud", "RATE", kForDownload | kForLive, nullptr, Listed<&CliOptions::baud, kBaudRates>,
     NotABaudRate},
    {"slave", "ID", kForDownload | kForLive, nullptr, Number<&CliOptions::slave, 0, 255>, NotAnId},
    {"since-last", nullptr, kForDownload},
    {"portable", nullptr, kForDownload},
    {"dial", "NUMBER", kForDownload, "a number", Keep<&CliOptions::dial>},
    {"modem-init", "TEXT", kForDownload, nullptr, Keep<&CliOptions::modemInit>},
    {"output", "FILE", kForDownload | kForImport | kForPlot | kForArchive, "a file",
     Keep<&CliOptions::output>},
    {"output-pattern", "PATTERN", kForDownload | kForImport, "a pattern", ReadPattern, NotAPattern},
    {"database", "FILE", kForImport | kForIds, "a file", Keep<&CliOptions::database>},
    {"module", "ID", kForImport | kForIds, nullptr, ReadModule, NotAnId},
    {"meter", "TYPE", kForLive, nullptr, Listed<&CliOptions::meter, kMeters>},
    {"meter", "NAME", kForDownload | kForImport | kForArchive, "a name",
     Keep<&CliOptions::meterName>},
    {"archive", "ARCHIVE", kForDownload | kForImport | kForArchive, "an archive",
     Keep<&CliOptions::archive>},
    {"from", "TIME", kForArchive, "a time", Keep<&CliOptions::from>},
    {"to", "TIME", kForArchive, "a time", Keep<&CliOptions::to>},
    {"flow-unit", "UNIT", kForLive, nullptr, Position<&CliOptions::flowUnit, kFlowUnits>},
    {"flow-format", "FORMAT", kForLive, nullptr, Position<&CliOptions::flowFormat, kFlowFormats>},
    {"velocity-unit", "UNIT", kForLive, nullptr,
     Position<&CliOptions::velocityUnit, kVelocityUnits>},
    {"count", "N", kForLive, nullptr, Number<&CliOptions::count, 1, 1 << 30>},
    {"trace", "FILE", kForDownload | kForLive, "a file", Keep<&CliOptions::trace>},
    {"verbose", nullptr, kForDownload | kForLive},
    {"input", "FILE", kForPlot, "a file", Keep<&CliOptions::input>},
    {"size", "WxH", kForPlot, nullptr, ReadSize, NotASize},
    {"help", nullptr, 0},
}};

// Fills options from one option's value; the error text when the value is not acceptable.
std::string TakeValue(const OptionRule& rule, const std::string& text, CliOptions& options) {
  const bool accepted = rule.read(text, options);
  if (rule.needs && text.empty()) return "--" + std::string(rule.name) + " needs " + rule.needs;
  return accepted ? std::string() : rule.complaint(rule.name, text);
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
constexpr std::array<const char*, 6> kCommandNames{"download", "import", "ids",
                                                   "live",     "plot",   "archive"};

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
    case CliCommand::Archive:
      return kForArchive;
  }
  return 0;
}

void AddOptions(QCommandLineParser& parser) {
  parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
  QStringList added;
  for (const OptionRule& rule : kOptionRules) {
    // An option with one name for two commands (--meter) is one option to the parser.
    if (added.contains(QString::fromLatin1(rule.name))) continue;
    added << QString::fromLatin1(rule.name);
    QStringList names{QString::fromLatin1(rule.name)};
    if (std::string(rule.name) == "help") names.prepend(QStringLiteral("h"));
    if (std::string(rule.name) == "verbose") names.prepend(QStringLiteral("v"));
    parser.addOption(rule.valueName
                         ? QCommandLineOption(names, {}, QString::fromLatin1(rule.valueName))
                         : QCommandLineOption(names));
  }
  parser.addOption(QCommandLineOption(QStringLiteral("version")));
}

// What QCommandLineParser refused: an option it does not know, as typed, or its own words.
std::string ParserError(const QCommandLineParser& parser) {
  const QStringList unknown = parser.unknownOptionNames();
  if (unknown.isEmpty()) return parser.errorText().toStdString();
  const QString name = unknown.first();
  return "unknown option \"" + ToSystem((name.size() == 1 ? "-" : "--") + name) + "\"";
}

// Another rule of the same name belongs to the command, where this one does not.
bool OtherRuleServes(const OptionRule& rule, CliCommand command) {
  if ((rule.commands & CommandBit(command)) != 0) return false;
  return std::any_of(kOptionRules.begin(), kOptionRules.end(), [&](const OptionRule& other) {
    return &other != &rule && std::string_view(other.name) == rule.name &&
           (other.commands & CommandBit(command)) != 0;
  });
}

// The options given into `options`; the error text when one is not the command's or its value
// is not acceptable.
std::string ReadOptions(const QCommandLineParser& parser, const std::string& commandName,
                        CliOptions& options) {
  for (const OptionRule& rule : kOptionRules) {
    const QString name = QString::fromLatin1(rule.name);
    if (!parser.isSet(name) || OtherRuleServes(rule, options.command)) continue;
    if ((rule.commands & CommandBit(options.command)) == 0) {
      return "option \"--" + std::string(rule.name) + "\" does not belong to \"" + commandName +
             "\"";
    }
    if (!rule.valueName) continue;
    const std::string error = TakeValue(rule, ToSystem(parser.value(name)), options);
    if (!error.empty()) return error;
  }
  options.sinceLast = parser.isSet(QStringLiteral("since-last"));
  options.portable = parser.isSet(QStringLiteral("portable"));
  options.verbose = parser.isSet(QStringLiteral("verbose"));
  return {};
}

// archive's own: the archive always, export the meter and the file.
std::string ArchiveRules(bool outputGiven, const CliOptions& options) {
  if (options.archive.empty()) return "--archive is required";
  if (options.archiveAction == ArchiveAction::Export) {
    if (options.meterName.empty()) return "--meter is required";
    if (!outputGiven) return "--output is required";
  } else if (outputGiven || !options.meterName.empty() || !options.from.empty() ||
             !options.to.empty()) {
    return "archive meters takes only --archive";
  }
  return {};
}

// The rules of a command as a whole, once each option is read: what it requires, the options
// that exclude each other, plot's own default file. The error text when one is broken.
std::string ApplyCommandRules(const QCommandLineParser& parser, CliOptions& options) {
  const bool outputGiven = parser.isSet(QStringLiteral("output"));
  if (options.command == CliCommand::Plot) {
    if (options.input.empty()) return "--input is required";
    if (!outputGiven) options.output = "Logdata.png";
    if (!IsImageName(options.output)) {
      return "--output \"" + options.output + "\" does not end in .png or .svg";
    }
    return {};
  }
  if (options.command == CliCommand::Archive) return ArchiveRules(outputGiven, options);
  if (!options.archive.empty() && options.meterName.empty()) {
    if (options.command != CliCommand::Import || options.module.empty()) {
      return "--archive needs --meter" +
             std::string(options.command == CliCommand::Import ? " (or --module)" : "");
    }
    options.meterName = "module-" + options.module;
  }
  if (options.archive.empty() && !options.meterName.empty()) return "--meter needs --archive";
  const bool fromMeter =
      options.command == CliCommand::Download || options.command == CliCommand::Live;
  if (fromMeter && options.device.empty()) return "--device is required";
  if (!fromMeter && options.database.empty()) return "--database is required";
  if (outputGiven && parser.isSet(QStringLiteral("output-pattern"))) {
    return "--output and --output-pattern cannot be given together";
  }
  return {};
}

// The command, its options and its rules into `options`; the error text when any is wrong.
std::string ReadCommand(const QCommandLineParser& parser, CliOptions& options) {
  const QStringList positional = parser.positionalArguments();
  if (positional.isEmpty()) return "no command given";
  const std::string commandName = ToSystem(positional.first());
  const std::optional<CliCommand> command = CommandNamed(commandName);
  if (!command) return "unknown command \"" + commandName + "\"";
  options.command = *command;
  qsizetype words = 1;
  if (*command == CliCommand::Archive) {
    const std::string action = positional.size() > 1 ? ToSystem(positional[1]) : "";
    if (action != "meters" && action != "export") return "archive needs meters or export";
    options.archiveAction = action == "meters" ? ArchiveAction::Meters : ArchiveAction::Export;
    words = 2;
  }
  if (positional.size() > words) {
    return "unexpected argument \"" + ToSystem(positional[words]) + "\"";
  }
  const std::string error = ReadOptions(parser, commandName, options);
  return error.empty() ? ApplyCommandRules(parser, options) : error;
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
  QCommandLineParser parser;
  AddOptions(parser);
  QStringList words{QStringLiteral("norvale-cli")};
  for (const std::string& argument : arguments) words << FromSystem(argument);
  const bool parsed = parser.parse(words);
  // The command first, so that "download --help" can tell which help to give, and a usage
  // error which help to point to.
  const QStringList positional = parser.positionalArguments();
  if (!positional.isEmpty()) parse.command = CommandNamed(ToSystem(positional.first()));
  if (!parsed) {
    parse.error = ParserError(parser);
  } else if (parser.isSet(QStringLiteral("help"))) {
    parse.options.help = true;
  } else if (parser.isSet(QStringLiteral("version"))) {
    parse.options.version = true;
  } else {
    parse.error = ReadCommand(parser, parse.options);
  }
  parse.ok = parse.error.empty();
  return parse;
}

}  // namespace norvale
