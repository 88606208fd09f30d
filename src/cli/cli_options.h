#pragma once

#include <string>
#include <vector>

namespace norvale {

// norvale-cli download --device PATH [--baud RATE] [--slave ID] [--since-last] [--portable]
//                      [--output FILE]
// norvale-cli import --database FILE [--module ID] [--output FILE]
// norvale-cli ids --database FILE
// norvale-cli live --device PATH [--baud RATE] [--slave ID] [--meter KX50|KX60|KX90]
//                  [--flow-unit UNIT] [--flow-format FORMAT] [--velocity-unit FPS|MPS] [--count N]
enum class CliCommand { Download, Import, Ids, Live };

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
  std::string database;  // handheld backup database
  std::string module;    // the ID box's text; empty: "Dont Separate"
  std::string meter = "KX50";
  int flowUnit = -1;  // list positions of the window's unit boxes; -1 none chosen
  int flowFormat = -1;
  int velocityUnit = -1;
  int count = 0;  // polls; 0 without end
  bool help = false;
};

struct CliParse {
  bool ok = false;
  CliOptions options;
  std::string error;  // what was wrong, for the user
};

CliParse ParseCliArguments(const std::vector<std::string>& arguments);

extern const char* const kCliUsage;

// Exit codes.
inline constexpr int kExitFileWritten = 0;
inline constexpr int kExitNothingToRead = 1;
inline constexpr int kExitDatabaseMissing = 2;
inline constexpr int kExitDownloadError = 3;
inline constexpr int kExitFileError = 4;
inline constexpr int kExitCouldNotConnect = 5;
inline constexpr int kExitUsage = 64;

}  // namespace norvale
