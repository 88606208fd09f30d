#pragma once

#include <bitset>
#include <cstdint>
#include <string>
#include <vector>

#include "settings/settings_file.h"

namespace norvale {

// How many entries each unit box lists: a position past its list stops the reading.
struct SettingsListSizes {
  int flowUnits = 0;
  int flowFormats = 0;
  int velocityUnits = 0;
};

// What the lines of a settings file say, read in order up to the first that fails.
struct ParsedSettings {
  // Each value as its line gave it; a field whose line was not present keeps its default.
  SavedSettings values;
  int16_t slaveId = 0;  // line 4 as a number
  // Line index + 1 held its key. Lines 3 and 43 of a factory file hold other keys.
  std::bitset<kSettingsLineCount> present;
  // Lines taken whole, from the first; the reading stopped at the next one.
  int linesRead = 0;
  // The line (1-based) whose value stopped the reading; 0 when the lines ran out, or never did.
  int failedLine = 0;
  // A line lacked its key (not counting lines 3 and 43, whose factory keys differ anyway).
  bool keyMissing = false;

  bool whole() const { return linesRead == kSettingsLineCount; }
};

// Reads the first 44 lines as kSettingsLines says, stopping at the first value that does not
// read; fewer lines stop the reading where they end.
ParsedSettings ParseSettingsLines(const std::vector<std::string>& lines,
                                  const SettingsListSizes& sizes);

}  // namespace norvale
