#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "settings/baud_rates.h"

namespace norvale {

// "KX40dwn.ini": 44 positional lines "[Key]=value", each ended by CR LF. Values are written in
// UTF-8; older installations wrote 8-bit text (see FromSettingsText).
inline constexpr char kSettingsFileName[] = "KX40dwn.ini";
inline constexpr int kSettingsLineCount = 44;
inline constexpr int kPhoneBookEntries = 10;
inline constexpr char kDefaultDatabasePath[] = "c:\\Palm\\UserName\\Backup\\DBFLW2.pdb";

// The file WriteDefaultSettings creates: the factory key and value of every line of
// kSettingsLines. Its lines 3 and 43 carry keys the reader does not know ("[CommFlow]",
// "[TotalUnits]"); files written by older versions look like this.
std::string DefaultSettingsFile();

// Cuts the file into the lines the reader examines, from pieces of any size as they are read.
// CR LF, LF and CR alone all end a line. The file never has blank lines, so empty ones are
// skipped: that rescues files whose line ends were doubled ("\r\r\n") or that had blank lines
// pasted in. A UTF-8 byte-order mark that an editor put before the first line is dropped. Only
// the first maxLines lines are kept, and of each only its first maxLineLength bytes; the rest of
// a longer line is passed over.
class SettingsLineSplitter {
 public:
  SettingsLineSplitter(size_t maxLines, size_t maxLineLength);

  void feed(std::string_view piece);
  // The file has ended: a last line without a line end still counts.
  void finish();
  // Every line the reader needs is here; the rest of the file can stay unread.
  bool full() const { return lines_.size() >= maxLines_; }
  std::vector<std::string> takeLines() { return std::move(lines_); }
  // A kept line was cut, or the file began with a byte-order mark: what these lines give back
  // when saved is not what the file held.
  bool damaged() const { return cutLine_ || byteOrderMark_; }

 private:
  void endLine();

  size_t maxLines_;
  size_t maxLineLength_;
  std::vector<std::string> lines_;
  std::string line_;
  bool firstLine_ = true;
  bool cutLine_ = false;
  bool byteOrderMark_ = false;
};

// What the reader keeps of one line: far more than any setting needs, and little enough that a
// runaway file (one huge line) costs next to nothing.
inline constexpr size_t kMaxSettingsLineLength = 64 * 1024;

// Every line of bytes held whole in memory, split as SettingsLineSplitter does.
std::vector<std::string> SplitSettingsLines(std::string_view bytes);

// The value of a line holding the key anywhere in it (case counts): everything after the first
// "=", untrimmed. Nothing when the key is absent; empty when the line has no "=".
std::optional<std::string> ValueForKey(std::string_view line, std::string_view key);

// How each line's value is read. Nothing means the value is a failure that stops the reading.

// Line 1: the port number; numbers other than 1..7 give port 1.
std::optional<int16_t> CommPortFromValue(std::string_view value);
// Line 2: one of kBaudRates ("9600.0" reads as "9600"); anything else gives "38400".
std::string CommBaudFromValue(std::string_view value);
// Line 3: true for exactly "Hardware"; anything else, "hardware" included, means "None".
bool HardwareFlowFromValue(std::string_view value);
// Line 4 and every change of the slave ID box: leading-number value, halves to even.
std::optional<int16_t> SlaveIdFromText(std::string_view text);

// Line 7, compared as text: "0" clear, "1" ticked, "2" greyed; anything else clear.
enum class PalmCheck { Clear = 0, Ticked = 1, Greyed = 2 };
PalmCheck PalmCheckFromValue(std::string_view value);

// Line 8: index of the separation option, 0 ("Modbus ID of meter") or 2 ("Dont Separate").
// "1" names no option; it reads as 0 like every other value but "2".
int SeparationFromValue(std::string_view value);

// Line 39, compared as a number: 1 and 2 select their option, any other number option 0.
// Nothing when the value is not a number as a whole ("abc", "1x"): loading stops there.
std::optional<int> MeterTypeFromValue(std::string_view value);

// Lines 40 to 42: a list position from -1 (no selection) to entries - 1; nothing for a value
// that is not a number as a whole, as above, or a position out of range.
std::optional<int16_t> ListPositionFromValue(std::string_view value, int entries);

struct PhoneEntry {
  std::string item;
  std::string phone;
  std::string description;

  bool operator==(const PhoneEntry&) const = default;
};

// Everything SaveSettings writes, as read back from the window and the settings state.
struct SavedSettings {
  int commPort = 1;
  std::string commBaud = "38400";
  bool hardwareFlow = true;
  std::string slaveIdText;
  std::string downloadSaveFile;
  std::string databasePath;
  PalmCheck usePalmDatabase = PalmCheck::Clear;
  int palmFileSep = 0;
  std::array<PhoneEntry, kPhoneBookEntries> phoneBook;
  int meterType = 0;
  int flowUnits = -1;
  int flowFormat = -1;
  int velocityUnits = -1;
  std::string modemInitString;

  bool operator==(const SavedSettings&) const = default;
};

// The 44 lines SaveSettings writes. Line breaks inside a value are dropped, so every value stays
// on its own line and the file reads back in place.
std::string FormatSettingsFile(const SavedSettings& settings);

}  // namespace norvale
