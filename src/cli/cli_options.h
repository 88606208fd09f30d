#pragma once

#include <optional>
#include <string>
#include <vector>

namespace norvale {

// The commands and options of norvale-cli; CliHelpText lists them.
enum class CliCommand { Download, Import, Ids, Live, Plot, Archive };
// What "norvale-cli archive" does.
enum class ArchiveAction { Meters, Export };

struct CliOptions {
  CliCommand command = CliCommand::Download;
  std::string device;
  std::string baud = "38400";
  int slave = 1;
  bool sinceLast = false;
  bool portable = false;
  std::string dial;  // phone number to dial first; empty: direct line
  std::string modemInit = "ATE0 S0=2 &C0";
  std::string output = "Logdata.csv";
  std::string outputPattern;  // dated output name, e.g. "%Y-%m-%d-%H%M.csv"; empty: output
  std::string database;       // handheld backup database
  std::string module;         // the ID box's text; empty: "Dont Separate"
  std::string meter = "KX50";
  int flowUnit = -1;  // list positions of the window's unit boxes; -1 none chosen
  int flowFormat = -1;
  int velocityUnit = -1;
  int count = 0;          // polls; 0 without end
  std::string trace;      // file for the line trace; empty: none
  bool verbose = false;   // the line trace on standard error too
  std::string archive;    // SQLite file or postgresql:// URI; empty: no archive
  std::string meterName;  // the archive's name of the meter
  ArchiveAction archiveAction = ArchiveAction::Meters;
  std::string from;  // archive export: first and last logged time, ISO 8601; empty: open
  std::string to;
  std::string input;  // the CSV file to plot
  int width = 1600;   // of the plotted image, pixels
  int height = 900;
  bool help = false;
  bool version = false;
};

struct CliParse {
  bool ok = false;
  CliOptions options;
  std::string error;                  // what was wrong, for the user
  std::optional<CliCommand> command;  // the command named, when it is one, even on an error
};

// arguments: the command line without the program's name, in the system's own encoding.
CliParse ParseCliArguments(const std::vector<std::string>& arguments);

// The whole help without a command (the manual page is made from it); with one, the usage line,
// the description and the options of that command, and the exit status.
std::string CliHelpText(std::optional<CliCommand> command);

// The line that follows a usage error: where the help for the command given is.
std::string CliUsageHint(std::optional<CliCommand> command);

}  // namespace norvale
